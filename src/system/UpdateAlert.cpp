#include "system/UpdateAlert.hpp"

#include <QCoreApplication>

namespace plinkora {

QMessageBox* makeUpdateAlert(QMessageBox::Icon icon, const QString& text, const QString& details) {
    auto* alert = new QMessageBox(
        icon, QCoreApplication::translate("plinkora::UpdateWindow", "Software Update"), text);
    alert->setObjectName(QStringLiteral("updateAlert"));
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::NonModal);
    alert->setTextFormat(Qt::PlainText);
    if (!details.isEmpty()) {
        alert->setInformativeText(details);
    }
    return alert;
}

} // namespace plinkora
