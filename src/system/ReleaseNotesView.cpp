#include "system/ReleaseNotesView.hpp"

#include "system/AppcastParser.hpp"

#include <QDesktopServices>
#include <QTextDocument>

namespace plinkora {

namespace {

/// Loads no resource at all. Overriding the view's loadResource is not enough: when it returns
/// nothing, QTextDocument reads local files and qrc: resources by itself.
class ClosedDocument final : public QTextDocument {
public:
    using QTextDocument::QTextDocument;

protected:
    QVariant loadResource(int, const QUrl&) override { return {}; }
};

} // namespace

ReleaseNotesView::ReleaseNotesView(QWidget* parent)
    : QTextBrowser(parent) {
    setObjectName(QStringLiteral("releaseNotes"));
    setDocument(new ClosedDocument(this));
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

} // namespace plinkora
