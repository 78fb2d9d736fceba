#pragma once

#include <QAbstractNativeEventFilter>
#include <QPointF>
#include <QRegion>
#include <cstdint>
#include <map>
#include <memory>

class QPointingDevice;
class QWidget;

namespace plinkora {

/// The panel's X11 side. The panel is override-redirect (the caller sets that), so no window
/// manager moves, tiles or focuses it, and menus, tooltips and screen lockers, which are not
/// managed either, can still rise above it. Some window managers (XWayland's on wlroots
/// compositors, for one) raise the window they focus above everything, and XWayland hands the
/// pointer to the topmost X window: so whenever a managed window is mapped or reconfigured,
/// the panel goes back on top.
///
/// Where no compositing manager runs, nothing blends the panel's clear pixels with what lies
/// beneath: the X server shows them black, over the whole screen. There the panel is cut to
/// what it paints (X Shape), and an input-only window just beneath it takes the pointer
/// everywhere else and hands it on to the content, the pointer and, where the server speaks
/// XInput 2.2, every finger of a touch screen.
///
/// Main thread only.
class X11OverlayWindow final : public QAbstractNativeEventFilter {
public:
    /// Whether a compositing manager owns the display's `_NET_WM_CM_S<screen>` selection now;
    /// true off X11, where the platform composites.
    static bool hasCompositor();

    /// Whether this is an X11 session at all.
    static bool isAvailable();

    /// For `panel`, whose input goes on to `content`; both outlive this.
    X11OverlayWindow(QWidget& panel, QWidget& content);
    ~X11OverlayWindow() override;
    X11OverlayWindow(const X11OverlayWindow&) = delete;
    X11OverlayWindow& operator=(const X11OverlayWindow&) = delete;

    /// Whether a compositing manager blends the panel: it is whole then, else cut to what it
    /// paints. Starts composited.
    void setComposited(bool composited);
    bool isComposited() const { return composited_; }
    /// The panel's painted pixels, in its device pixels: what stays visible uncomposited.
    void setPaintedRegion(const QRegion& devicePixels);
    /// After the panel was shown or moved: the input window follows and both go on top.
    void follow();
    /// After the panel was hidden.
    void withdraw();

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;

private:
    void applyShape();
    void raise();
    void forwardPointer(int type, int x, int y, int button, std::uint16_t state);
    void selectTouches();
    /// One finger's XInput touch event (begin, update or end) on the input window.
    void forwardTouch(int type, std::uint32_t id, QPointF devicePixels);

    QWidget& panel_;
    QWidget& content_;
    QRegion painted_;
    std::uint32_t input_ = 0;
    std::uint32_t root_ = 0;
    bool composited_ = true;
    std::uint8_t xinputOpcode_ = 0;
    std::unique_ptr<QPointingDevice> touchscreen_;
    /// The fingers down on the input window, by touch id, where they last were (logical).
    std::map<std::uint32_t, QPointF> touches_;
};

} // namespace plinkora
