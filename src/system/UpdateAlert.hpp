#pragma once

#include <QMessageBox>

namespace plinkora {

/// A non-modal message window of the updater ("updateAlert"), deleted when closed. The caller
/// adds buttons other than OK and shows it.
QMessageBox* makeUpdateAlert(QMessageBox::Icon icon, const QString& text,
                             const QString& details = {});

} // namespace plinkora
