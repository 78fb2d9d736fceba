#include "ui/SettingsView.hpp"

#include "app/AppState.hpp"
#include "ui/KeySection.hpp"
#include "ui/LogoSection.hpp"
#include "ui/PlayingSection.hpp"
#include "ui/StatusSection.hpp"
#include "ui/UpdatesSection.hpp"

#include <QShowEvent>
#include <QVBoxLayout>

namespace plinkora::ui {

SettingsView::SettingsView(AppState& state, bool sandboxed, std::function<void()> checkForUpdates,
                           QWidget* parent)
    : QWidget(parent)
    , state_(state) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(22);
    layout->addWidget(new PlayingSection(state_, this));
    layout->addWidget(new KeySection(state_, this));
    layout->addWidget(new LogoSection(state_, sandboxed, this));
    layout->addWidget(new UpdatesSection(state_.updater(), std::move(checkForUpdates), this));
    status_ = new StatusSection(state_, this);
    layout->addWidget(status_);
    layout->addStretch(1);
}

void SettingsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        state_.refreshHelperStatus();
        status_->refresh();
    }
}

} // namespace plinkora::ui
