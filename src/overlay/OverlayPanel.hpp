#pragma once

#include <QRegion>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

namespace plinkora {

class X11OverlayWindow;

/// The overlay's top-level window: frameless, clear, above ordinary windows, never focused
/// or activating Plinkora, on every virtual desktop, and out of the taskbar, the pager and
/// window cycling. It holds one content widget that fills it. Main thread only.
///
/// On X11 it is override-redirect, so managed windows stay below it. Clear needs a compositing
/// manager: while the panel shows it looks once a second whether one runs, and where none does it
/// shows only what it paints.
class OverlayPanel final : public QWidget {
    Q_OBJECT
public:
    /// Takes `content` as its child.
    explicit OverlayPanel(QWidget* content);

    ~OverlayPanel() override;

    /// Shows the panel (or raises it again) without activating anything.
    void present();
    /// Whether only the painted pixels show, for want of a compositing manager.
    bool showsOnlyPainted() const;
    /// Where to ask what the content paints, in device pixels: the panel is cut to it while it
    /// shows only what it paints, and asks only then.
    void setPaintedRegionSource(std::function<QRegion()> source) {
        paintedRegion_ = std::move(source);
    }
    /// What the content paints may have changed.
    void paintedChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    /// The window-manager hints Qt has no flag for, set while the window is unmapped (a
    /// window manager reads them when the window is mapped and drops them when it is
    /// withdrawn) or asked for through the root window while it is mapped.
    void applyDesktopHints();
    void followCompositor();

    QWidget* content_;
    std::unique_ptr<X11OverlayWindow> x11_;
    std::function<QRegion()> paintedRegion_;
    QTimer compositorWatch_;
    std::optional<bool> composited_;
};

} // namespace plinkora
