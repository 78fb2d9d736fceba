#include "logo/HelperTexts.hpp"

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

/// Ends the files carried inside the install script; no line of theirs reads like this.
constexpr const char* kHereDocEnd = "PLINKORA_END";

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
    // One read of at most 8 bytes per opening: a longer line, or one dripped a byte at a time,
    // costs the helper one small read, and the rest is dropped when the pipe closes. Anything
    // but the two words earns a pause, so a flood cannot keep it busy.
    return "#!/bin/sh\n"
           "# Plinkora lid-logo helper. Runs as root under systemd and waits for \"on\" / \"off\"\n"
           "# lines on a named pipe, switching the lid logo's light through the LED class.\n"
           "# Only root and the user who installed it may open the pipe.\n"
           "FIFO=\"" +
           paths_.pipePath +
           "\"\n"
           "OWNER=" +
           std::to_string(owner_) +
           "\n"
           "umask 077\n"
           "rm -f \"$FIFO\"\n"
           "mkfifo -m 0640 \"$FIFO\"\n"
           "chown \"$OWNER:0\" \"$FIFO\"\n"
           "while :; do\n"
           "    exec 3< \"$FIFO\"\n"
           "    cmd=$(dd bs=8 count=1 2>/dev/null <&3)\n"
           "    exec 3<&-\n"
           "    case \"$cmd\" in\n"
           "        on|off) ;;\n"
           "        *) sleep 0.2; continue ;;\n"
           "    esac\n"
           "    for led in " +
           paths_.ledGlob +
           "; do\n"
           "        [ -w \"$led/brightness\" ] || continue\n"
           "        if [ \"$cmd\" = on ]; then\n"
           "            cat \"$led/max_brightness\" > \"$led/brightness\"\n"
           "        else\n"
           "            echo 0 > \"$led/brightness\"\n"
           "        fi\n"
           "    done\n"
           "done\n";
}

std::string HelperTexts::serviceUnit() const {
    // RuntimeDirectory= names a folder below /run, which systemd makes for the pipe. The
    // helper needs no capability but CAP_CHOWN (to hand the pipe to its user); /sys stays
    // writable for the LED, so ProtectKernelTunables= is off.
    return "[Unit]\n"
           "Description=Plinkora lid-logo helper\n"
           "StartLimitIntervalSec=60\n"
           "StartLimitBurst=5\n"
           "\n"
           "[Service]\n"
           "ExecStart=/bin/sh " +
           paths_.helperScriptPath +
           "\n"
           "Restart=always\n"
           "RestartSec=2\n"
           "RuntimeDirectory=" +
           lastComponent(paths_.pipeFolder) +
           "\n"
           "RuntimeDirectoryMode=0755\n"
           "UMask=0077\n"
           "CapabilityBoundingSet=CAP_CHOWN\n"
           "NoNewPrivileges=yes\n"
           "ProtectSystem=strict\n"
           "ProtectHome=yes\n"
           "PrivateTmp=yes\n"
           "PrivateDevices=yes\n"
           "PrivateNetwork=yes\n"
           "PrivateIPC=yes\n"
           "IPAddressDeny=any\n"
           "RestrictAddressFamilies=AF_UNIX\n"
           "ProtectClock=yes\n"
           "ProtectControlGroups=yes\n"
           "ProtectHostname=yes\n"
           "ProtectKernelLogs=yes\n"
           "ProtectKernelModules=yes\n"
           "ProtectProc=invisible\n"
           "ProcSubset=pid\n"
           "RestrictNamespaces=yes\n"
           "RestrictRealtime=yes\n"
           "RestrictSUIDSGID=yes\n"
           "LockPersonality=yes\n"
           "MemoryDenyWriteExecute=yes\n"
           "RemoveIPC=yes\n"
           "KeyringMode=private\n"
           "SystemCallArchitectures=native\n"
           "SystemCallFilter=@system-service\n"
           "SystemCallFilter=~@resources @privileged\n"
           "SystemCallFilter=@chown\n"
           "MemoryMax=16M\n"
           "CPUQuota=5%\n"
           "TasksMax=8\n"
           "\n"
           "[Install]\n"
           "WantedBy=multi-user.target\n";
}

std::string HelperTexts::installScript() const {
    const std::string folder = shellQuoted(paths_.helperFolder);
    const std::string parent = shellQuoted(parentOf(paths_.helperFolder));
    const std::string ledState = shellQuoted(paths_.ledStatePath);
    const std::string unitName = shellQuoted(paths_.serviceUnitName());
    Lines text;
    text.add("#!/bin/sh");
    text.add(
        "# Installs the Plinkora lid-logo helper. Every file and folder gets an explicit mode");
    text.add("# and root as its owner, and nothing is written through a link.");
    text.add("set -eu");
    text.add("umask 022");
    text.add("place() {");
    text.add("    tmp=$(mktemp \"$(dirname \"$2\")/.plinkora.XXXXXX\")");
    text.add("    cat > \"$tmp\"");
    text.add("    chown root:root \"$tmp\"");
    text.add("    chmod \"$1\" \"$tmp\"");
    text.add("    mv -f \"$tmp\" \"$2\"");
    text.add("}");
    text.add("made=");
    text.add("[ -d " + parent + " ] || made=" + parent);
    text.add("[ ! -L " + folder + " ] || rm -f " + folder);
    text.add("mkdir -p -m 0755 " + folder);
    text.add("chown root:root " + folder);
    text.add("chmod 0755 " + folder);
    text.add("[ -z \"$made\" ] || echo \"$made\" | place 0644 " +
             shellQuoted(paths_.helperFolder + "/made-folders"));
    text.add("place 0755 " + shellQuoted(paths_.helperScriptPath) + " <<'" + kHereDocEnd + "'");
    text.text += helperScript();
    text.add(kHereDocEnd);
    text.add("place 0644 " + shellQuoted(paths_.serviceUnitPath) + " <<'" + kHereDocEnd + "'");
    text.text += serviceUnit();
    text.add(kHereDocEnd);
    // Only the first install sees the lights as the system left them.
    text.add("if [ ! -f " + ledState + " ]; then");
    text.add("    for led in " + paths_.ledGlob + "; do");
    text.add("        [ -f \"$led/brightness\" ] || continue");
    text.add(
        "        trigger=$(sed -n 's/.*\\[\\([^]]*\\)\\].*/\\1/p' \"$led/trigger\" 2>/dev/null "
        "|| true)");
    text.add("        echo \"$led $(cat \"$led/brightness\") ${trigger:-none}\"");
    text.add("    done | place 0644 " + ledState);
    text.add("fi");
    text.add("systemctl daemon-reload");
    text.add("systemctl enable " + unitName);
    text.add("systemctl restart " + unitName);
    return text.text;
}

std::string HelperTexts::uninstallScript() const {
    const std::string ledState = shellQuoted(paths_.ledStatePath);
    const std::string madeFolders = shellQuoted(paths_.helperFolder + "/made-folders");
    Lines text;
    text.add("#!/bin/sh");
    text.add("umask 022");
    text.add("systemctl disable --now " + shellQuoted(paths_.serviceUnitName()) +
             " 2>/dev/null || true");
    text.add("if [ -f " + ledState + " ]; then");
    text.add("    while read -r led brightness trigger; do");
    text.add("        case \"$led\" in " + paths_.ledGlob + ") ;; *) continue ;; esac");
    text.add("        [ -w \"$led/brightness\" ] || continue");
    text.add("        echo \"$brightness\" > \"$led/brightness\"");
    text.add("        [ \"$trigger\" = none ] || echo \"$trigger\" > \"$led/trigger\"");
    text.add("    done < " + ledState);
    text.add("else");
    text.add("    for led in " + paths_.ledGlob +
             "; do [ -w \"$led/brightness\" ] && cat \"$led/max_brightness\" > "
             "\"$led/brightness\"; done");
    text.add("fi 2>/dev/null || true");
    text.add("made=$(cat " + madeFolders + " 2>/dev/null || true)");
    text.add("rm -f " + shellQuoted(paths_.serviceUnitPath) + " " +
             shellQuoted(paths_.helperScriptPath) + " " + ledState + " " + madeFolders + " " +
             shellQuoted(paths_.pipePath));
    text.add("systemctl daemon-reload 2>/dev/null || true");
    text.add("rmdir " + shellQuoted(paths_.helperFolder) + " 2>/dev/null || true");
    text.add("rmdir " + shellQuoted(paths_.pipeFolder) + " 2>/dev/null || true");
    text.add("[ -z \"$made\" ] || rmdir \"$made\" 2>/dev/null || true");
    text.add("exit 0");
    return text.text;
}

} // namespace plinkora
