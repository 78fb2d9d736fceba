#include "ui/PianoKeysIcon.hpp"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <array>

namespace plinkora::ui {

namespace {

// Drawn on a 16-unit grid and scaled, so that every size keeps the same proportions.
constexpr qreal kGrid = 16.0;
constexpr QRectF kBody{1.5, 2.5, 13.0, 11.0};
constexpr qreal kBlackKeyWidth = 2.6;
constexpr qreal kBlackKeyHeight = 6.4;

std::array<qreal, 2> separators() {
    return {kBody.left() + kBody.width() / 3.0, kBody.left() + kBody.width() * 2.0 / 3.0};
}

QRectF blackKey(qreal centre) {
    return {centre - kBlackKeyWidth / 2.0, kBody.top(), kBlackKeyWidth, kBlackKeyHeight};
}

} // namespace

QPixmap paintPianoKeys(int size, bool inverse, const QColor& color, qreal devicePixelRatio,
                       qreal halo) {
    QPixmap pixmap(QSize(size, size) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);

    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / kGrid, size / kGrid);

    QPainterPath body;
    body.addRoundedRect(kBody, 1.6, 1.6);
    const qreal line = 1.2;
    if (halo > 0) {
        // The glyph's whole outline, grown: a backing for the glyph drawn on it.
        painter.setPen(QPen(color, line + 2 * halo, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(color);
        painter.drawPath(body);
    } else if (inverse) {
        painter.fillPath(body, color);
        // Black keys and the gaps between white keys are cut out of the filled body.
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        for (const qreal x : separators()) {
            painter.fillRect(blackKey(x).adjusted(-0.6, -1.0, 0.6, 0.6), Qt::transparent);
            painter.fillRect(QRectF(x - line / 2.0, kBody.top(), line, kBody.height()),
                             Qt::transparent);
        }
    } else {
        painter.setPen(QPen(color, line));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(body);
        for (const qreal x : separators()) {
            painter.drawLine(QPointF(x, kBody.top() + kBlackKeyHeight), QPointF(x, kBody.bottom()));
            painter.fillRect(blackKey(x), color);
        }
    }
    painter.end();
    return pixmap;
}

QIcon pianoKeysIcon(bool inverse) {
    // Near-white on near-black: each reads on the panel colours the other does not.
    const QColor glyph(0xf4, 0xf4, 0xf4);
    const QColor backing(0x1c, 0x1c, 0x1c, 0xe6);
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap = paintPianoKeys(size, inverse, backing, 1.0, 1.0);
        QPainter painter(&pixmap);
        painter.drawPixmap(0, 0, paintPianoKeys(size, inverse, glyph));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace plinkora::ui
