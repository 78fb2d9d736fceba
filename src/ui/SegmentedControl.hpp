#pragma once

#include <QWidget>

class QAbstractButton;
class QButtonGroup;

namespace plinkora::ui {

/// A choice of one, its options side by side, one of which is always selected.
class SegmentedControl final : public QWidget {
    Q_OBJECT

public:
    explicit SegmentedControl(const QStringList& labels, QWidget* parent = nullptr);

    int selectedIndex() const;
    /// Selects without emitting `selected`.
    void setSelectedIndex(int index);
    QAbstractButton* button(int index) const;
    int count() const;

Q_SIGNALS:
    /// The user chose the segment at `index`.
    void selected(int index);

private:
    QButtonGroup* group_ = nullptr;
};

} // namespace plinkora::ui
