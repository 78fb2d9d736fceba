#include "system/UpdateWindow.hpp"

#include "system/ReleaseNotesView.hpp"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace plinkora {

UpdateWindow::UpdateWindow(const AppcastItem& update, const QString& runningVersion,
                           QWidget* parent)
    : QDialog(parent)
    , update_(update) {
    setObjectName(QStringLiteral("updateWindow"));
    setWindowTitle(tr("Software Update"));

    auto* heading = new QLabel(update.isCritical ? tr("A critical update of Plinkora is available!")
                                                 : tr("A new version of Plinkora is available!"),
                               this);
    heading->setObjectName(QStringLiteral("heading"));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);

    auto* versions = new QLabel(tr("Plinkora %1 is now available—you have %2. "
                                   "Would you like to install it now?")
                                    .arg(update.displayVersion, runningVersion),
                                this);
    versions->setObjectName(QStringLiteral("versions"));
    versions->setTextFormat(Qt::PlainText);
    versions->setWordWrap(true);

    auto* notesTitle = new QLabel(tr("Release Notes:"), this);
    notes_ = new ReleaseNotesView(this);
    notes_->setMinimumSize(420, 220);
    if (!update.releaseNotes.isEmpty()) {
        notes_->setNotes(update.releaseNotes);
    } else if (update.releaseNotesUrl.isValid()) {
        notes_->setPlainText(tr("Loading the release notes…"));
    } else {
        notes_->setPlainText(tr("This release has no notes."));
    }

    auto* buttons = new QDialogButtonBox(this);
    // A critical update is not one to skip.
    if (!update.isCritical) {
        auto* skip = buttons->addButton(tr("Skip This Version"), QDialogButtonBox::DestructiveRole);
        connect(skip, &QPushButton::clicked, this, &UpdateWindow::skipRequested);
    }
    auto* later = buttons->addButton(tr("Remind Me Later"), QDialogButtonBox::RejectRole);
    auto* install = buttons->addButton(tr("Install Update"), QDialogButtonBox::AcceptRole);
    install->setDefault(true);
    connect(later, &QPushButton::clicked, this, &UpdateWindow::remindLaterRequested);
    connect(install, &QPushButton::clicked, this, &UpdateWindow::installRequested);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(versions);
    layout->addWidget(notesTitle);
    layout->addWidget(notes_, 1);
    layout->addWidget(buttons);
}

void UpdateWindow::setReleaseNotes(const QString& notes) {
    notes_->setNotes(notes);
}

void UpdateWindow::setReleaseNotesUnavailable() {
    notes_->setPlainText(tr("The release notes could not be loaded."));
}

} // namespace plinkora
