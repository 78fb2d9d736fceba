#!/bin/sh
umask 022
systemctl disable --now @UNIT_NAME@ 2>/dev/null || true
if [ -f @LED_STATE@ ]; then
    while read -r led brightness trigger; do
        case "$led" in @LED_GLOB@) ;; *) continue ;; esac
        [ -w "$led/brightness" ] || continue
        echo "$brightness" > "$led/brightness"
        [ "$trigger" = none ] || echo "$trigger" > "$led/trigger"
    done < @LED_STATE@
else
    for led in @LED_GLOB@; do [ -w "$led/brightness" ] && cat "$led/max_brightness" > "$led/brightness"; done
fi 2>/dev/null || true
made=$(cat @MADE_FOLDERS@ 2>/dev/null || true)
rm -f @UNIT@ @SCRIPT@ @LED_STATE@ @MADE_FOLDERS@ @PIPE@
systemctl daemon-reload 2>/dev/null || true
rmdir @FOLDER@ 2>/dev/null || true
rmdir @PIPE_FOLDER@ 2>/dev/null || true
[ -z "$made" ] || rmdir "$made" 2>/dev/null || true
exit 0
