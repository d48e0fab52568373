// The notification-area mode: push to tray, the tray icon with its tool tip and menu,
// the hotkey's definition, restore, and the hotkey captures the poller hands to the
// UI thread.
#pragma once

namespace snapdeck::win32 {

// Installs the tray's message handler (Explorer restarts, restore during a capture).
// Called once after the main window is built.
void InstallTray();
// The program sits in the tray: tray icon 33 exists.
bool InTray();
// Hands the hotkey of the settings to the poller thread; called whenever it changes
// (settings read, hotkey chosen).
void PublishHotkey();

// Control 53.
void PushToTray();
// Tray menu item 5.
void DefineHotkey();
// Tray menu item 6 or a left double-click on the icon.
void RestoreFromTray();
// A click on the tray icon (kLeftClick, kRightClick, kDoubleClick).
void OnTrayIcon(int type);

// Called by the main loop between its events: when the poller handed a capture over,
// runs `capture` with the tray icon showing the work.
void RunPendingHotkeyCapture(void (*capture)());

// Shutdown: stops the poller, releases it when it waits for a capture, waits for its
// end and removes the tray icon.
void EndTrayMode();

}  // namespace snapdeck::win32
