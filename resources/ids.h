// Every number of the program: windows, controls, menus, pictures, sounds, requester
// questions and answers, the viewer's sort keys. Win32 child controls use their number
// as the control ID, so tests and automation find any control with
// GetDlgItem(window, number). Like the resource numbers beside it, any layer may include
// it: the capture job and the settings need picture, sound and sort numbers too.
#pragma once

namespace snapdeck::id {


// Windows
inline constexpr int kUpdateWindow = 0;
inline constexpr int kLoginBubble = 1;
inline constexpr int kMessageBubble = 2;
inline constexpr int kHelpWindow = 3;
inline constexpr int kRequester = 4;
inline constexpr int kMainWindow = 5;
inline constexpr int kViewer = 6;

// Main window controls
inline constexpr int kLabelFolder = 34;
inline constexpr int kLabelFilename = 35;
inline constexpr int kFolderCombo = 36;
inline constexpr int kFilenameEdit = 37;
inline constexpr int kFormatCombo = 38;
inline constexpr int kScaleCombo = 39;
inline constexpr int kChooseFolder = 40;
inline constexpr int kLabelFrame = 41;
inline constexpr int kThicknessCombo = 42;
inline constexpr int kColorSwatch = 43;
inline constexpr int kShadingTrack = 44;
inline constexpr int kDirectionButton = 45;
inline constexpr int kLabelAutoNumber = 46;
inline constexpr int kAutoNumberCheck = 47;
inline constexpr int kIncludePinCheck = 48;
inline constexpr int kLabelIncludePin = 49;
inline constexpr int kStatusPicture = 50;
inline constexpr int kStayOnTopButton = 51;
inline constexpr int kSoundButton = 52;
inline constexpr int kTrayButton = 53;
inline constexpr int kProgressPicture = 54;
inline constexpr int kTakeScreenshot = 55;
inline constexpr int kUpdateButton = 56;
inline constexpr int kHelpButton = 57;
inline constexpr int kExitButton = 58;
inline constexpr int kTrayMenu = 59;
inline constexpr int kToggleViewer = 60;

// Viewer controls
inline constexpr int kViewerScroll = 61;
inline constexpr int kViewerClose = 62;
inline constexpr int kViewerStatusBar = 63;
inline constexpr int kViewerSortDir = 64;
inline constexpr int kViewerRefresh = 65;
inline constexpr int kViewerSortLabel = 66;
inline constexpr int kViewerNameLabel = 67;
inline constexpr int kViewerSortName = 68;
inline constexpr int kViewerNumberLabel = 69;
inline constexpr int kViewerSortNumber = 70;
inline constexpr int kViewerTimeLabel = 71;
inline constexpr int kViewerSortTime = 72;
inline constexpr int kViewerMenu = 73;
inline constexpr int kFirstThumbnail = 74;  // then every third number

// Tray
inline constexpr int kTrayIcon = 33;
inline constexpr int kTrayItemHotkey = 4;
inline constexpr int kTrayItemDefineHotkey = 5;
inline constexpr int kTrayItemRestore = 6;
inline constexpr int kTrayItemExit = 7;

// Main window's system menu: below 0xF000 and a multiple of 16, since Windows uses the
// low four bits of a system command
inline constexpr int kSysMenuCleanStatusBar = 0x0100;

// Viewer pop-up menu items
inline constexpr int kShotMenuCopy = 0;
inline constexpr int kShotMenuRemoveFrame = 1;
inline constexpr int kShotMenuAddFrame = 2;
inline constexpr int kShotMenuDelete = 3;

// Keyboard shortcut events
inline constexpr int kKeyEnter = 13;
inline constexpr int kKeyEscape = 27;
inline constexpr int kKeyF1 = 112;
inline constexpr int kKeyF5 = 116;
inline constexpr int kKeyF6 = 117;
inline constexpr int kKeyF9 = 120;

// Help window controls
inline constexpr int kHelpClose = 15;
inline constexpr int kHelpDonate = 16;
inline constexpr int kHelpLanguages = 17;
inline constexpr int kHelpText = 18;

// Requester controls
inline constexpr int kReqIcon = 13;
inline constexpr int kReqFirstButton = 20;
inline constexpr int kReqSecondButton = 21;
inline constexpr int kReqPassword = 22;
inline constexpr int kReqPath = 24;
inline constexpr int kReqBrowse = 26;
inline constexpr int kReqMessage = 28;
inline constexpr int kReqKeyCombo = 29;
inline constexpr int kReqShift = 30;
inline constexpr int kReqCtrl = 31;
inline constexpr int kReqAlt = 32;

// Update window controls
inline constexpr int kUpdateEmblem = 0;
inline constexpr int kUpdateStatus = 1;
inline constexpr int kUpdateCheck = 2;
inline constexpr int kUpdateDownload = 3;  // "Update"
inline constexpr int kUpdateCancel = 4;    // "Cancel", later "restart"
inline constexpr int kUpdateProgress = 5;

// Message bubble controls
inline constexpr int kBubbleText = 12;
inline constexpr int kBubbleCaption = 13;
inline constexpr int kBubbleOk = 14;

// Login bubble controls
inline constexpr int kLoginUser = 6;
inline constexpr int kLoginPassword = 7;
inline constexpr int kLoginUserLabel = 8;
inline constexpr int kLoginPasswordLabel = 9;
inline constexpr int kLoginCancel = 10;
inline constexpr int kLoginOk = 11;
inline constexpr int kLoginHost = 19;  // the server that asks

// Font
inline constexpr int kFontWebdings = 1;


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
