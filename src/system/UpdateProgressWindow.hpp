#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace plinkora {

/// Shows a download's progress, and what follows it, with a Cancel button while it can be
/// cancelled. Closing the window or pressing Escape asks to cancel too; the window stays until
/// its owner hides it.
class UpdateProgressWindow final : public QDialog {
    Q_OBJECT

public:
    explicit UpdateProgressWindow(const QString& displayVersion, QWidget* parent = nullptr);

    void setProgress(qint64 received, qint64 total);
    /// After the download: verifying and installing can no longer be cancelled.
    void setStatus(const QString& status);

Q_SIGNALS:
    void cancelRequested();

protected:
    void reject() override;

private:
    QLabel* status_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace plinkora
