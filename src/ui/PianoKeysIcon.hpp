#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

namespace plinkora::ui {

/// Plinkora's tray icon: three white keys and two black keys. `inverse` fills the white keys
/// ("on"); otherwise they are drawn as outlines ("off"). The icon is a mask, so desktops that
/// recolour tray icons to their panel's text colour may do so.
QIcon pianoKeysIcon(bool inverse);

/// One rendering of the icon at `size` × `size` device-independent pixels.
QPixmap paintPianoKeys(int size, bool inverse, const QColor& color, qreal devicePixelRatio = 1.0);

} // namespace plinkora::ui
