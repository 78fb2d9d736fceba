#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

namespace plinkora::ui {

/// Plinkora's tray icon: three white keys and two black keys. `inverse` fills the white keys
/// ("on"); otherwise they are drawn as outlines ("off"). A light glyph on a dark halo, so that
/// it reads on dark and light panels alike, whatever the application's own palette.
QIcon pianoKeysIcon(bool inverse);

/// One rendering of the glyph at `size` × `size` device-independent pixels, in `color`;
/// `halo` widens every stroke and fill by that many grid units (of 16) all round.
QPixmap paintPianoKeys(int size, bool inverse, const QColor& color, qreal devicePixelRatio = 1.0,
                       qreal halo = 0);

} // namespace plinkora::ui
