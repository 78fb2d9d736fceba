#pragma once

#include "system/AppcastParser.hpp"

#include <QDialog>

class QLabel;
class QPushButton;

namespace plinkora {

class ReleaseNotesView;

/// Offers one update: the new and the running version, the release notes, and the choice
/// between installing it, being reminded later and skipping this version.
class UpdateWindow final : public QDialog {
    Q_OBJECT

public:
    UpdateWindow(const AppcastItem& update, const QString& runningVersion,
                 QWidget* parent = nullptr);

    const AppcastItem& update() const { return update_; }
    /// For notes that came from the item's release notes link.
    void setReleaseNotes(const QString& notes);
    void setReleaseNotesUnavailable();

Q_SIGNALS:
    void installRequested();
    void remindLaterRequested();
    void skipRequested();

private:
    AppcastItem update_;
    ReleaseNotesView* notes_ = nullptr;
};

} // namespace plinkora
