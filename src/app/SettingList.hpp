#pragma once

#include "music/Dynamics.hpp"
#include "music/KeyRoot.hpp"
#include "music/ScaleMode.hpp"
#include "music/Sound.hpp"
#include "music/ZoneOrientation.hpp"

#include <string>
#include <type_traits>

namespace plinkora {

/// How a setting's value is passed and returned: by value, or by reference for a string.
template <typename T> using SettingArg = std::conditional_t<std::is_class_v<T>, const T&, T>;

} // namespace plinkora

// Every setting kept in the settings file, each declared once, in one row:
//
//     X(Type, name, Name, default, read, action)
//
// - `name` is the key in the file, the field of InstrumentSettings, the getter and, with
//   "Changed", the signal; `Name` makes the setter, setName.
// - `read` turns a stored value (a QVariant) into a valid one, or std::nullopt, which keeps the
//   default. It runs once, when the file is loaded, in Settings.cpp, whose helpers it uses.
// - `action` runs in AppState on every assignment of `value`, changed or not.
//
// From these rows Settings.hpp and Settings.cpp make the values and their persistence, and
// AppState.hpp and AppState.cpp the accessors, signals, setters and the `setting::` names that
// controls bind to.
// Types are written in full, as Qt's meta-object compiler needs them in signals.
#define PLINKORA_STORED_SETTINGS(X)                                                                \
    X(plinkora::music::ZoneOrientation, orientation, Orientation,                                  \
      plinkora::music::ZoneOrientation::vertical,                                                  \
      ([](const QVariant& v) { return stored(v, &music::zoneOrientationFromRaw); }),               \
      overlay_->setOrientation(value))                                                             \
    X(plinkora::music::KeyRoot, keyRoot, KeyRoot, plinkora::music::KeyRoot::c,                     \
      ([](const QVariant& v) {                                                                     \
          const auto raw = storedInteger(v);                                                       \
          return raw ? music::keyRootFromRaw(*raw) : std::nullopt;                                 \
      }),                                                                                          \
      applyScale())                                                                                \
    X(plinkora::music::ScaleMode, scaleMode, ScaleMode, plinkora::music::ScaleMode::major,         \
      ([](const QVariant& v) { return stored(v, &music::scaleModeFromRaw); }), applyScale())       \
    X(int, zoneCount, ZoneCount, 9, ([](const QVariant& v) {                                       \
          const auto count = storedInteger(v);                                                     \
          return count && *count >= 8 && *count <= 12 ? std::optional(static_cast<int>(*count))    \
                                                      : std::nullopt;                              \
      }),                                                                                          \
      applyScale())                                                                                \
    X(bool, showsGuides, ShowsGuides, false, &storedBoolean, overlay_->setShowsGuides(value))      \
    X(bool, pulsesLogo, PulsesLogo, false, &storedBoolean, logo_->setPulsing(isEnabled_&& value))  \
    /* The user's length; the piano is given it clamped to 0.5 ... 8.0 s. */                       \
    X(double, noteLength, NoteLength, 2.0, ([](const QVariant& v) {                                \
          const auto length = storedDouble(v);                                                     \
          return length && 0 < *length ? length : std::nullopt;                                    \
      }),                                                                                          \
      piano_->setNoteLength(clampedNoteLength(value)))                                             \
    X(plinkora::music::Dynamics, dynamics, Dynamics, plinkora::music::Dynamics::fixed,             \
      ([](const QVariant& v) { return stored(v, &music::dynamicsFromRaw); }),                      \
      overlay_->setDynamics(value))                                                                \
    X(plinkora::music::Sound, sound, Sound, plinkora::music::Sound::grandPiano,                    \
      ([](const QVariant& v) { return stored(v, &music::soundFromRaw); }),                         \
      piano_->setSound(value))                                                                     \
    /* A SoundFont file's absolute path; empty for the system's General MIDI bank. */              \
    X(std::string, soundBank, SoundBank, std::string(), &storedSoundBank,                          \
      piano_->setSoundBank(value))                                                                 \
    X(bool, midiOutput, MidiOutput, false, &storedBoolean, piano_->setMidiOutput(value))           \
    X(bool, playsBuiltInSound, PlaysBuiltInSound, true, &storedBoolean,                            \
      piano_->setPlaysBuiltInSound(value))
