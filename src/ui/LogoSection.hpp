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

    enum class HelperState { notInstalled, running, notRunning };

    LogoSection(AppState& state, bool sandboxed, QWidget* parent = nullptr);

    static HelperState helperState(bool installed, bool running);
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
    QLabel* message_ = nullptr;
    QWidget* messageRow_ = nullptr;
};

} // namespace plinkora::ui
