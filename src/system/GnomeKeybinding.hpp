#pragma once

namespace plinkora {

/// Ctrl+Alt+Super+M as a GNOME custom keyboard shortcut running `plinkora --toggle`, with
/// Ctrl+Alt+Super+S running `plinkora --save` beside it, for GNOME sessions, whose Wayland
/// compositor offers no global shortcuts portal. It is written into GNOME's own settings
/// (gnome-settings-daemon's media-keys schema, through GSettings), so GNOME's Settings shows it and
/// the user can change it there.
///
/// Main thread only. GSettings reads its local database and hands writes to the settings
/// service without waiting for it: nothing here waits for another process.
class GnomeKeybinding {
public:
    /// Whether this is a GNOME session with gnome-settings-daemon's schemas installed.
    static bool isAvailable();

    /// Whether the shortcut is among the user's custom shortcuts.
    static bool isAdded();
    /// Adds the shortcut, or takes it out again; the user's other shortcuts stay as they are.
    static void setAdded(bool added);
};

} // namespace plinkora
