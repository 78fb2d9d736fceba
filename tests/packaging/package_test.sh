#!/bin/sh
# The Debian package as a user meets it: built by cpack, clean under lintian, installed with
# dpkg, the installed program and its manual page working, and nothing left once removed.
#
#   package_test.sh <build folder>
set -eu
build=$1
fail() { echo "FAIL: $*" >&2; exit 1; }

if [ "$(id -u)" -ne 0 ]; then
    # Installing a package needs root; CI runs as root.
    echo "not run: installing a package needs root (this runs as $(id -un))"
    exit 77
fi
if dpkg-query -W -f '${Status}' plinkora 2>/dev/null | grep -q installed; then
    fail "a plinkora package is installed already; this test would replace it"
fi

cd "$build"
rm -f plinkora_*.deb
cpack -G DEB >cpack.log 2>&1 || { cat cpack.log; fail "cpack failed"; }
deb=$(ls plinkora_*_*.deb)
case "$deb" in
plinkora_[0-9]*.[0-9]*.[0-9]*_"$(dpkg --print-architecture)".deb) ;;
*) fail "unexpected package name $deb" ;;
esac

# Errors and warnings both count; lintian's notes on running as root do not.
complaints=$(lintian "$deb" 2>/dev/null | grep -E '^(E|W):' || true)
[ -z "$complaints" ] || fail "lintian: $complaints"
for needed in fluid-soundfont-gm pkexec libpulse0 libqt6widgets6 libfluidsynth3; do
    dpkg-deb -f "$deb" Depends | grep -q "$needed" || fail "Depends lacks $needed"
done

# The updater's package path hands this very package to the desktop's installer.
QT_QPA_PLATFORM=offscreen PLINKORA_TEST_PACKAGE="$PWD/$deb" tests/system/test_system_updater \
    --gtest_filter='*TheVerifiedPackageGoesToTheDesktop' >updater.log 2>&1 ||
    { cat updater.log; fail "the updater did not hand over this package"; }
grep -q '1 test.*PASSED\|PASSED.*1 test' updater.log || { cat updater.log; fail "the updater test did not run"; }

trap 'dpkg -r plinkora >/dev/null 2>&1 || true' EXIT
dpkg -i "$deb" >dpkg.log 2>&1 || { cat dpkg.log; fail "dpkg -i failed"; }
files=$(dpkg -L plinkora)

[ "$(/usr/bin/plinkora --version)" = "Plinkora $(dpkg-deb -f "$deb" Version)" ] ||
    fail "the installed plinkora --version says: $(/usr/bin/plinkora --version)"
/usr/bin/plinkora --help | grep -q -- '--toggle' || fail "--help names no --toggle"
set +e
/usr/bin/plinkora --bogus >/dev/null 2>&1
status=$?
set -e
[ "$status" -eq 2 ] || fail "an unknown option ends with $status, not 2"

warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings plinkora 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man --warnings: $warnings"
man plinkora 2>/dev/null | grep -q 'bindsym Ctrl+Mod1+Mod4+m exec plinkora' ||
    fail "the manual page says nothing of binding the shortcut on sway"
desktop-file-validate /usr/share/applications/org.plinkora.Plinkora.desktop ||
    fail "the installed desktop entry is not valid"

# The installed program plays: strikes on a private X server are heard on a private sound
# server's sink (the heard-latency benchmark does exactly that, given a binary).
if [ -x bench/bench_heard_latency ]; then
    heard=$(bench/bench_heard_latency /usr/bin/plinkora 3 2>/dev/null | tail -1)
    echo "$heard" | grep -Eq ': [1-3] strikes heard' || fail "the installed program: $heard"
else
    echo "not checked: no heard-latency benchmark in this build (benchmarks are off)"
fi

dpkg -r plinkora >dpkg.log 2>&1 || { cat dpkg.log; fail "dpkg -r failed"; }
trap - EXIT
for file in $files; do
    # Shared folders (/usr, /usr/share, ...) stay; everything of the package's own goes.
    if [ -e "$file" ] && [ ! -d "$file" ]; then
        fail "$file is left behind after dpkg -r"
    fi
done
[ ! -e /usr/share/doc/plinkora ] || fail "/usr/share/doc/plinkora is left behind"
# An upgrade over an older build keeps what the user set. The older build is this one's files
# under an older version number: what an upgrade may break is dpkg's handling, not the files.
work=$(mktemp -d)
trap 'dpkg -r plinkora >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
dpkg-deb -R "$deb" "$work/root"
sed -i 's/^Version: .*/Version: 0.9.0/' "$work/root/DEBIAN/control"
dpkg-deb -b "$work/root" "$work/plinkora_0.9.0.deb" >/dev/null
dpkg -i "$work/plinkora_0.9.0.deb" >dpkg.log 2>&1 || { cat dpkg.log; fail "the older package did not install"; }
mkdir -p "$work/home/.config/Plinkora"
printf '[General]\nkeyRoot=7\nscaleMode=dorian\nzoneCount=10\n' >"$work/home/.config/Plinkora/Plinkora.conf"
cp "$work/home/.config/Plinkora/Plinkora.conf" "$work/settings-before"
dpkg -i "$deb" >dpkg.log 2>&1 || { cat dpkg.log; fail "the upgrade failed"; }
[ "$(dpkg-query -W -f '${Version}' plinkora)" = "$(dpkg-deb -f "$deb" Version)" ] ||
    fail "after the upgrade dpkg holds $(dpkg-query -W -f '${Version}' plinkora)"
cmp -s "$work/settings-before" "$work/home/.config/Plinkora/Plinkora.conf" ||
    fail "the upgrade changed the user's settings"
# Started as the application menu starts it.
launcher=$(sed -n 's/^Exec=//p' /usr/share/applications/org.plinkora.Plinkora.desktop | head -1)
HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" PLINKORA_LOG=stderr \
    DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent PULSE_SERVER=unix:/nonexistent \
    xvfb-run -a timeout -s TERM 5 $launcher >"$work/run.log" 2>&1 || true
grep -q 'scale is now G dorian' "$work/run.log" ||
    { cat "$work/run.log"; fail "the upgraded program did not read the user's settings"; }
dpkg -r plinkora >dpkg.log 2>&1 || { cat dpkg.log; fail "dpkg -r after the upgrade failed"; }
trap - EXIT
rm -rf "$work"
echo "package $deb: built, lintian-clean, installed, played, removed, upgraded"
