#pragma once

#include "LogCapture.hpp"
#include "ManualScheduler.hpp"
#include "RecordingControllers.hpp"
#include "TempHome.hpp"

#include <QAbstractButton>
#include <QLabel>
#include <QWidget>
#include <memory>

namespace plinkora::testing {

/// A private home with a lid-logo light, and the clock and log the state runs on.
struct UiHome {
    UiHome();
    QString unitPath() const;
    QString pipePath() const;
    HelperStatus helperStatus() const;

    TempHome home;
    ManualScheduler clock;
    LogCapture logs;
};

/// An AppState on recording controllers with a private home, a helper whose unit file and pipe
/// are real files in that home, and a touch screen the test can plug in.
class UiFixture : public UiHome, public RecordingApp {
public:
    UiFixture();
    ~UiFixture();

    /// Writes the helper's unit file.
    void installHelperFiles();
    void removeHelperFiles();
    /// Makes the pipe a FIFO with a reader, as a running helper holds it; false stops it.
    void setHelperRunning(bool running);

    AppState& state() { return *RecordingApp::state; }
    void hotKeyAction() { hotKey->action(); }

private:
    int pipeReader_ = -1;
};

/// The first widget of type T below `root` whose text is `text`.
template <typename T> T* findWithText(QWidget& root, const QString& text) {
    const auto all = root.findChildren<T*>();
    for (T* each : all) {
        if (each->text() == text) {
            return each;
        }
    }
    return nullptr;
}

/// The colour at the centre of a label's pixmap.
QColor pixmapCentre(const QLabel& label);
/// How many pixels of the image `counts`.
int countPixels(const QImage& image, const std::function<bool(QColor)>& counts);
/// How many pixels of the image are at least half opaque.
int opaquePixels(const QImage& image);
/// How many pixels of an icon stand out by at least 3:1 against a panel of `panel`.
int legiblePixels(const QImage& icon, QColor panel);

} // namespace plinkora::testing
