#include "overlay/ScreenList.hpp"

#include <QGuiApplication>
#include <QInputDevice>

namespace plinkora {

bool isBuiltIn(const ScreenInfo& screen) {
    return screen.name.startsWith(QStringLiteral("eDP")) ||
           screen.name.startsWith(QStringLiteral("LVDS")) ||
           screen.name.startsWith(QStringLiteral("DSI"));
}

std::optional<ScreenInfo> chooseTargetScreen(const std::vector<ScreenInfo>& screens,
                                             bool hasTouchScreen) {
    const ScreenInfo* builtIn = nullptr;
    const ScreenInfo* primary = nullptr;
    for (const ScreenInfo& screen : screens) {
        if (builtIn == nullptr && isBuiltIn(screen)) {
            builtIn = &screen;
        }
        if (primary == nullptr && screen.isPrimary) {
            primary = &screen;
        }
    }
    const ScreenInfo* touchCapable = nullptr;
    if (hasTouchScreen) {
        touchCapable = builtIn != nullptr ? builtIn : primary;
    }
    for (const ScreenInfo* choice : {touchCapable, builtIn, primary}) {
        if (choice != nullptr) {
            return *choice;
        }
    }
    if (screens.empty()) {
        return std::nullopt;
    }
    return screens.front();
}

QtScreenList::QtScreenList() {
    const auto all = QGuiApplication::screens();
    for (QScreen* screen : all) {
        watch(screen);
    }
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        watch(screen);
        changed();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &QtScreenList::changed);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &QtScreenList::changed);
}

void QtScreenList::watch(QScreen* screen) {
    connect(screen, &QScreen::geometryChanged, this, &QtScreenList::changed);
    connect(screen, &QScreen::availableGeometryChanged, this, &QtScreenList::changed);
}

void QtScreenList::changed() {
    if (isChangePending_) {
        return;
    }
    isChangePending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            isChangePending_ = false;
            if (onChange_) {
                onChange_();
            }
        },
        Qt::QueuedConnection);
}

std::vector<ScreenInfo> QtScreenList::screens() const {
    std::vector<ScreenInfo> result;
    const QScreen* primary = QGuiApplication::primaryScreen();
    const auto all = QGuiApplication::screens();
    for (QScreen* screen : all) {
        result.push_back(ScreenInfo{screen->name(), screen->geometry(), screen->availableGeometry(),
                                    screen == primary, screen});
    }
    return result;
}

bool QtScreenList::hasTouchScreen() const {
    const auto devices = QInputDevice::devices();
    for (const QInputDevice* device : devices) {
        if (device->type() == QInputDevice::DeviceType::TouchScreen) {
            return true;
        }
    }
    return false;
}

void QtScreenList::setOnChange(std::function<void()> onChange) {
    onChange_ = std::move(onChange);
}

} // namespace plinkora
