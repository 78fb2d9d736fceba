#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QRegion>
#include <cstdint>

class QWidget;

namespace plinkora {

/// The panel's X11 side where no compositing manager runs. Nothing then blends the panel's
/// clear pixels with what lies beneath: the X server shows them black, over the whole screen.
/// So the panel is cut to what it paints (X Shape), an input-only window just beneath it
/// takes the pointer everywhere else and hands it on to the content, and both are raised
/// again whenever a managed window is stacked above them (menus, tooltips and screen lockers,
/// which are not managed, stay above). The panel is override-redirect in
/// this mode (the caller sets that), so no window manager moves, tiles or focuses it.
///
/// Main thread only. Touches on the clear parts are not taken: XInput touch events for the
/// input-only window are not asked for, so only the pointer plays there.
class UncompositedMode final : public QAbstractNativeEventFilter {
public:
    /// Whether a compositing manager owns the display's `_NET_WM_CM_S<screen>` selection now;
    /// true off X11, where the platform composites.
    static bool isComposited();

    /// For `panel`, whose input goes on to `content`; both outlive this.
    UncompositedMode(QWidget& panel, QWidget& content);
    ~UncompositedMode() override;
    UncompositedMode(const UncompositedMode&) = delete;
    UncompositedMode& operator=(const UncompositedMode&) = delete;

    /// The panel's painted pixels, in its device pixels: what stays visible.
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

    QWidget& panel_;
    QWidget& content_;
    QRegion painted_;
    // Owns the queued raise, so that it dies with this.
    QObject context_;
    std::uint32_t input_ = 0;
    std::uint32_t root_ = 0;
    bool raisePending_ = false;
};

} // namespace plinkora
