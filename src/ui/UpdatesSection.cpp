#include "ui/UpdatesSection.hpp"

#include "app/Updater.hpp"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>

namespace plinkora::ui {

UpdatesSection::UpdatesSection(Updater& updater, std::function<void()> checkForUpdates,
                               QWidget* parent)
    : FormSection(tr("Updates"), parent) {
    auto* automatic = new QCheckBox(tr("Check for updates automatically"));
    automatic->setChecked(updater.automaticallyChecksForUpdates());
    connect(automatic, &QCheckBox::clicked, this, [&updater, automatic](bool checks) {
        updater.setAutomaticallyChecksForUpdates(checks);
        // Shows what the updater kept, should it have refused the change.
        automatic->setChecked(updater.automaticallyChecksForUpdates());
    });
    connect(&updater, &Updater::automaticallyChecksForUpdatesChanged, automatic,
            &QCheckBox::setChecked);
    addRow(automatic);

    auto* buttonRow = new QWidget;
    auto* layout = new QHBoxLayout(buttonRow);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* check = new QPushButton(tr("Check for Updates…"), buttonRow);
    check->setAutoDefault(false);
    check->setEnabled(updater.canCheckForUpdates());
    connect(&updater, &Updater::canCheckForUpdatesChanged, check, &QPushButton::setEnabled);
    connect(check, &QPushButton::clicked, this, [checkForUpdates = std::move(checkForUpdates)] {
        if (checkForUpdates) {
            checkForUpdates();
        }
    });
    layout->addWidget(check);
    layout->addStretch(1);
    addRow(buttonRow);

    // A build that cannot update itself says so, and promises nothing about updates.
    switch (updater.availability()) {
    case Updater::Availability::available:
        setFooter(tr("Updates come from plinkora.org and are verified before they install."));
        return;
    case Updater::Availability::notInThisBuild:
        setFooter(tr("Updates are not available in this build."));
        break;
    case Updater::Availability::byTheDesktop:
        setFooter(tr("Your desktop's software manager keeps this version of Plinkora up to "
                     "date."));
        break;
    }
    automatic->setEnabled(false);
    automatic->setChecked(false);
    disconnect(&updater, &Updater::automaticallyChecksForUpdatesChanged, automatic, nullptr);
    check->setEnabled(false);
    disconnect(&updater, &Updater::canCheckForUpdatesChanged, check, nullptr);
}

} // namespace plinkora::ui
