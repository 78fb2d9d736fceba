#pragma once

#include <QWidget>

namespace plinkora {

/// The overlay's top-level window: frameless, clear, above ordinary windows, never focused
/// or activating Plinkora, on every virtual desktop, and out of the taskbar, the pager and
/// window cycling. It holds one content widget that fills it. Main thread only.
class OverlayPanel final : public QWidget {
    Q_OBJECT
public:
    /// Takes `content` as its child.
    explicit OverlayPanel(QWidget* content);

    /// Shows the panel (or raises it again) without activating anything.
    void present();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    /// The window-manager hints Qt has no flag for, set while the window is unmapped (a
    /// window manager reads them when the window is mapped and drops them when it is
    /// withdrawn) or asked for through the root window while it is mapped.
    void applyDesktopHints();

    QWidget* content_;
};

} // namespace plinkora
