#pragma once

#include "app/AppState.hpp"
#include "ui/FormSection.hpp"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QMenu>
#include <type_traits>

namespace plinkora::ui {

/// Binds a check box or a checkable action to a yes/no setting, both ways. The user's choice
/// goes through the setting's setter, so its action runs; every change of the state, wherever
/// it comes from, shows here. Only the user's signal (`clicked`, `triggered`) writes, so a
/// change shown here is never written back. Returns `control`.
template <typename Control>
Control* bindToggle(Control* control, AppState& state, const BoundSetting<bool>& setting) {
    control->setCheckable(true);
    control->setChecked(state.get(setting));
    const auto write = [&state, setting](bool checked) { state.set(setting, checked); };
    if constexpr (std::is_base_of_v<QAction, Control>) {
        QObject::connect(control, &QAction::triggered, &state, write);
    } else {
        QObject::connect(control, &Control::clicked, &state, write);
    }
    QObject::connect(&state, setting.changed, control, &Control::setChecked);
    return control;
}

/// A list of the model's choices, bound both ways to `setting` as bindToggle() is.
template <typename Value, std::size_t N>
QComboBox* boundChoice(const char* name, const std::array<Value, N>& values, AppState& state,
                       const BoundSetting<Value>& setting) {
    auto* box = new QComboBox;
    box->setObjectName(QString::fromLatin1(name));
    for (const Value each : values) {
        box->addItem(FormSection::musicText(displayLabel(each)), static_cast<int>(each));
    }
    const auto show = [box](Value now) {
        box->setCurrentIndex(box->findData(static_cast<int>(now)));
    };
    show(state.get(setting));
    QObject::connect(box, &QComboBox::activated, &state, [box, &state, setting](int index) {
        state.set(setting, static_cast<Value>(box->itemData(index).toInt()));
    });
    QObject::connect(&state, setting.changed, box, show);
    return box;
}

/// A submenu of `menu` with one exclusive, checkable entry per choice, bound both ways to
/// `setting` as bindToggle() is.
template <typename Value, std::size_t N>
QMenu* boundChoiceMenu(QMenu& menu, const QString& title, const std::array<Value, N>& values,
                       AppState& state, const BoundSetting<Value>& setting) {
    QMenu* submenu = menu.addMenu(title);
    auto* group = new QActionGroup(submenu);
    group->setExclusive(true);
    for (const Value value : values) {
        QAction* action = submenu->addAction(FormSection::musicText(displayLabel(value)));
        action->setCheckable(true);
        action->setData(static_cast<int>(value));
        group->addAction(action);
        QObject::connect(action, &QAction::triggered, &state,
                         [&state, setting, value] { state.set(setting, value); });
    }
    const auto show = [group](Value now) {
        for (QAction* action : group->actions()) {
            action->setChecked(action->data().toInt() == static_cast<int>(now));
        }
    };
    show(state.get(setting));
    QObject::connect(&state, setting.changed, group, show);
    return submenu;
}

} // namespace plinkora::ui
