#pragma once

#include "music/Scale.hpp"

#include <QWidget>
#include <vector>

class QFont;
class QLabel;
class QVBoxLayout;

namespace plinkora::ui {

/// One section of the grouped settings form: a header, a card of rows divided by hairlines,
/// and a footer explaining the section. Main thread only.
class FormSection : public QWidget {
    Q_OBJECT

public:
    explicit FormSection(const QString& header, QWidget* parent = nullptr);

    QLabel& header() { return *header_; }
    QLabel& footer() { return *footer_; }
    void setFooter(const QString& text);

    /// Appends a row that spans the card's width; returns it.
    QWidget* addRow(QWidget* content);
    /// Appends a row with `label` at the left and `value` at the right; returns the row.
    QWidget* addLabelledRow(const QString& label, QWidget* value);
    /// Hides or shows a row together with the hairline above it.
    void setRowVisible(QWidget* row, bool visible);

    /// The colour of secondary text: the window text, faded towards the window.
    static QColor secondaryColor(const QPalette& palette);
    static void makeSecondary(QWidget& widget);
    /// Slightly smaller than the body text, for explanations and messages.
    static QFont calloutFont();
    /// The smallest text, for diagnostics.
    static QFont captionFont();
    /// `font` itself where its digits are already all as wide, so that a changing number does
    /// not shift; otherwise the system's fixed-pitch font at the same size.
    static QFont monospacedDigits(const QFont& font);
    /// One of the music model's labels or mode words, in the user's language.
    static QString musicText(const std::string& label);
    /// A scale's key and mode ("C major"), in the user's language.
    static QString scaleTitle(const music::Scale& scale);

private:
    struct Row {
        QWidget* separator;
        QWidget* row;
    };

    QLabel* header_ = nullptr;
    QLabel* footer_ = nullptr;
    QVBoxLayout* rows_ = nullptr;
    std::vector<Row> rowList_;
};

} // namespace plinkora::ui
