#pragma once

#include "ui/FormSection.hpp"

class QLabel;
class QPushButton;

namespace plinkora {
class AppState;
}

namespace plinkora::ui {

/// "Lid Logo": pulsing the lid logo and managing the helper that switches its light, or, in a
/// sandboxed build, where to get the version that can.
class LogoSection final : public FormSection {
    Q_OBJECT

public:
    static constexpr const char* kDownloadPage = "https://plinkora.org/plinkora/";

    enum class HelperState { notInstalled, running, notRunning, noLight, waiting };

    LogoSection(AppState& state, bool sandboxed, QWidget* parent = nullptr);

    static HelperState helperState(const AppState& state);
    static QString helperStatus(HelperState state);
    static QColor helperColor(HelperState state, const QPalette& palette);

private:
    void buildHelperRows();
    void buildSandboxedRows();
    void showHelper();
    void showMessage();

    AppState& state_;
    QLabel* dot_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* install_ = nullptr;
    QLabel* direct_ = nullptr;
    QWidget* directRow_ = nullptr;
    QWidget* helperRow_ = nullptr;
    QWidget* buttonsRow_ = nullptr;
    QLabel* message_ = nullptr;
    QWidget* messageRow_ = nullptr;
};

} // namespace plinkora::ui
