#pragma once

#include <QObject>
#include <functional>

namespace plinkora {

/// Software updates as the menu and the settings window use them. Main thread only.
class Updater : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~Updater() override;

    /// Whether a user-initiated check may begin now.
    virtual bool canCheckForUpdates() const = 0;
    virtual bool automaticallyChecksForUpdates() const = 0;
    virtual void setAutomaticallyChecksForUpdates(bool checks) = 0;
    /// Starts a user-initiated check, bringing Plinkora to the front before any window.
    virtual void checkForUpdates() = 0;

    enum class Availability {
        available,
        /// The build has no key to verify updates with.
        notInThisBuild,
        /// A sandboxed (Flatpak) build, which the desktop updates.
        byTheDesktop,
    };
    /// Whether this build can update itself at all; fixed for the process's life.
    virtual Availability availability() const { return Availability::available; }

Q_SIGNALS:
    void canCheckForUpdatesChanged(bool canCheck);
    void automaticallyChecksForUpdatesChanged(bool checks);
    /// A scheduled check found an update: the user interface posts the reminder, and runs
    /// `onClicked` (safe after the updater is gone) when it is chosen. With nobody connected,
    /// the updater shows its window itself.
    void reminderPosted(const QString& title, const QString& text,
                        const std::function<void()>& onClicked);
};

} // namespace plinkora
