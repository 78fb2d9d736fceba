#include "CommandLine.hpp"

#include <QtGlobal>

namespace plinkora {

std::string verbName(Verb verb) {
    switch (verb) {
    case Verb::activate:
        return "activate";
    case Verb::toggle:
        return "toggle";
    case Verb::on:
        return "on";
    case Verb::off:
        return "off";
    case Verb::settings:
        return "settings";
    case Verb::save:
        return "save";
    }
    return "activate";
}

std::optional<Verb> verbFromName(const std::string& name) {
    for (Verb verb :
         {Verb::activate, Verb::toggle, Verb::on, Verb::off, Verb::settings, Verb::save}) {
        if (verbName(verb) == name) {
            return verb;
        }
    }
    return std::nullopt;
}

CommandLine CommandLine::parse(const std::vector<std::string>& arguments) {
    CommandLine result;
    bool hasVerb = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            result.action = Action::help;
            return result;
        }
        if (argument == "--version") {
            result.action = Action::version;
            return result;
        }
        if (argument == "--at-login") {
            result.atLogin = true;
            continue;
        }
        const auto verb =
            argument.rfind("--", 0) == 0 ? verbFromName(argument.substr(2)) : std::nullopt;
        if (!verb || *verb == Verb::activate || hasVerb) {
            result.action = Action::usageError;
            result.error = hasVerb && verb
                               ? QT_TRANSLATE_NOOP("plinkora::CommandLine",
                                                   "only one of --toggle, --on, --off, "
                                                   "--settings and --save may be given")
                               : QT_TRANSLATE_NOOP("plinkora::CommandLine", "unknown option %1");
            result.errorArgument = argument;
            return result;
        }
        result.verb = *verb;
        hasVerb = true;
    }
    return result;
}

std::string CommandLine::usage() {
    return QT_TRANSLATE_NOOP(
        "plinkora::CommandLine",
        "Usage: plinkora [--toggle | --on | --off | --settings | --save]\n"
        "Play the screen like an instrument.\n"
        "\n"
        "With Plinkora running, the options are handed to it:\n"
        "  --toggle     switch the instrument on or off\n"
        "  --on         switch the instrument on\n"
        "  --off        switch the instrument off\n"
        "  --settings   open the settings window\n"
        "  --save       save the last five minutes of play in the music folder\n"
        "  --at-login   as started by the session at login: with no tray, say where\n"
        "               Plinkora is in a notification instead of opening its window\n"
        "  --help       show this text\n"
        "  --version    show the version\n");
}

} // namespace plinkora
