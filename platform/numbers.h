// The numbers of pictures, sounds, requester questions and answers and the viewer's sort
// keys. The capture job, the device checks and the settings below the shell use them
// too, so they live in the lowest layer;
// shell/ids.h includes this file and holds every other number of the program.
#pragma once

namespace snapdeck::id {

// Requester kinds (also the picture number of their icon)
inline constexpr int kKindPassword = 16;
inline constexpr int kKindWarning = 17;
inline constexpr int kKindFile = 20;
inline constexpr int kKindHotkey = 21;

// Requester answers
inline constexpr int kAnswerFirst = 20;
inline constexpr int kAnswerSecond = 21;
inline constexpr int kAnswerClosed = 0;
// The requester could not be shown (not created, or another one is open): the user
// was not asked at all.
inline constexpr int kAnswerNotShown = -1;

// Pictures
inline constexpr int kPicEmblem = 0;
inline constexpr int kPicUpdateDisc = 1;
inline constexpr int kPicUpdateProgress = 2;
inline constexpr int kPicBubbleDisc = 3;
inline constexpr int kPicSmallIcon = 4;
inline constexpr int kPicDonate = 5;
inline constexpr int kPicFirstFlag = 6;  // 6..12
inline constexpr int kPicRequesterDisc = 14;
inline constexpr int kPicPadlock = 16;
inline constexpr int kPicWarning = 17;
inline constexpr int kPicQuestion = 20;
inline constexpr int kPicQuestion2 = 21;
inline constexpr int kPicStatus = 23;
inline constexpr int kPicWork = 24;
inline constexpr int kPicScratch = 25;
inline constexpr int kPicSwatch = 26;
inline constexpr int kPicPinOn = 27;
inline constexpr int kPicPinOff = 28;
inline constexpr int kPicSoundOn = 29;
inline constexpr int kPicSoundOff = 30;
inline constexpr int kPicToTray = 31;
inline constexpr int kPicPasswordMark = 32;
inline constexpr int kPicProgress = 33;
inline constexpr int kPicTrayIdle = 34;
inline constexpr int kPicTrayBusy = 35;
inline constexpr int kPicFirstShot = 37;     // 37 + device slot (1..4)
inline constexpr int kPicFirstPreview = 42;  // 42 + device slot (1..4)

// Viewer sort keys: the sortview setting and the option buttons. Any other value keeps
// the listing order.
inline constexpr int kSortByName = 1;
inline constexpr int kSortByNumber = 2;
inline constexpr int kSortByDate = 4;

// Sounds played only while the user's sound switch is on (0-3 play whenever a sound
// device exists)
inline constexpr int kSoundShotStart = 4;
inline constexpr int kSoundShotFailed = 5;
inline constexpr int kSoundCopied = 6;
inline constexpr int kSoundDeleted = 7;

}  // namespace snapdeck::id
