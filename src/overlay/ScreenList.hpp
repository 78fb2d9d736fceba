#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QScreen>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace plinkora {

/// One display as the overlay sees it.
struct ScreenInfo {
    /// The connector name ("eDP-1", "HDMI-A-1").
    QString name;
    QRect geometry;
    /// The screen minus the desktop's panels.
    QRect availableGeometry;
    bool isPrimary = false;
    /// The Qt screen to put the panel on; empty for screens that are only described.
    QPointer<QScreen> screen;
};

/// Space a dock or panel reserves along one edge of the whole X screen, in its pixels, as
/// _NET_WM_STRUT_PARTIAL gives it (each edge's extent runs from start to end, inclusive).
struct Strut {
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;
    int leftStartY = 0;
    int leftEndY = 0;
    int rightStartY = 0;
    int rightEndY = 0;
    int topStartX = 0;
    int topEndX = 0;
    int bottomStartX = 0;
    int bottomEndX = 0;
};

/// `screen` less what the struts reserve along its edges, all in the pixels of the whole X
/// screen `root`: a panel on one monitor does not shrink another.
QRect freeOfStruts(QRect screen, QSize root, const std::vector<Strut>& struts);

/// The displays and the one fact about input devices that the choice of screen needs.
/// Main thread only.
class ScreenList {
public:
    virtual ~ScreenList() = default;

    /// In the system's order.
    virtual std::vector<ScreenInfo> screens() const = 0;
    /// Whether a touch-screen input device exists.
    virtual bool hasTouchScreen() const = 0;
    /// Called after screens come or go, the primary screen changes, or a screen's geometry
    /// or available geometry changes.
    virtual void setOnChange(std::function<void()> onChange) = 0;
};

/// Laptop panels: the connector name begins with "eDP", "LVDS" or "DSI".
bool isBuiltIn(const ScreenInfo& screen);

/// The screen the overlay covers: the first touch-capable screen, else the first built-in
/// one, else the primary one, else the first; none for an empty list. A screen is
/// touch-capable when a touch screen exists and it is the built-in screen (the primary one
/// when there is no built-in screen).
std::optional<ScreenInfo> chooseTargetScreen(const std::vector<ScreenInfo>& screens,
                                             bool hasTouchScreen);

class SwayWorkspaces;

/// The screens of the Qt application; under sway, less what its bars reserve.
class QtScreenList final : public QObject, public ScreenList {
    Q_OBJECT
public:
    QtScreenList();
    ~QtScreenList() override;

    std::vector<ScreenInfo> screens() const override;
    bool hasTouchScreen() const override;
    void setOnChange(std::function<void()> onChange) override;

private:
    void watch(QScreen* screen);
    /// Several signals arrive for one rearrangement, some while Qt is still updating its list;
    /// they are folded into one call from the event loop.
    void changed();

    std::function<void()> onChange_;
    bool isChangePending_ = false;
    std::unique_ptr<SwayWorkspaces> sway_;
};

} // namespace plinkora
