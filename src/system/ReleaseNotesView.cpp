#include "system/ReleaseNotesView.hpp"

#include "system/AppcastParser.hpp"

#include <QDesktopServices>

namespace plinkora {

ReleaseNotesView::ReleaseNotesView(QWidget* parent)
    : QTextBrowser(parent) {
    setObjectName(QStringLiteral("releaseNotes"));
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, [](const QUrl& link) {
        if (AppcastParser::isSecureUrl(link)) {
            QDesktopServices::openUrl(link);
        }
    });
}

void ReleaseNotesView::setNotes(const QString& notes) {
    if (Qt::mightBeRichText(notes)) {
        setHtml(notes);
    } else {
        setPlainText(notes);
    }
}

QVariant ReleaseNotesView::loadResource(int, const QUrl&) {
    return {};
}

} // namespace plinkora
