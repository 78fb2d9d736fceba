#pragma once

#include "app/LoginItem.hpp"

#include <QString>

namespace plinkora {

/// The login item as an XDG autostart entry, org.plinkora.Plinkora.desktop in the autostart
/// folder ($XDG_CONFIG_HOME/autostart, or ~/.config/autostart). Anything but a regular file at
/// the entry's path is never opened, written or removed.
class AutostartLoginItem final : public LoginItem {
public:
    static QString defaultFolder();

    /// `executable` is the absolute path the entry starts.
    AutostartLoginItem(QString folder, QString executable);

    bool isEnabled() const override;
    std::optional<std::string> setEnabled(bool enabled) override;

    QString entryPath() const;
    /// The entry's text for the executable.
    QString entryText() const;
    /// Quotes a path for an Exec key by the Desktop Entry rules.
    static QString quoteExecArgument(const QString& argument);
    /// Whether an entry can name `executable` so that desktops start it: no control characters
    /// or per cent sign, valid UTF-8.
    static bool isCarriable(const QString& executable);

private:
    QString folder_;
    QString executable_;
};

} // namespace plinkora
