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

/// An updater whose readiness the test switches.
class SwitchableUpdater final : public Updater {
public:
    bool canCheckForUpdates() const override { return canCheck_; }
    bool automaticallyChecksForUpdates() const override { return automatic_; }
    void setAutomaticallyChecksForUpdates(bool checks) override;
    void checkForUpdates() override { ++checks; }
    Availability availability() const override { return availableAs; }

    void setCanCheck(bool canCheck);

    int checks = 0;
    Availability availableAs = Availability::available;

private:
    bool canCheck_ = false;
    bool automatic_ = true;
};

/// A piano whose engine starts, or fails to, as the test says.
class StubPiano final : public Piano {
public:
    void setNoteLength(double seconds) override { noteLength_ = seconds; }
    double noteLength() const override { return noteLength_; }
    void setScale(const music::Scale&) override {}
    void play(int, std::uint8_t) override {}
    void start() override { running = startSucceeds; }
    /// The engine pauses only after the notes' tail, so it is still running here.
    void stopAfterTail() override {}
    std::string outputDeviceName() const override { return "Null Output"; }
    void setOnOutputDeviceChange(std::function<void()>) override {}
    bool isEngineRunning() const override { return running; }
    bool instrumentLoaded() const override { return loaded; }
    void setSound(music::Sound) override {}
    void setSoundBank(const std::string&) override {}
    void setOnSoundBankResult(std::function<void(const std::optional<std::string>&)>) override {}
    void setMidiOutput(bool) override {}
    void saveRecent(const std::string&, const std::string&,
                    std::function<void(const SavedPlay&)>) override {}
    void setPlaysBuiltInSound(bool) override {}

    bool running = false;
    bool startSucceeds = true;
    bool loaded = true;

private:
    double noteLength_ = 2.0;
};

/// An AppState on stand-in controllers with a private home, a helper whose unit file and pipe
/// are real files in that home, and a touch screen the test can plug in.
class UiFixture {
public:
    UiFixture();
    ~UiFixture();

    /// A new state over the same settings file, as a restart of Plinkora would make.
    void restart();

    /// Writes the helper's unit file.
    void installHelperFiles();
    void removeHelperFiles();
    /// Makes the pipe a FIFO with a reader, as a running helper holds it; false stops it.
    void setHelperRunning(bool running);

    AppState& state() { return *state_; }

    TempHome home;
    ManualScheduler clock;
    LogCapture logs;
    CallLog log;
    RecordingOverlay* overlay = nullptr;
    StubPiano* piano = nullptr;
    RecordingLogo* logo = nullptr;
    SwitchableUpdater* updater = nullptr;
    FakeLoginItem* loginItem = nullptr;
    std::function<void()> hotKeyAction;
    RecordingHotKey* hotKey = nullptr;
    bool touchscreen = false;

private:
    QString unitPath() const;
    QString pipePath() const;

    std::unique_ptr<AppState> state_;
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

/// Runs the event loop until `condition` holds, for at most two seconds.
bool eventually(const std::function<bool()>& condition);
/// The colour at the centre of a label's pixmap.
QColor pixmapCentre(const QLabel& label);
/// How many pixels of the image are at least half opaque.
int opaquePixels(const QImage& image);
/// How many pixels of an icon stand out by at least 3:1 against a panel of `panel`.
int legiblePixels(const QImage& icon, QColor panel);
/// Where artefacts such as screenshots go; made on first use.
QString artefactsFolder();

} // namespace plinkora::testing
