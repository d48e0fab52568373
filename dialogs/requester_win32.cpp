#include "dialogs/requester_win32.h"

#include <commdlg.h>
#include <richedit.h>

#include <vector>

#include "dialogs/click_win32.h"
#include "dialogs/controls_win32.h"
#include "dialogs/disc_win32.h"
#include "dialogs/modal_window_win32.h"
#include "dialogs/requester_layout.h"
#include "imaging/palette.h"
#include "platform/paths.h"
#include "resources/ids.h"
#include "shell/events_win32.h"
#include "shell/shell_win32.h"
#include "shell/tables.h"

namespace snapdeck::win32 {
namespace {

const wchar_t kTitle[] = L"ask -kestrel's requester";
constexpr COLORREF kTextColor = palette::kHouse;
constexpr COLORREF kFieldColor = palette::kWhite;
constexpr Rgb kRimColor = palette::kOrange;
constexpr Rgb kRingColor = palette::kAmber;
constexpr Rgb kCentreColor = palette::kPale;
// Enough for any path the open-file dialog can hand back.
constexpr std::size_t kPathBuffer = 32768;

// What the open requester's handlers need while it runs.
struct OpenRequester {
  const RequesterQuestion& question;
  HBRUSH labelBrush = nullptr;  // solid centre colour
};

bool IsTicked(HWND window, int number) {
  return SendDlgItemMessageW(window, number, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Enables and ticks the modifier boxes for the drop-down's selection and the
// modifiers of the question, as at opening.
void ApplyModifierBoxes(HWND window, const RequesterQuestion& q) {
  const int selection =
      static_cast<int>(SendDlgItemMessageW(window, id::kReqKeyCombo, CB_GETCURSEL, 0, 0));
  const ModifierBoxes boxes = ModifierBoxesFor(selection, q.hotkeyCAS);
  const std::pair<int, bool> ticks[] = {
      {id::kReqCtrl, boxes.ctrl}, {id::kReqAlt, boxes.alt}, {id::kReqShift, boxes.shift}};
  for (const auto& [number, ticked] : ticks) {
    HWND box = GetDlgItem(window, number);
    SendMessageW(box, BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
    EnableWindow(box, boxes.enabled ? TRUE : FALSE);
  }
}

void MakeHotkeyRow(HWND window, const RequesterLayout& l, const RequesterQuestion& q) {
  const auto& mods = ModifierTable();
  auto label = [&](int bit) { return std::u16string(mods[bit].name) + u" +"; };
  const DWORD boxStyle = BS_AUTOCHECKBOX | WS_TABSTOP;
  MakeDialogControl(window, L"Button", label(1), boxStyle, 0, l.ctrlBox, id::kReqCtrl);
  MakeDialogControl(window, L"Button", label(2), boxStyle, 0, l.altBox, id::kReqAlt);
  MakeDialogControl(window, L"Button", label(4), boxStyle, 0, l.shiftBox, id::kReqShift);
  // The height given to a drop-down list is that of its open list.
  Box listBox = l.keyList;
  listBox.height = 300;
  HWND list =
      MakeDialogControl(window, L"ComboBox", u"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0,
                        listBox, id::kReqKeyCombo);
  if (list == nullptr) return;
  for (const KeyRow& row : HotkeyKeyTable()) {
    SendMessageW(list, CB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(Wide(std::u16string(row.name)).c_str()));
  }
  FitClosedDropDown(list, l.keyList.height);
  SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(HotkeySelectionFor(q.hotkey)), 0);
  ApplyModifierBoxes(window, q);
}

// Builds the kind's input row and returns the control that takes the focus.
HWND MakeInputRow(HWND window, const RequesterQuestion& q, const RequesterLayout& l) {
  switch (q.kind) {
    case id::kKindPassword:
      return MakeDialogControl(window, L"Edit", u"", ES_PASSWORD | ES_AUTOHSCROLL | WS_TABSTOP,
                               WS_EX_CLIENTEDGE, l.password, id::kReqPassword);
    case id::kKindFile:
      MakeDialogControl(window, L"Button", u"...", BS_PUSHBUTTON | WS_TABSTOP, 0, l.browse,
                        id::kReqBrowse);
      return MakeDialogControl(window, L"Edit", q.filePreset,
                               ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, l.path,
                               id::kReqPath);
    case id::kKindHotkey:
      MakeHotkeyRow(window, l, q);
      return nullptr;
    default:
      return nullptr;
  }
}

void FillMessageBox(HWND box, const std::u16string& message) {
  if (box == nullptr) return;
  // Wrap at the box's own width.
  SendMessageW(box, EM_SETTARGETDEVICE, 0, 0);
  SendMessageW(box, EM_SETBKGNDCOLOR, 0, kFieldColor);
  SetWindowTextU16(box, message);
  CHARFORMAT2W format{};
  format.cbSize = sizeof(format);
  format.dwMask = CFM_COLOR;
  format.crTextColor = kTextColor;
  SendMessageW(box, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
}

void ChooseFile(HWND window, const RequesterQuestion& q) {
  std::u16string folder, file;
  SplitPath(q.filePreset, folder, file);
  std::wstring buffer(kPathBuffer, L'\0');
  const std::wstring wideFile = Wide(file);
  wideFile.copy(buffer.data(), std::min(wideFile.size(), kPathBuffer - 1));
  const std::wstring filter = Wide(OpenFileFilter(q.fileFilter));
  const std::wstring wideFolder = Wide(folder);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = window;
  ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(kPathBuffer);
  ofn.lpstrInitialDir = wideFolder.empty() ? nullptr : wideFolder.c_str();
  ofn.lpstrTitle = L"Select the required file:";
  ofn.Flags =
      OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (!GetOpenFileNameW(&ofn) || buffer[0] == L'\0') return;
  SetWindowTextW(GetDlgItem(window, id::kReqPath), buffer.c_str());
}

// What the first button keeps of the input row.
void TakeInputRow(HWND window, RequesterAnswer& answer) {
  if (HWND field = GetDlgItem(window, id::kReqPassword)) answer.password = WindowText(field);
  if (HWND field = GetDlgItem(window, id::kReqPath)) answer.path = WindowText(field);
  if (HWND list = GetDlgItem(window, id::kReqKeyCombo)) {
    const int selection = static_cast<int>(SendMessageW(list, CB_GETCURSEL, 0, 0));
    answer.hotkey =
        HotkeyChoiceFrom(selection, IsTicked(window, id::kReqCtrl), IsTicked(window, id::kReqAlt),
                         IsTicked(window, id::kReqShift));
  }
}

RequesterAnswer RunRequesterLoop(ModalWindow& requester, const RequesterQuestion& q) {
  RequesterAnswer answer;
  answer.button = id::kAnswerClosed;
  Event e;
  while (requester.Next(e)) {
    if (e.kind == EventKind::Menu) {
      if (e.number == id::kKeyEnter) ClickControl(id::kReqFirstButton);
      if (e.number == id::kKeyEscape) ClickControl(id::kReqSecondButton);
      continue;
    }
    if (e.kind != EventKind::Control) continue;
    switch (e.number) {
      case id::kReqFirstButton:
        answer.button = id::kAnswerFirst;
        TakeInputRow(requester.get(), answer);
        return answer;
      case id::kReqSecondButton:
        answer.button = id::kAnswerSecond;
        return answer;
      case id::kReqKeyCombo:
        ApplyModifierBoxes(requester.get(), q);
        break;
      case id::kReqBrowse:
        ChooseFile(requester.get(), q);
        break;
      default:
        break;
    }
  }
  return answer;
}

// Window 4's icon, message, input row and buttons; returns the control that takes
// the keyboard focus.
HWND BuildRequesterControls(HWND window, const RequesterQuestion& q) {
  const RequesterLayout l = RequesterGeometry(q.kind, q.size);
  HWND icon = MakeDialogControl(window, L"Static", u"", SS_BITMAP, 0, l.icon, id::kReqIcon);
  if (const Picture* picture = TheShell().pictures.find(q.kind)) {
    ShowPictureInControl(icon, *picture);
  }
  HWND messageBox =
      MakeDialogControl(window, RichEditClass(), u"", ES_MULTILINE | ES_READONLY | WS_VSCROLL, 0,
                        l.message, id::kReqMessage);
  HWND focus = MakeInputRow(window, q, l);
  if (const int sound = RequesterSound(q.kind); sound >= 0) PlaySoundNumber(sound);
  FillMessageBox(messageBox, q.message);
  HWND first = MakeDialogControl(window, L"Button", q.firstButton, BS_DEFPUSHBUTTON | WS_TABSTOP,
                                 0, l.firstButton, id::kReqFirstButton);
  MakeDialogControl(window, L"Button", q.secondButton, BS_PUSHBUTTON | WS_TABSTOP, 0,
                    l.secondButton, id::kReqSecondButton);
  return focus != nullptr ? focus : first;
}

}  // namespace

RequesterQuestion QuestionOf(int kind, const std::u16string& message,
                             const std::u16string& firstButton, const std::u16string& secondButton) {
  RequesterQuestion q;
  q.kind = kind;
  q.message = message;
  q.firstButton = firstButton;
  q.secondButton = secondButton;
  return q;
}

RequesterAnswer Requester(const RequesterQuestion& question) {
  // The brushes outlive the window that paints with them.
  const UniqueGdi<HBRUSH> labelBrush(CreateSolidBrush(static_cast<COLORREF>(kCentreColor)));
  OpenRequester open{question, labelBrush.get()};
  UniqueGdi<HBRUSH> discBrush;
  ModalSpec spec;
  spec.number = id::kRequester;
  spec.title = kTitle;
  spec.width = question.size;
  spec.height = question.size;
  spec.owner = WindowByNumber(question.ownerWindow);
  spec.anyCloseEnds = true;
  // One requester at a time: window 4 is single.
  ModalWindow requester(spec);
  if (!requester) return RequesterAnswer{};
  HWND window = requester.get();
  requester.Attach(&open);
  AddMessageHandler(window, RequesterLabelColors);
  requester.ReleasePictureAtClose(id::kReqIcon);
  HWND focus = BuildRequesterControls(window, question);
  discBrush = RequesterDiscBrush(id::kPicRequesterDisc, kRimColor, kRingColor, kCentreColor,
                                 question.size);
  SetWindowBackground(window, discBrush.get());
  ShapeAsDisc(window, question.size);
  SetForegroundWindow(window);
  SetFocus(focus);
  return RunRequesterLoop(requester, question);
}

bool RequesterLabelColors(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                          LRESULT& result) {
  (void)window;
  if (message != WM_CTLCOLORSTATIC && message != WM_CTLCOLOREDIT) return false;
  HWND requester = WindowByNumber(id::kRequester);
  const OpenRequester* open = ModalWindow::Attached<OpenRequester>(requester);
  if (open == nullptr) return false;
  HDC dc = reinterpret_cast<HDC>(wParam);
  HWND control = reinterpret_cast<HWND>(lParam);
  if (GetParent(control) == requester) {
    const int number = GetDlgCtrlID(control);
    if (number == id::kReqPassword || number == id::kReqPath) {
      SetTextColor(dc, kTextColor);
      SetBkColor(dc, kFieldColor);
      result = reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
      return true;
    }
  }
  if (message != WM_CTLCOLORSTATIC) return false;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kTextColor);
  result = reinterpret_cast<LRESULT>(open->labelBrush);
  return true;
}

}  // namespace snapdeck::win32
