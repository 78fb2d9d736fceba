#include "UiFixture.hpp"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plinkora::testing {

UiHome::UiHome() {
    // A laptop with a lid logo, unless a test takes the light away.
    QDir().mkpath(home.path() + QStringLiteral("/leds/tpacpi::lid_logo_dot"));
}

HelperStatus UiHome::helperStatus() const {
    return HelperStatus(
        HelperPaths{.pipePath = pipePath().toStdString(),
                    .serviceUnitPath = unitPath().toStdString(),
                    .ledFolder = (home.path() + QStringLiteral("/leds")).toStdString()});
}

UiFixture::UiFixture()
    : RecordingApp(clock, home.settingsFile(), helperStatus()) {}

UiFixture::~UiFixture() {
    RecordingApp::state.reset();
    if (pipeReader_ >= 0) {
        ::close(pipeReader_);
    }
}

QString UiHome::unitPath() const {
    return home.path() + QStringLiteral("/logo-helper.service");
}
QString UiHome::pipePath() const {
    return home.path() + QStringLiteral("/logo-control");
}

void UiFixture::installHelperFiles() {
    QFile unit(unitPath());
    if (unit.open(QIODevice::WriteOnly)) {
        unit.write("[Service]\nExecStart=/usr/libexec/plinkora-logo-helper\n");
    }
}

void UiFixture::removeHelperFiles() {
    setHelperRunning(false);
    QFile::remove(unitPath());
}

void UiFixture::setHelperRunning(bool running) {
    const QByteArray path = QFile::encodeName(pipePath());
    if (running && pipeReader_ < 0) {
        ::mkfifo(path.constData(), 0600);
        pipeReader_ = ::open(path.constData(), O_RDONLY | O_NONBLOCK);
    } else if (!running && pipeReader_ >= 0) {
        ::close(pipeReader_);
        pipeReader_ = -1;
        ::unlink(path.constData());
    }
}

QColor pixmapCentre(const QLabel& label) {
    const QImage image = label.pixmap().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

int countPixels(const QImage& image, const std::function<bool(QColor)>& counts) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += counts(image.pixelColor(x, y)) ? 1 : 0;
        }
    }
    return count;
}

int opaquePixels(const QImage& image) {
    return countPixels(image, [](QColor pixel) { return pixel.alpha() >= 128; });
}

int legiblePixels(const QImage& icon, QColor panel) {
    QImage image(icon.size(), QImage::Format_RGB32);
    image.fill(panel);
    QPainter painter(&image);
    painter.drawImage(0, 0, icon);
    painter.end();
    const auto luminance = [](QRgb rgb) {
        const auto linear = [](int c) {
            const double v = c / 255.0;
            return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(qRed(rgb)) + 0.7152 * linear(qGreen(rgb)) +
               0.0722 * linear(qBlue(rgb));
    };
    const double background = luminance(panel.rgb());
    return countPixels(image, [&](QColor color) {
        const double pixel = luminance(color.rgb());
        return (std::max(pixel, background) + 0.05) / (std::min(pixel, background) + 0.05) >= 3.0;
    });
}

} // namespace plinkora::testing
