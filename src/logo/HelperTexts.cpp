#include "logo/HelperTexts.hpp"

namespace plinkora {

namespace {

std::string lastComponent(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct Lines {
    std::string text;
    void add(const std::string& line) {
        text += line;
        text += '\n';
    }
};

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
    return "#!/bin/sh\n"
           "# Plinkora lid-logo helper. Runs as root under systemd and waits for \"on\" / \"off\"\n"
           "# lines on a named pipe, switching the lid logo's light through the LED class.\n"
           "FIFO=\"" +
           paths_.pipePath +
           "\"\n"
           "if [ ! -p \"$FIFO\" ]; then\n"
           "    mkdir -p \"$(dirname \"$FIFO\")\"\n"
           "    rm -f \"$FIFO\"\n"
           "    mkfifo \"$FIFO\"\n"
           "    chmod 666 \"$FIFO\"\n"
           "fi\n"
           "while :; do\n"
           "    if read -r cmd < \"$FIFO\"; then\n"
           "        for led in " +
           paths_.ledGlob +
           "; do\n"
           "            [ -w \"$led/brightness\" ] || continue\n"
           "            case \"$cmd\" in\n"
           "                off) echo 0 > \"$led/brightness\" ;;\n"
           "                on)  cat \"$led/max_brightness\" > \"$led/brightness\" ;;\n"
           "            esac\n"
           "        done\n"
           "    else\n"
           "        sleep 0.2\n"
           "    fi\n"
           "done\n";
}

std::string HelperTexts::serviceUnit() const {
    // RuntimeDirectory= names a folder below /run, which systemd makes for the pipe.
    return "[Unit]\n"
           "Description=Plinkora lid-logo helper\n"
           "\n"
           "[Service]\n"
           "ExecStart=/bin/sh " +
           paths_.helperScriptPath +
           "\n"
           "Restart=always\n"
           "RestartSec=1\n"
           "RuntimeDirectory=" +
           lastComponent(paths_.pipeFolder) +
           "\n"
           "RuntimeDirectoryMode=0755\n"
           "ProtectSystem=strict\n"
           "ProtectHome=yes\n"
           "PrivateTmp=yes\n"
           "PrivateNetwork=yes\n"
           "NoNewPrivileges=yes\n"
           "MemoryMax=16M\n"
           "TasksMax=8\n"
           "\n"
           "[Install]\n"
           "WantedBy=multi-user.target\n";
}

std::string HelperTexts::installScript(const std::string& stagingFolder) const {
    const std::string script = shellQuoted(paths_.helperScriptPath);
    const std::string pipe = shellQuoted(paths_.pipePath);
    const std::string unit = shellQuoted(paths_.serviceUnitPath);
    const std::string unitName = paths_.serviceUnitName();
    Lines text;
    text.add("#!/bin/sh");
    text.add("set -e");
    text.add("SRC=" + shellQuoted(stagingFolder));
    text.add("mkdir -p " + shellQuoted(paths_.helperFolder) + " " + shellQuoted(paths_.pipeFolder));
    text.add("cp \"$SRC/" + std::string(kHelperScriptName) + "\" " + script);
    text.add("chown root:root " + script);
    text.add("chmod 755 " + script);
    text.add("if [ ! -p " + pipe + " ]; then");
    text.add("    rm -f " + pipe);
    text.add("    mkfifo " + pipe);
    text.add("fi");
    text.add("chmod 666 " + pipe);
    text.add("cp \"$SRC/" + unitName + "\" " + unit);
    text.add("chown root:root " + unit);
    text.add("chmod 644 " + unit);
    text.add("systemctl daemon-reload");
    text.add("systemctl enable " + shellQuoted(unitName));
    text.add("systemctl restart " + shellQuoted(unitName));
    return text.text;
}

std::string HelperTexts::uninstallScript() const {
    const std::string unitName = paths_.serviceUnitName();
    Lines text;
    text.add("#!/bin/sh");
    text.add("systemctl disable --now " + shellQuoted(unitName) + " 2>/dev/null || true");
    text.add("rm -f " + shellQuoted(paths_.serviceUnitPath) + " " +
             shellQuoted(paths_.helperScriptPath) + " " + shellQuoted(paths_.pipePath));
    text.add("systemctl daemon-reload 2>/dev/null || true");
    text.add("rmdir " + shellQuoted(paths_.helperFolder) + " 2>/dev/null || true");
    text.add("rmdir " + shellQuoted(paths_.pipeFolder) + " 2>/dev/null || true");
    // The logo is left lit whatever the helper last did.
    text.add("for led in " + paths_.ledGlob +
             "; do [ -w \"$led/brightness\" ] && cat \"$led/max_brightness\" > "
             "\"$led/brightness\"; done 2>/dev/null || true");
    text.add("exit 0");
    return text.text;
}

} // namespace plinkora
