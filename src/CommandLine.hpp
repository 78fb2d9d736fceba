#pragma once

#include <optional>
#include <string>
#include <vector>

namespace plinkora {

/// What a launch of Plinkora asks the running instance (or itself) to do.
enum class Verb { activate, toggle, on, off, settings, save };

std::string verbName(Verb verb);
std::optional<Verb> verbFromName(const std::string& name);

/// The parsed command line.
struct CommandLine {
    enum class Action { run, help, version, usageError };

    Action action = Action::run;
    Verb verb = Verb::activate;
    /// Given by the autostart entry: started by the session, not by the user.
    bool atLogin = false;
    /// In English, with the option it is about in place of "%1"; `translate` gives it in the
    /// user's language.
    std::string error;
    std::string errorArgument;

    static CommandLine parse(const std::vector<std::string>& arguments);
    /// In English; `translate` gives it in the user's language.
    static std::string usage();
    /// The context the command line's texts are translated in.
    static constexpr const char* kTranslationContext = "plinkora::CommandLine";
};

} // namespace plinkora
