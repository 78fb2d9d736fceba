#pragma once

#include "app/Piano.hpp"
#include "app/Scheduler.hpp"
#include "audio/AudioOutput.hpp"
#include "audio/Sampler.hpp"

#include <array>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace plinkora::audio {
class FluidPiano;
class MidiOut;
class PianoGraph;
} // namespace plinkora::audio

namespace plinkora {

/// The whole sound path: twelve samplers (one per zone) carrying the General MIDI grand piano,
/// the tone filter and the hall reverb, played to the default output device; every strike
/// holds its note for 40 % of the note length and then fades it out in small steps.
///
/// Main thread only: hold and fade work runs on the scheduler, the output's events arrive as
/// queued calls; only the render path runs on the audio thread. Another sound is loaded into
/// a synth of its own on a thread of its own, which reads its samples from disk; the main
/// thread hands the loaded synth to the graph and keeps the old one until it has rung out.
/// Saving the last minutes writes its files on a thread of its own too; both answer through
/// the main thread's event loop.
class PianoEngine final : public Piano {
public:
    static constexpr const char* kSoundBankPath = "/usr/share/sounds/sf2/default-GM.sf2";
    static constexpr std::size_t kZoneSlots = 12;
    static constexpr double kHoldFraction = 0.4;
    static constexpr double kFadeStep = 0.025;
    static constexpr int kMinimumFadeSteps = 8;
    static constexpr double kTailSeconds = 4.0;
    static constexpr double kReconnectInterval = 1.0;
    /// How often the old sound is looked at while it rings out after a change.
    static constexpr double kRetiredCheckInterval = 0.25;
    /// The saved audio starts this long before the first strike's moment.
    static constexpr double kSaveLeadSeconds = 0.25;
    static constexpr std::uint8_t kExpression = 11;

    using OutputFactory =
        std::function<std::unique_ptr<audio::AudioOutput>(audio::PianoGraph& graph)>;

    /// The production engine: FluidSynth with the system's General MIDI sound bank, played
    /// through PulseAudio.
    explicit PianoEngine(Scheduler& scheduler);
    /// As above with another sound bank, and an output of the caller's when `makeOutput` is set.
    PianoEngine(Scheduler& scheduler, std::string soundBankPath,
                const OutputFactory& makeOutput = {});
    /// The note logic on samplers of the caller's, with `output` standing for the engine.
    PianoEngine(Scheduler& scheduler, std::vector<std::unique_ptr<audio::Sampler>> samplers,
                std::unique_ptr<audio::AudioOutput> output, std::string soundBankPath);
    ~PianoEngine() override;
    PianoEngine(const PianoEngine&) = delete;
    PianoEngine& operator=(const PianoEngine&) = delete;

    void setNoteLength(double seconds) override { noteLength_ = seconds; }
    double noteLength() const override { return noteLength_; }
    void setScale(const music::Scale& scale) override { scale_ = scale; }
    void setSound(music::Sound sound) override;
    void setSoundBank(const std::string& path) override;
    void
    setOnSoundBankResult(std::function<void(const std::optional<std::string>&)> callback) override {
        onSoundBankResult_ = std::move(callback);
    }
    void play(int zone, std::uint8_t velocity) override;
    void start() override;
    void stopAfterTail() override;
    std::string outputDeviceName() const override;
    void setOnOutputDeviceChange(std::function<void()> callback) override {
        onOutputDeviceChange_ = std::move(callback);
    }
    bool isEngineRunning() const override;
    void setMidiOutput(bool enabled) override;
    void setPlaysBuiltInSound(bool plays) override;
    void saveRecent(const std::string& folder, const std::string& name,
                    std::function<void(const SavedPlay&)> done) override;
    bool instrumentLoaded() const override { return instrumentLoaded_; }

    std::size_t samplerCount() const { return samplers_.size(); }
    /// The synth behind the samplers; null for caller's samplers or when none could be made.
    audio::FluidPiano* piano() const { return piano_.get(); }

private:
    struct Fade;
    struct SoundSet;

    /// A synth playing `program` on every zone, with its samplers; made on any thread.
    static std::shared_ptr<SoundSet> loadSoundSet(const std::string& bank, int program);
    /// Wraps each zone's sampler so that its notes also go to the MIDI output.
    std::vector<std::unique_ptr<audio::Sampler>>
    mirrored(std::vector<std::unique_ptr<audio::Sampler>> samplers);
    /// Starts loading the wanted sound unless it plays already or a change is under way.
    void followWantedSound();
    void soundLoaded(const std::shared_ptr<SoundSet>& set);
    void takeSound(const std::shared_ptr<SoundSet>& set);
    void collectRetiredSound();

    void finishConstruction(const std::optional<std::string>& wiringError);
    void loadInstrument();
    void bindToDefaultOutputDevice();
    void handleDefaultOutputDeviceChange();
    void handleConfigurationChange();
    void beginFade(std::size_t zone, std::uint8_t note, double duration, std::int64_t generation);
    void fadeTick(std::size_t zone, std::uint8_t note, std::int64_t generation, long steps,
                  Fade& fade);
    /// Starts the output unless a start is under way; `failed` hears of a failure, a success is
    /// logged here, and either way the engine keeps trying while it is wanted.
    void startOutput(std::function<void(const std::optional<std::string>&)> failed);
    void reconnectLater();
    void retryConnection();
    void notifyOutputChange();

    Scheduler& scheduler_;
    std::string soundBankPath_;
    double noteLength_ = 2.0;
    std::unique_ptr<audio::FluidPiano> piano_;
    std::unique_ptr<audio::PianoGraph> graph_;
    // Outlives the samplers, which mirror their notes to it.
    std::unique_ptr<audio::MidiOut> midi_;
    std::vector<std::unique_ptr<audio::Sampler>> samplers_;
    std::array<std::int64_t, kZoneSlots> generations_{};
    std::array<ScheduledTask, kZoneSlots> holdItems_;
    std::array<ScheduledTask, kZoneSlots> fadeTimers_;
    ScheduledTask pauseWorkItem_;
    ScheduledTask reconnectTask_;
    bool wantsRunning_ = false;
    bool instrumentLoaded_ = false;
    bool starting_ = false;
    music::Scale scale_;
    // The program the synth plays, the one asked for, and where a change stands.
    int program_ = 0;
    std::string bank_;
    music::Sound wantedSound_ = music::Sound::grandPiano;
    std::string wantedBank_;
    std::function<void(const std::optional<std::string>&)> onSoundBankResult_;
    bool loadingSound_ = false;
    std::shared_ptr<SoundSet> waitingSound_;
    std::set<std::pair<std::string, int>> missingProgramsLogged_;
    // Each zone's sounding note and the sampler it sounds on, which may be the old sound's.
    std::array<audio::Sampler*, kZoneSlots> noteSamplers_{};
    std::array<std::uint8_t, kZoneSlots> notes_{};
    /// Lets a loader's late answer know whether the engine is still there.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    std::function<void()> onOutputDeviceChange_;
    // The old sound while it rings out; kept until the graph gives it back and no zone's note
    // sounds on it.
    std::unique_ptr<audio::FluidPiano> retiredPiano_;
    std::vector<std::unique_ptr<audio::Sampler>> retiredSamplers_;
    bool retiredReleased_ = false;
    ScheduledTask retiredCheck_;
    // Declared last, so destroyed first: the audio thread stops before the graph it renders.
    std::unique_ptr<audio::AudioOutput> output_;
};

} // namespace plinkora
