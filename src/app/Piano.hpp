#pragma once

#include "music/Scale.hpp"
#include "music/Sound.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace plinkora {

/// What saving the last minutes of play did.
struct SavedPlay {
    /// Nothing was struck in the last minutes, so nothing was written.
    bool nothingPlayed = false;
    std::string midiFile;
    std::string audioFile;
    /// Why a file was not written; empty when both were.
    std::string problem;
};

/// The sound engine as the application core drives it. Main thread only; callbacks are
/// delivered on the main thread.
class Piano {
public:
    virtual ~Piano() = default;

    /// Written with the user's note length already clamped to 0.5 ... 8.0 s.
    virtual void setNoteLength(double seconds) = 0;
    virtual double noteLength() const = 0;
    /// The next strike plays from this scale; sounding notes are not touched.
    virtual void setScale(const music::Scale& scale) = 0;
    /// The next strike plays this instrument once it is loaded; sounding notes ring on.
    virtual void setSound(music::Sound sound) = 0;
    /// Plays from this SoundFont file (.sf2 or .sf3), or from the system's General MIDI bank
    /// when `path` is empty, once it is loaded; until then, and when it cannot be, the current
    /// bank plays on.
    virtual void setSoundBank(const std::string& path) = 0;
    /// Called after each change of sound bank: with why it could not be loaded, or with
    /// nothing once it plays.
    virtual void setOnSoundBankResult(
        std::function<void(const std::optional<std::string>& problem)> callback) = 0;
    /// Plays the zone's note with hold and fade, or logs and drops a strike it cannot play.
    virtual void play(int zone, std::uint8_t velocity) = 0;
    /// The owner wants sound: on return the engine runs or the failure has been logged.
    virtual void start() = 0;
    /// The owner no longer wants sound: notes ring out and the engine pauses later.
    virtual void stopAfterTail() = 0;
    virtual std::string outputDeviceName() const = 0;
    /// Called after the engine has followed a change of the output device or configuration.
    virtual void setOnOutputDeviceChange(std::function<void()> callback) = 0;
    virtual bool isEngineRunning() const = 0;
    /// Mirrors the zones' notes to the "Plinkora" MIDI output port, or silences and closes it.
    virtual void setMidiOutput(bool enabled) = 0;
    /// Whether strikes also sound on the built-in synth while MIDI out is on.
    virtual void setPlaysBuiltInSound(bool plays) = 0;
    /// Writes the last minutes of play into `folder` (made when missing) as `name`.mid and
    /// `name`.flac, off the main thread, and then tells `done` on the main thread.
    virtual void saveRecent(const std::string& folder, const std::string& name,
                            std::function<void(const SavedPlay&)> done) = 0;
    virtual bool instrumentLoaded() const = 0;
};

} // namespace plinkora
