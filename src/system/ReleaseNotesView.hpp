#pragma once

#include <QTextBrowser>

namespace plinkora {

/// Shows release notes from the feed as plain or simple rich text. Nothing they refer to is
/// ever loaded (no images, style sheets or local files), and only https links open, in the
/// browser, when clicked.
class ReleaseNotesView final : public QTextBrowser {
    Q_OBJECT

public:
    explicit ReleaseNotesView(QWidget* parent = nullptr);

    /// Rich text when it looks like HTML, plain text otherwise.
    void setNotes(const QString& notes);
};

} // namespace plinkora
