#!/bin/sh
# The screenshots that software centres show, taken of the real program on a private X server
# with a compositing window manager: the settings window, and the overlay being played.
#
#   screenshots.sh <plinkora binary> <folder>      (inside xvfb-run; see `make screenshots`)
set -eu
binary=$1
out=$2
mkdir -p "$out"
work=$(mktemp -d)
cleanup() {
    "$binary" --off >/dev/null 2>&1 || true
    kill $(jobs -p) 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
export HOME="$work" XDG_CONFIG_HOME="$work/.config" XDG_RUNTIME_DIR="$work/run"
export PULSE_SERVER=unix:/nonexistent DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent
export QT_QPA_PLATFORM=xcb PLINKORA_LOG=stderr
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkdir -p "$XDG_CONFIG_HOME/Plinkora"
printf '[General]\nshowsGuides=true\nkeyRoot=2\nscaleMode=dorian\nzoneCount=10\n' \
    >"$XDG_CONFIG_HOME/Plinkora/Plinkora.conf"

here=$(cd "$(dirname "$0")/.." && pwd)
openbox >/dev/null 2>&1 &
picom --backend xrender --no-fading-openclose >/dev/null 2>&1 &
# Something to play over: the manual page in a dark terminal across the screen.
xterm -fa 'DejaVu Sans Mono' -fs 10 -bg '#1e2a35' -fg '#b8c4cf' -geometry 176x48+0+0 \
    -e sh -c "MANWIDTH=80 man -l '$here/data/plinkora.1' 2>/dev/null | cat; sleep 600" &
sleep 1

wait_for() { # a condition, tried for up to 10 s
    for _ in $(seq 100); do
        if eval "$1"; then return 0; fi
        sleep 0.1
    done
    echo "screenshots: timed out waiting for: $1" >&2
    return 1
}

# Without a tray the settings window opens at start.
"$binary" >"$work/plinkora.log" 2>&1 &
wait_for '[ -n "$(xdotool search --onlyvisible --name "Plinkora Settings" 2>/dev/null)" ]'
sleep 1
window=$(xdotool search --onlyvisible --name "Plinkora Settings" | head -1)
import -window "$window" -frame "$out/settings.png"
xdotool windowactivate --sync "$window" key ctrl+w

# Played: a few zones struck in a quick run, caught while their rings still glow.
"$binary" --on
wait_for 'grep -q "Plinkora on" "$work/plinkora.log"'
sleep 1
for point in 300,700 500,540 700,380 900,220; do
    xdotool mousemove "${point%,*}" "${point#*,}" click 1
done
xdotool mousemove 1279 799
import -window root "$out/playing.png"
echo "screenshots: $out/settings.png $out/playing.png"
