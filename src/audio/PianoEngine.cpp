#include "audio/PianoEngine.hpp"

#include "app/Logger.hpp"
#include "app/PostedCall.hpp"
#include "audio/FluidPiano.hpp"
#include "audio/MidiOut.hpp"
#include "audio/MidiSampler.hpp"
#include "audio/NoteJournal.hpp"
#include "audio/PianoGraph.hpp"
#include "audio/PulseOutput.hpp"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sndfile.h>
#include <thread>

namespace plinkora {

using audio::FluidPiano;
using audio::PianoGraph;
using audio::PulseOutput;

struct PianoEngine::SoundSet {
    std::string bank;
    int program = 0;
    std::unique_ptr<FluidPiano> piano;
    std::vector<std::unique_ptr<audio::Sampler>> samplers;
    /// Why the sound could not be loaded; empty when it was.
    std::string error;
    /// The bank has no such program, so the set plays the piano.
    bool playsPianoInstead = false;
};

namespace {

/// Runs `work` on a thread of its own and gives its result to `answer` on the main thread, as
/// long as the owner of `alive` is still there then.
template <typename Work, typename Answer>
void answerOnMainThread(const std::shared_ptr<int>& alive, Work work, Answer answer) {
    std::thread([alive = std::weak_ptr<int>(alive), work = std::move(work),
                 answer = std::move(answer)]() mutable {
        auto result = work();
        postCall(*QCoreApplication::instance(),
                 [alive, answer = std::move(answer), result = std::move(result)] {
                     if (alive.lock()) {
                         answer(result);
                     }
                 });
    }).detach();
}

} // namespace

/// One fade's own state, shared by its ticks.
struct PianoEngine::Fade {
    long counter = 0;
    Scheduler::TaskId timer = Scheduler::kNoTask;
};

PianoEngine::PianoEngine(Scheduler& scheduler)
    : PianoEngine(scheduler, kSoundBankPath) {}

PianoEngine::PianoEngine(Scheduler& scheduler, std::string soundBankPath,
                         const OutputFactory& makeOutput)
    : scheduler_(scheduler)
    , soundBankPath_(std::move(soundBankPath))
    , bank_(soundBankPath_)
    , wantedBank_(soundBankPath_) {
    std::optional<std::string> wiringError;
    std::string error;
    piano_ = FluidPiano::create(error);
    if (piano_ == nullptr) {
        wiringError = error;
    } else {
        samplers_ = piano_->makeSamplers(error);
        if (!error.empty()) {
            wiringError = error;
        }
    }
    graph_ = std::make_unique<PianoGraph>(piano_.get(), FluidPiano::kSampleRate);
    if (makeOutput) {
        output_ = makeOutput(*graph_);
    } else {
        output_ = std::make_unique<PulseOutput>(*graph_, FluidPiano::kSampleRate);
    }
    finishConstruction(wiringError);
}

PianoEngine::PianoEngine(Scheduler& scheduler,
                         std::vector<std::unique_ptr<audio::Sampler>> samplers,
                         std::unique_ptr<audio::AudioOutput> output, std::string soundBankPath)
    : scheduler_(scheduler)
    , soundBankPath_(std::move(soundBankPath))
    , samplers_(std::move(samplers))
    , bank_(soundBankPath_)
    , wantedBank_(soundBankPath_)
    , output_(std::move(output)) {
    finishConstruction(std::nullopt);
}

PianoEngine::~PianoEngine() = default;

void PianoEngine::finishConstruction(const std::optional<std::string>& wiringError) {
    midi_ = std::make_unique<audio::MidiOut>([this] { return scheduler_.now(); });
    samplers_ = mirrored(std::move(samplers_));
    if (wiringError) {
        Logger::notice("Plinkora: could not wire the audio graph: " + *wiringError);
    }
    bindToDefaultOutputDevice();
    // The output lives no longer than the engine, so its callbacks may hold `this`.
    output_->setOnDefaultSinkChange([this] { handleDefaultOutputDeviceChange(); });
    output_->setOnConfigurationChange([this] { handleConfigurationChange(); });
    loadInstrument();
}

std::vector<std::unique_ptr<audio::Sampler>>
PianoEngine::mirrored(std::vector<std::unique_ptr<audio::Sampler>> samplers) {
    for (std::size_t zone = 0; zone < samplers.size(); ++zone) {
        samplers[zone] = std::make_unique<audio::MidiSampler>(
            std::move(samplers[zone]), FluidPiano::channelForZone(static_cast<int>(zone)), *midi_);
    }
    return samplers;
}

void PianoEngine::loadInstrument() {
    for (const auto& sampler : samplers_) {
        if (const auto error = sampler->loadPiano(soundBankPath_)) {
            instrumentLoaded_ = false;
            Logger::notice("Plinkora: could not load the system piano: " + *error);
            return;
        }
    }
    instrumentLoaded_ = true;
}

void PianoEngine::play(int zone, std::uint8_t velocity) {
    const std::vector<std::uint8_t> notes = scale_.midiNotes();
    const bool running = isEngineRunning();
    // Compared as unsigned, so that a negative zone is out of range too.
    const auto slot = static_cast<std::size_t>(static_cast<unsigned int>(zone));
    if (!running || slot >= samplers_.size() || slot >= notes.size()) {
        Logger::error(
            Logger::format("play ignored: engine running %s, instrument loaded %s, output %s",
                           Logger::boolText(running), Logger::boolText(instrumentLoaded_),
                           outputDeviceName().c_str()));
        return;
    }
    audio::Sampler& sampler = *samplers_[slot];
    const std::uint8_t note = notes[slot];
    const std::int64_t generation = ++generations_[slot];
    holdItems_[slot].cancel();
    fadeTimers_[slot].cancel();
    // The zone's earlier note would otherwise go on unfaded: for ever, with a sustaining sound.
    if (audio::Sampler* earlier = noteSamplers_[slot];
        earlier != nullptr && (earlier != &sampler || notes_[slot] != note)) {
        earlier->stopNote(notes_[slot]);
    }
    noteSamplers_[slot] = &sampler;
    notes_[slot] = note;
    // Full expression again, in case a fade had lowered it.
    sampler.sendController(kExpression, 127);
    sampler.stopNote(note);
    sampler.startNote(note, velocity);
    output_->wakeForSound();
    const double hold = noteLength_ * kHoldFraction;
    const double duration = noteLength_ - hold;
    holdItems_[slot] =
        ScheduledTask(scheduler_, scheduler_.after(hold, [this, slot, generation, note, duration] {
            holdItems_[slot].release();
            if (generations_[slot] == generation) {
                beginFade(slot, note, duration, generation);
            }
        }));
}

void PianoEngine::beginFade(std::size_t zone, std::uint8_t note, double duration,
                            std::int64_t generation) {
    const long steps = std::max<long>(kMinimumFadeSteps, std::lround(duration / kFadeStep));
    const double interval = duration / static_cast<double>(steps);
    auto fade = std::make_shared<Fade>();
    fade->timer = scheduler_.every(interval, [this, zone, note, generation, steps, fade] {
        // Kept alive here: the tick may end its own timer, and with it this closure.
        // NOLINTNEXTLINE(performance-unnecessary-copy-initialization)
        const std::shared_ptr<Fade> keep = fade;
        fadeTick(zone, note, generation, steps, *keep);
    });
    fadeTimers_[zone] = ScheduledTask(scheduler_, fade->timer);
}

void PianoEngine::fadeTick(std::size_t zone, std::uint8_t note, std::int64_t generation, long steps,
                           Fade& fade) {
    if (generations_[zone] != generation) {
        // A newer strike owns the zone's slot now; only this timer is ended.
        scheduler_.cancel(fade.timer);
        return;
    }
    fade.counter += 1;
    const double progress =
        std::min(static_cast<double>(fade.counter) / static_cast<double>(steps), 1.0);
    const auto value = static_cast<std::uint8_t>(std::lround((1 - progress) * 127));
    audio::Sampler* sampler = noteSamplers_[zone];
    sampler->sendController(kExpression, value);
    if (progress >= 1) {
        fadeTimers_[zone].cancel();
        sampler->stopNote(note);
        noteSamplers_[zone] = nullptr;
    }
}

void PianoEngine::setSound(music::Sound sound) {
    wantedSound_ = sound;
    followWantedSound();
}

void PianoEngine::setSoundBank(const std::string& path) {
    wantedBank_ = path.empty() ? soundBankPath_ : path;
    if (wantedBank_ == bank_ && onSoundBankResult_) {
        onSoundBankResult_(std::nullopt);
    }
    followWantedSound();
}

void PianoEngine::followWantedSound() {
    const int wanted = music::generalMidiProgram(wantedSound_);
    if (piano_ == nullptr || loadingSound_ || waitingSound_ ||
        (wanted == program_ && wantedBank_ == bank_)) {
        return;
    }
    loadingSound_ = true;
    // Reading the samples takes long enough to be heard if the main or the audio thread did it.
    answerOnMainThread(
        alive_, [bank = wantedBank_, wanted] { return loadSoundSet(bank, wanted); },
        [this](const std::shared_ptr<SoundSet>& set) { soundLoaded(set); });
}

std::shared_ptr<PianoEngine::SoundSet> PianoEngine::loadSoundSet(const std::string& bank,
                                                                 int program) {
    auto set = std::make_shared<SoundSet>();
    set->bank = bank;
    set->program = program;
    set->piano = FluidPiano::create(set->error);
    if (set->piano == nullptr) {
        return set;
    }
    set->samplers = set->piano->makeSamplers(set->error);
    if (!set->error.empty()) {
        return set;
    }
    set->playsPianoInstead = !set->piano->hasProgram(bank, program);
    for (std::size_t zone = 0; zone < set->samplers.size(); ++zone) {
        if (const auto error =
                set->piano->selectProgram(bank, FluidPiano::channelForZone(static_cast<int>(zone)),
                                          set->playsPianoInstead ? 0 : program)) {
            set->error = *error;
            return set;
        }
    }
    return set;
}

void PianoEngine::soundLoaded(const std::shared_ptr<SoundSet>& set) {
    loadingSound_ = false;
    const std::string name = music::displayLabel(wantedSound_);
    if (set->program != music::generalMidiProgram(wantedSound_) || set->bank != wantedBank_) {
        // The player chose again meanwhile.
        followWantedSound();
        return;
    }
    const bool bankChanged = set->bank != bank_;
    if (!set->error.empty()) {
        // What plays now goes on, and is what is wanted again; choosing again tries again.
        Logger::notice("Plinkora: could not load the sound " + name + " from " + set->bank + ": " +
                       set->error);
        for (const music::Sound each : music::kAllSounds) {
            if (music::generalMidiProgram(each) == program_) {
                wantedSound_ = each;
            }
        }
        wantedBank_ = bank_;
        if (bankChanged && onSoundBankResult_) {
            onSoundBankResult_(set->error);
        }
        return;
    }
    if (set->playsPianoInstead && missingProgramsLogged_.insert({set->bank, set->program}).second) {
        Logger::notice("Plinkora: the sound bank " + set->bank + " has no " + name +
                       "; playing the piano instead");
    }
    if (bankChanged && onSoundBankResult_) {
        onSoundBankResult_(std::nullopt);
    }
    if (retiredPiano_ != nullptr) {
        waitingSound_ = set;
        return;
    }
    takeSound(set);
}

void PianoEngine::takeSound(const std::shared_ptr<SoundSet>& set) {
    retiredPiano_ = std::move(piano_);
    retiredSamplers_ = std::move(samplers_);
    retiredReleased_ = false;
    piano_ = std::move(set->piano);
    samplers_ = mirrored(std::move(set->samplers));
    program_ = set->program;
    bank_ = set->bank;
    graph_->offer(piano_.get());
    Logger::info("sound is now " + music::displayLabel(wantedSound_));
    retiredCheck_ = ScheduledTask(
        scheduler_, scheduler_.every(kRetiredCheckInterval, [this] { collectRetiredSound(); }));
}

void PianoEngine::collectRetiredSound() {
    if (graph_->takeReleased() == retiredPiano_.get()) {
        retiredReleased_ = true;
    }
    const bool stillPlayed = std::any_of(
        noteSamplers_.begin(), noteSamplers_.end(), [this](const audio::Sampler* sampler) {
            return std::any_of(retiredSamplers_.begin(), retiredSamplers_.end(),
                               [sampler](const auto& old) { return old.get() == sampler; });
        });
    if (!retiredReleased_ || stillPlayed) {
        return;
    }
    retiredCheck_.cancel();
    retiredSamplers_.clear();
    retiredPiano_.reset();
    if (auto waiting = std::move(waitingSound_)) {
        takeSound(waiting);
    }
    followWantedSound();
}

void PianoEngine::start() {
    wantsRunning_ = true;
    pauseWorkItem_.cancel();
    if (isEngineRunning()) {
        return;
    }
    bindToDefaultOutputDevice();
    startOutput([](const std::optional<std::string>& error) {
        Logger::error(Logger::format("audio engine failed to start: %s", error->c_str()));
    });
}

void PianoEngine::startOutput(std::function<void(const std::optional<std::string>&)> failed) {
    if (starting_) {
        // One request at a time: its outcome serves every caller.
        return;
    }
    starting_ = true;
    // The outcome may come before start returns (the stream was only paused) or later, once the
    // server has answered; the owner hears of a late one that changes what it saw.
    struct Seen {
        bool returned = false;
        bool running = false;
    };
    auto seen = std::make_shared<Seen>();
    output_->start(
        [this, seen, failed = std::move(failed)](const std::optional<std::string>& error) {
            starting_ = false;
            if (error) {
                failed(error);
                if (wantsRunning_) {
                    reconnectLater();
                }
            } else {
                reconnectTask_.cancel();
                Logger::info(Logger::format("audio engine started on %s, output format %f Hz",
                                            outputDeviceName().c_str(), output_->sampleRate()));
            }
            if (seen->returned && seen->running != isEngineRunning()) {
                notifyOutputChange();
            }
        });
    seen->returned = true;
    seen->running = isEngineRunning();
}

void PianoEngine::stopAfterTail() {
    wantsRunning_ = false;
    // The built-in notes ring out; an external instrument is told at once.
    midi_->silence();
    pauseWorkItem_.cancel();
    pauseWorkItem_ = ScheduledTask(scheduler_, scheduler_.after(noteLength_ + kTailSeconds, [this] {
        pauseWorkItem_.release();
        if (!wantsRunning_) {
            output_->pause();
        }
    }));
}

void PianoEngine::setMidiOutput(bool enabled) {
    midi_->setEnabled(enabled);
}

namespace {

/// Runs on the saving thread.
SavedPlay writeRecentPlay(const std::string& folder, const std::string& name,
                          const std::vector<std::uint8_t>& midi,
                          const std::vector<std::int16_t>& audio) {
    SavedPlay saved;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        saved.problem = "could not make the folder " + folder + ": " + error.message();
        return saved;
    }
    const std::string midiFile = folder + "/" + name + ".mid";
    std::ofstream out(midiFile, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(midi.data()),
              static_cast<std::streamsize>(midi.size()));
    out.close();
    if (!out) {
        saved.problem = "could not write " + midiFile;
        return saved;
    }
    saved.midiFile = midiFile;
    if (audio.empty()) {
        saved.problem = "no sound was rendered to save";
        return saved;
    }
    const std::string audioFile = folder + "/" + name + ".flac";
    SF_INFO format{};
    format.samplerate = static_cast<int>(FluidPiano::kSampleRate);
    format.channels = 2;
    format.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(audioFile.c_str(), SFM_WRITE, &format);
    if (file == nullptr) {
        saved.problem = "could not write " + audioFile + ": " + sf_strerror(nullptr);
        return saved;
    }
    const auto frames = static_cast<sf_count_t>(audio.size() / 2);
    const bool whole = sf_writef_short(file, audio.data(), frames) == frames;
    if (sf_close(file) != 0 || !whole) {
        saved.problem = "could not write " + audioFile;
        return saved;
    }
    saved.audioFile = audioFile;
    return saved;
}

} // namespace

void PianoEngine::saveRecent(const std::string& folder, const std::string& name,
                             std::function<void(const SavedPlay&)> done) {
    const double now = scheduler_.now();
    std::vector<audio::NoteJournal::Event> events =
        midi_->journal().since(now - audio::NoteJournal::kSpanSeconds);
    const auto firstStrike = std::find_if(events.begin(), events.end(), [](const auto& event) {
        return (event.status & 0xF0) == 0x90;
    });
    if (firstStrike == events.end()) {
        done(SavedPlay{true, {}, {}, {}});
        return;
    }
    // From the first strike on, with what was sent at its moment (its full expression).
    const double start = firstStrike->at;
    events.erase(events.begin(),
                 std::find_if(events.begin(), events.end(),
                              [start](const auto& event) { return event.at >= start; }));
    const auto frames =
        static_cast<std::size_t>((now - start + kSaveLeadSeconds) * FluidPiano::kSampleRate);
    answerOnMainThread(
        alive_,
        [folder, name, capture = graph_->capture(), frames, events = std::move(events), start] {
            return writeRecentPlay(folder, name, audio::standardMidiFile(events, start),
                                   capture->newest(frames));
        },
        std::move(done));
}

void PianoEngine::setPlaysBuiltInSound(bool plays) {
    midi_->setPlaysBuiltInSound(plays);
}

bool PianoEngine::isEngineRunning() const {
    return output_->isRunning();
}

std::string PianoEngine::outputDeviceName() const {
    const std::optional<std::uint32_t> sink = output_->sink();
    if (!sink) {
        return "System default";
    }
    if (const auto description = output_->sinkDescription(*sink)) {
        return *description;
    }
    return "Device " + std::to_string(*sink);
}

void PianoEngine::bindToDefaultOutputDevice() {
    const std::optional<std::uint32_t> sink = output_->defaultSink();
    if (!sink || sink == output_->sink()) {
        return;
    }
    output_->selectSink(*sink, [sink](const std::optional<std::string>& error) {
        if (error) {
            Logger::error(Logger::format("could not select the default output device %u: %s", *sink,
                                         error->c_str()));
        }
    });
}

void PianoEngine::handleDefaultOutputDeviceChange() {
    const bool wasRunning = isEngineRunning();
    // The live stream moves to the new output as it plays, instead of being closed and made
    // anew, which would cut a ringing note off. PulseAudio has often moved it already by the
    // time this is heard of. Either way the server's move leaves a hole of a few
    // milliseconds, and on PipeWire a step in the wave.
    bindToDefaultOutputDevice();
    if ((wantsRunning_ || wasRunning) && !isEngineRunning()) {
        startOutput([](const std::optional<std::string>& error) {
            Logger::notice("Plinkora: audio engine failed to restart on the new output: " + *error);
        });
    }
    notifyOutputChange();
}

void PianoEngine::handleConfigurationChange() {
    if (!wantsRunning_ || isEngineRunning()) {
        return;
    }
    bindToDefaultOutputDevice();
    startOutput([](const std::optional<std::string>& error) {
        Logger::notice("Plinkora: audio engine failed to restart: " + *error);
    });
    notifyOutputChange();
}

void PianoEngine::reconnectLater() {
    // The sound server says nothing when it comes back, so keep knocking, quietly.
    if (!reconnectTask_.isPending()) {
        reconnectTask_ = ScheduledTask(
            scheduler_, scheduler_.every(kReconnectInterval, [this] { retryConnection(); }));
    }
}

void PianoEngine::retryConnection() {
    if (!wantsRunning_ || isEngineRunning()) {
        reconnectTask_.cancel();
        return;
    }
    bindToDefaultOutputDevice();
    startOutput([](const std::optional<std::string>&) {});
}

void PianoEngine::notifyOutputChange() {
    if (onOutputDeviceChange_) {
        onOutputDeviceChange_();
    }
}

} // namespace plinkora
