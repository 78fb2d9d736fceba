#include "ui/FormSection.hpp"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace plinkora::ui {

namespace {

QFont scaledFont(double factor) {
    QFont font = QApplication::font();
    // A font may be set in pixels, when its point size reads -1.
    if (font.pointSizeF() > 0) {
        font.setPointSizeF(font.pointSizeF() * factor);
    } else if (font.pixelSize() > 0) {
        font.setPixelSize(qMax(1, qRound(font.pixelSize() * factor)));
    }
    return font;
}

} // namespace

FormSection::FormSection(const QString& header, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    header_ = new QLabel(header, this);
    QFont headerFont = header_->font();
    headerFont.setBold(true);
    header_->setFont(headerFont);
    header_->setContentsMargins(4, 0, 4, 0);
    layout->addWidget(header_);

    auto* card = new QFrame(this);
    card->setObjectName(QStringLiteral("card"));
    card->setFrameShape(QFrame::StyledPanel);
    card->setBackgroundRole(QPalette::Base);
    card->setAutoFillBackground(true);
    rows_ = new QVBoxLayout(card);
    rows_->setContentsMargins(12, 4, 12, 4);
    rows_->setSpacing(0);
    layout->addWidget(card);

    footer_ = new QLabel(this);
    footer_->setWordWrap(true);
    footer_->setFont(calloutFont());
    footer_->setContentsMargins(4, 0, 4, 0);
    footer_->hide();
    makeSecondary(*footer_);
    layout->addWidget(footer_);
}

void FormSection::setFooter(const QString& text) {
    footer_->setText(text);
    footer_->setVisible(!text.isEmpty());
}

QWidget* FormSection::addRow(QWidget* content) {
    QWidget* separator = nullptr;
    if (!rowList_.empty()) {
        auto* line = new QFrame(rows_->parentWidget());
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Plain);
        line->setFixedHeight(1);
        line->setForegroundRole(QPalette::Mid);
        rows_->addWidget(line);
        separator = line;
    }
    content->setParent(rows_->parentWidget());
    content->setContentsMargins(0, 6, 0, 6);
    rows_->addWidget(content);
    rowList_.push_back({separator, content});
    return content;
}

QWidget* FormSection::addLabelledRow(const QString& label, QWidget* value) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    auto* name = new QLabel(label, row);
    name->setBuddy(value);
    layout->addWidget(name, 0, Qt::AlignVCenter);
    value->setParent(row);
    auto* text = qobject_cast<QLabel*>(value);
    if (text != nullptr && text->wordWrap()) {
        // A wrapping text asks for little width; it gets the rest of the row and wraps only there.
        text->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        layout->addWidget(value, 1, Qt::AlignVCenter);
    } else {
        layout->addStretch(1);
        layout->addWidget(value, 0, Qt::AlignVCenter | Qt::AlignRight);
    }
    return addRow(row);
}

void FormSection::setRowVisible(QWidget* row, bool visible) {
    for (const Row& entry : rowList_) {
        if (entry.row == row) {
            row->setVisible(visible);
            if (entry.separator != nullptr) {
                entry.separator->setVisible(visible);
            }
        }
    }
}

QColor FormSection::secondaryColor(const QPalette& palette) {
    const QColor text = palette.color(QPalette::WindowText);
    const QColor window = palette.color(QPalette::Window);
    // Two thirds of the way from the background to the text keeps it readable on either theme.
    return QColor::fromRgbF(window.redF() + (text.redF() - window.redF()) * 0.62f,
                            window.greenF() + (text.greenF() - window.greenF()) * 0.62f,
                            window.blueF() + (text.blueF() - window.blueF()) * 0.62f);
}

void FormSection::makeSecondary(QWidget& widget) {
    QPalette palette = widget.palette();
    const QColor secondary = secondaryColor(palette);
    palette.setColor(QPalette::WindowText, secondary);
    palette.setColor(QPalette::Text, secondary);
    widget.setPalette(palette);
}

QFont FormSection::calloutFont() {
    return scaledFont(0.92);
}

QFont FormSection::captionFont() {
    return scaledFont(0.85);
}

namespace {

// The music model's words, for the translation tools to find; the model itself has no Qt.
[[maybe_unused]] const char* const kMusicWords[] = {
    QT_TRANSLATE_NOOP("music", "Vertical (low notes at bottom)"),
    QT_TRANSLATE_NOOP("music", "Horizontal (low notes at left)"),
    QT_TRANSLATE_NOOP("music", "Grand Piano"),
    QT_TRANSLATE_NOOP("music", "Electric Piano"),
    QT_TRANSLATE_NOOP("music", "Harpsichord"),
    QT_TRANSLATE_NOOP("music", "Celesta"),
    QT_TRANSLATE_NOOP("music", "Glockenspiel"),
    QT_TRANSLATE_NOOP("music", "Music Box"),
    QT_TRANSLATE_NOOP("music", "Vibraphone"),
    QT_TRANSLATE_NOOP("music", "Marimba"),
    QT_TRANSLATE_NOOP("music", "Nylon Guitar"),
    QT_TRANSLATE_NOOP("music", "Harp"),
    QT_TRANSLATE_NOOP("music", "Strings"),
    QT_TRANSLATE_NOOP("music", "Choir"),
    QT_TRANSLATE_NOOP("music", "Flute"),
    QT_TRANSLATE_NOOP("music", "Pan Flute"),
    QT_TRANSLATE_NOOP("music", "Kalimba"),
    QT_TRANSLATE_NOOP("music", "Steel Drums"),
    QT_TRANSLATE_NOOP("music", "Major"),
    QT_TRANSLATE_NOOP("music", "Minor"),
    QT_TRANSLATE_NOOP("music", "Dorian"),
    QT_TRANSLATE_NOOP("music", "Mixolydian"),
    QT_TRANSLATE_NOOP("music", "Harmonic Minor"),
    QT_TRANSLATE_NOOP("music", "Major Pentatonic"),
    QT_TRANSLATE_NOOP("music", "Minor Pentatonic"),
    QT_TRANSLATE_NOOP("music", "Blues"),
    QT_TRANSLATE_NOOP("music", "Chromatic"),
    QT_TRANSLATE_NOOP("music", "major"),
    QT_TRANSLATE_NOOP("music", "minor"),
    QT_TRANSLATE_NOOP("music", "dorian"),
    QT_TRANSLATE_NOOP("music", "mixolydian"),
    QT_TRANSLATE_NOOP("music", "harmonic minor"),
    QT_TRANSLATE_NOOP("music", "major pentatonic"),
    QT_TRANSLATE_NOOP("music", "minor pentatonic"),
    QT_TRANSLATE_NOOP("music", "blues"),
    QT_TRANSLATE_NOOP("music", "chromatic"),
    QT_TRANSLATE_NOOP("music", "Fixed"),
    QT_TRANSLATE_NOOP("music", "Touch"),
    QT_TRANSLATE_NOOP("music", "Position"),
};

} // namespace

QString FormSection::musicText(const std::string& label) {
    return QCoreApplication::translate("music", label.c_str());
}

QString FormSection::scaleTitle(const music::Scale& scale) {
    //: A scale's key, then its mode: "C major".
    return QCoreApplication::translate("music", "%1 %2")
        .arg(QString::fromStdString(music::keyLabel(scale.root, scale.mode)),
             musicText(music::titleWord(scale.mode)));
}

QFont FormSection::monospacedDigits(const QFont& font) {
    const QFontMetricsF metrics(font);
    const qreal zero = metrics.horizontalAdvance(QLatin1Char('0'));
    bool even = true;
    for (char digit = '1'; digit <= '9' && even; ++digit) {
        even = metrics.horizontalAdvance(QLatin1Char(digit)) == zero;
    }
    if (even) {
        return font;
    }
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (font.pointSizeF() > 0) {
        fixed.setPointSizeF(font.pointSizeF());
    } else {
        fixed.setPixelSize(font.pixelSize());
    }
    return fixed;
}

} // namespace plinkora::ui
