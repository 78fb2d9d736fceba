#include "system/UpdateProgressWindow.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace plinkora {

UpdateProgressWindow::UpdateProgressWindow(const QString& displayVersion, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("updateProgressWindow"));
    setWindowTitle(tr("Updating Plinkora"));

    auto* title = new QLabel(tr("Downloading Plinkora %1…").arg(displayVersion), this);
    title->setTextFormat(Qt::PlainText);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 0);
    bar_->setMinimumWidth(360);
    cancel_ = new QPushButton(tr("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("cancel"));
    connect(cancel_, &QPushButton::clicked, this, &UpdateProgressWindow::cancelRequested);

    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(bar_);
    layout->addWidget(status_);
    layout->addLayout(row);
}

void UpdateProgressWindow::setProgress(qint64 received, qint64 total) {
    const QLocale locale;
    if (total > 0) {
        // Per mille keeps the range within int for any size.
        bar_->setRange(0, 1000);
        bar_->setValue(static_cast<int>(std::min<qint64>(1000, received * 1000 / total)));
        status_->setText(
            tr("%1 of %2")
                .arg(locale.formattedDataSize(received), locale.formattedDataSize(total)));
    } else {
        status_->setText(locale.formattedDataSize(received));
    }
}

void UpdateProgressWindow::setStatus(const QString& status) {
    bar_->setRange(0, 0);
    status_->setText(status);
    cancel_->setEnabled(false);
}

void UpdateProgressWindow::reject() {
    if (cancel_->isEnabled()) {
        Q_EMIT cancelRequested();
    }
}

} // namespace plinkora
