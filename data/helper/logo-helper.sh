#!/bin/sh
# Plinkora lid-logo helper. Runs as root under systemd and waits for "on" / "off"
# lines on a named pipe, switching the lid logo's light through the LED class.
# Only root and the user who installed it may open the pipe.
FIFO="@PIPE_PATH@"
OWNER=@OWNER@
umask 077
rm -f "$FIFO"
mkfifo -m 0640 "$FIFO"
chown "$OWNER:0" "$FIFO"
while :; do
    exec 3< "$FIFO"
    cmd=$(dd bs=8 count=1 2>/dev/null <&3)
    exec 3<&-
    case "$cmd" in
        on|off) ;;
        *) sleep 0.2; continue ;;
    esac
    for led in @LED_GLOB@; do
        [ -w "$led/brightness" ] || continue
        if [ "$cmd" = on ]; then
            cat "$led/max_brightness" > "$led/brightness"
        else
            echo 0 > "$led/brightness"
        fi
    done
done
