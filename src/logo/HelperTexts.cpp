#include "logo/HelperTexts.hpp"

#include <QFile>

namespace plinkora {

namespace {

std::string lastComponent(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string parentOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

/// One of the helper's files, kept in data/helper and built in, with each `@NAME@` in it
/// replaced. The install script ends the files it carries with a line "PLINKORA_END", which no
/// line of theirs reads like.
std::string filled(const char* name,
                   std::initializer_list<std::pair<const char*, std::string>> values) {
    QFile file(QStringLiteral(":/helper/") + QLatin1String(name));
    file.open(QIODevice::ReadOnly);
    std::string text = file.readAll().toStdString();
    for (const auto& [key, value] : values) {
        const std::string placeholder = std::string("@") + key + "@";
        for (auto at = text.find(placeholder); at != std::string::npos;
             at = text.find(placeholder, at + value.size())) {
            text.replace(at, placeholder.size(), value);
        }
    }
    return text;
}

} // namespace

std::string HelperTexts::shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    quoted += '\'';
    return quoted;
}

std::string HelperTexts::helperScript() const {
    // One read of at most 8 bytes per opening: a longer line, or one dripped a byte at a time,
    // costs the helper one small read, and the rest is dropped when the pipe closes. Anything
    // but the two words earns a pause, so a flood cannot keep it busy.
    return filled("logo-helper.sh", {{"PIPE_PATH", paths_.pipePath},
                                     {"OWNER", std::to_string(owner_)},
                                     {"LED_GLOB", paths_.ledGlob}});
}

std::string HelperTexts::serviceUnit() const {
    // RuntimeDirectory= names a folder below /run, which systemd makes for the pipe. The
    // helper needs no capability but CAP_CHOWN (to hand the pipe to its user); /sys stays
    // writable for the LED, so ProtectKernelTunables= is off.
    return filled("logo-helper.service", {{"HELPER_SCRIPT_PATH", paths_.helperScriptPath},
                                          {"RUNTIME_DIRECTORY", lastComponent(paths_.pipeFolder)}});
}

std::string HelperTexts::installScript() const {
    return filled("install-helper.sh",
                  {{"PARENT", shellQuoted(parentOf(paths_.helperFolder))},
                   {"FOLDER", shellQuoted(paths_.helperFolder)},
                   {"MADE_FOLDERS", shellQuoted(paths_.helperFolder + "/made-folders")},
                   {"SCRIPT", shellQuoted(paths_.helperScriptPath)},
                   {"UNIT", shellQuoted(paths_.serviceUnitPath)},
                   {"LED_STATE", shellQuoted(paths_.ledStatePath)},
                   {"UNIT_NAME", shellQuoted(paths_.serviceUnitName())},
                   {"LED_GLOB", paths_.ledGlob},
                   {"HELPER_SCRIPT", helperScript()},
                   {"SERVICE_UNIT", serviceUnit()}});
}

std::string HelperTexts::uninstallScript() const {
    return filled("uninstall-helper.sh",
                  {{"UNIT_NAME", shellQuoted(paths_.serviceUnitName())},
                   {"LED_STATE", shellQuoted(paths_.ledStatePath)},
                   {"LED_GLOB", paths_.ledGlob},
                   {"MADE_FOLDERS", shellQuoted(paths_.helperFolder + "/made-folders")},
                   {"UNIT", shellQuoted(paths_.serviceUnitPath)},
                   {"SCRIPT", shellQuoted(paths_.helperScriptPath)},
                   {"PIPE", shellQuoted(paths_.pipePath)},
                   {"FOLDER", shellQuoted(paths_.helperFolder)},
                   {"PIPE_FOLDER", shellQuoted(paths_.pipeFolder)}});
}

} // namespace plinkora
