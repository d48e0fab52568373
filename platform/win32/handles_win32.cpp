#include "platform/win32/handles_win32.h"
