#include "audio/FluidPiano.hpp"

#include "app/Logger.hpp"
#include "audio/AudioOutput.hpp"
#include "audio/FluidSampler.hpp"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <unistd.h>

namespace plinkora::audio {

namespace {

void logFromFluidSynth(int level, const char* message, void*) {
    const std::string text = std::string("fluidsynth: ") + (message != nullptr ? message : "");
    switch (level) {
    case FLUID_PANIC:
    case FLUID_ERR:
        Logger::error(text);
        break;
    case FLUID_WARN:
        Logger::info(text);
        break;
    default:
        Logger::debug(text);
        break;
    }
}

void routeFluidSynthLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG}) {
            fluid_set_log_function(level, logFromFluidSynth, nullptr);
        }
    });
}

} // namespace

std::unique_ptr<FluidPiano> FluidPiano::create(std::string& error) {
    routeFluidSynthLog();
    std::unique_ptr<FluidPiano> piano(new FluidPiano);
    piano->settings_ = new_fluid_settings();
    if (piano->settings_ == nullptr) {
        error = "FluidSynth could not make its settings";
        return nullptr;
    }
    fluid_settings_t* settings = piano->settings_;
    fluid_settings_setnum(settings, "synth.sample-rate", kSampleRate);
    // The tone filter and the hall reverb are ours; FluidSynth's effects would only add CPU.
    fluid_settings_setint(settings, "synth.reverb.active", 0);
    fluid_settings_setint(settings, "synth.chorus.active", 0);
    // Only the piano's samples are read into memory, not a whole General MIDI font.
    fluid_settings_setint(settings, "synth.dynamic-sample-loading", 1);
    fluid_settings_setint(settings, "synth.midi-channels", 16);
    fluid_settings_setint(settings, "synth.polyphony", 512);
    // Only the audio thread plays the synth once the output renders: no lock per block.
    fluid_settings_setint(settings, "synth.threadsafe-api", 0);
    // A single note at velocity 92 peaks near -23 dBFS at the output, room for big chords.
    fluid_settings_setnum(settings, "synth.gain", 1.0);
    piano->synth_ = new_fluid_synth(settings);
    if (piano->synth_ == nullptr) {
        error = "FluidSynth could not create its synthesizer";
        return nullptr;
    }
    return piano;
}

FluidPiano::~FluidPiano() {
    if (synth_ != nullptr) {
        delete_fluid_synth(synth_);
    }
    if (settings_ != nullptr) {
        delete_fluid_settings(settings_);
    }
}

std::vector<std::unique_ptr<Sampler>> FluidPiano::makeSamplers(std::string& error) {
    std::vector<std::unique_ptr<Sampler>> samplers;
    const int channels = fluid_synth_count_midi_channels(synth_);
    for (int zone = 0; zone < kZones; ++zone) {
        const int channel = channelForZone(zone);
        if (channel >= channels) {
            error = "FluidSynth has " + std::to_string(channels) + " MIDI channels, too few for " +
                    std::to_string(kZones) + " zones";
            break;
        }
        samplers.push_back(std::make_unique<FluidSampler>(*this, channel));
    }
    return samplers;
}

std::optional<int> FluidPiano::soundFont(const std::string& path, std::string& error) {
    if (fontTried_) {
        error = fontError_;
        return fontId_;
    }
    fontTried_ = true;
    std::error_code status;
    if (!std::filesystem::exists(path, status)) {
        fontError_ = path + " does not exist";
        // Only the system's bank comes from a package; a file the player chose may have moved.
        if (path.rfind("/usr/share/sounds/sf2/", 0) == 0) {
            fontError_ += " (install the package fluid-soundfont-gm)";
        }
    } else if (access(path.c_str(), R_OK) != 0) {
        fontError_ = "cannot read " + path + ": " + std::strerror(errno);
    } else if (!fluid_is_soundfont(path.c_str())) {
        fontError_ = path + " is not a SoundFont";
    } else {
        // Presets are selected per zone later, so nothing else (no drum kit) is loaded now.
        const int id = fluid_synth_sfload(synth_, path.c_str(), 0);
        if (id == FLUID_FAILED) {
            fontError_ = "FluidSynth could not read the SoundFont " + path;
        } else {
            fontId_ = id;
        }
    }
    error = fontError_;
    return fontId_;
}

std::optional<int> FluidPiano::bankWith(int font, int program) const {
    // General MIDI 2's melodic bank; General MIDI fonts keep the same instruments in bank 0.
    constexpr int kMelodicBank = 121;
    constexpr int kGeneralMidiBank = 0;
    fluid_sfont_t* sfont = fluid_synth_get_sfont_by_id(synth_, font);
    for (const int bank : {kMelodicBank, kGeneralMidiBank}) {
        if (sfont != nullptr && fluid_sfont_get_preset(sfont, bank, program) != nullptr) {
            return bank;
        }
    }
    return std::nullopt;
}

bool FluidPiano::hasProgram(const std::string& path, int program) {
    std::string error;
    const std::optional<int> font = soundFont(path, error);
    return font && bankWith(*font, program);
}

std::optional<std::string> FluidPiano::selectProgram(const std::string& path, int channel,
                                                     int program) {
    std::string error;
    const std::optional<int> font = soundFont(path, error);
    if (!font) {
        return error;
    }
    const std::optional<int> bank = bankWith(*font, program);
    if (!bank) {
        return "the SoundFont " + path + " has no " +
               (program == 0 ? std::string("piano") : "program " + std::to_string(program)) +
               " (program " + std::to_string(program) + " in bank 121 or 0)";
    }
    if (fluid_synth_program_select(synth_, channel, *font, *bank, program) != FLUID_OK) {
        return "FluidSynth could not select program " + std::to_string(program) + " of " + path +
               " on channel " + std::to_string(channel);
    }
    return std::nullopt;
}

void FluidPiano::send(MessageKind kind, int channel, std::uint8_t first, std::uint8_t second) {
    const Message message{monotonicSeconds(), kind, static_cast<std::uint8_t>(channel), first,
                          second};
    const std::uint32_t written = written_.load(std::memory_order_relaxed);
    if (written - read_.load(std::memory_order_acquire) >= kQueueSize) {
        // Not reachable by hand. The synth is the audio thread's, so the message is dropped;
        // a lost note-off still ends with its fade.
        return;
    }
    queue_[written % kQueueSize] = message;
    // Sequentially consistent: the output's look at whether it rests comes after this.
    written_.store(written + 1, std::memory_order_seq_cst);
}

void FluidPiano::apply(const Message& message) {
    switch (message.kind) {
    case MessageKind::controller:
        fluid_synth_cc(synth_, message.channel, message.first, message.second);
        break;
    case MessageKind::noteOn:
        fluid_synth_noteon(synth_, message.channel, message.first, message.second);
        break;
    case MessageKind::noteOff:
        fluid_synth_noteoff(synth_, message.channel, message.first);
        break;
    }
}

void FluidPiano::renderBlock(float* left, float* right, double heardAt) {
    // FluidSynth starts what it is given at the beginning of its next 64-frame block, and
    // blocks here are always whole, so a message lands within half a block of its moment.
    const double dueBy = heardAt + 0.5 * kBlockFrames / kSampleRate;
    std::uint32_t read = read_.load(std::memory_order_relaxed);
    const std::uint32_t written = written_.load(std::memory_order_acquire);
    while (read != written) {
        const Message& message = queue_[read % kQueueSize];
        if (message.sentAt + strikeToSound_ > dueBy) {
            break;
        }
        apply(message);
        ++read;
    }
    read_.store(read, std::memory_order_release);
    fluid_synth_write_float(synth_, kBlockFrames, left, 0, 1, right, 0, 1);
}

int FluidPiano::activeVoices() const {
    return fluid_synth_get_active_voice_count(synth_);
}

bool FluidPiano::hasPendingMessages() const {
    return read_.load(std::memory_order_relaxed) != written_.load(std::memory_order_seq_cst);
}

bool FluidPiano::isSilent() const {
    return !hasPendingMessages() && activeVoices() == 0;
}

} // namespace plinkora::audio
