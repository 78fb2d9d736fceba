#include "ui/SegmentedControl.hpp"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QRadioButton>

namespace plinkora::ui {

SegmentedControl::SegmentedControl(const QStringList& labels, QWidget* parent)
    : QWidget(parent)
    , group_(new QButtonGroup(this)) {
    group_->setExclusive(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int index = 0; index < labels.size(); ++index) {
        // Radio buttons: every theme draws which one is chosen, and screen readers announce a
        // choice of one, neither of which checkable push buttons manage.
        auto* segment = new QRadioButton(labels[index], this);
        segment->setMinimumWidth(72);
        group_->addButton(segment, index);
        layout->addWidget(segment);
    }
    connect(group_, &QButtonGroup::idClicked, this, &SegmentedControl::selected);
}

int SegmentedControl::selectedIndex() const {
    return group_->checkedId();
}

void SegmentedControl::setSelectedIndex(int index) {
    if (QAbstractButton* segment = group_->button(index)) {
        segment->setChecked(true);
    }
}

QAbstractButton* SegmentedControl::button(int index) const {
    return group_->button(index);
}

int SegmentedControl::count() const {
    return static_cast<int>(group_->buttons().size());
}

} // namespace plinkora::ui
