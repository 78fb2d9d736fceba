#!/bin/sh
# Installs the Plinkora lid-logo helper. Every file and folder gets an explicit mode
# and root as its owner, and nothing is written through a link.
set -eu
umask 022
place() {
    tmp=$(mktemp "$(dirname "$2")/.plinkora.XXXXXX")
    cat > "$tmp"
    chown root:root "$tmp"
    chmod "$1" "$tmp"
    mv -f "$tmp" "$2"
}
made=
[ -d @PARENT@ ] || made=@PARENT@
[ ! -L @FOLDER@ ] || rm -f @FOLDER@
mkdir -p -m 0755 @FOLDER@
chown root:root @FOLDER@
chmod 0755 @FOLDER@
[ -z "$made" ] || echo "$made" | place 0644 @MADE_FOLDERS@
place 0755 @SCRIPT@ <<'PLINKORA_END'
@HELPER_SCRIPT@PLINKORA_END
place 0644 @UNIT@ <<'PLINKORA_END'
@SERVICE_UNIT@PLINKORA_END
# Only the first install sees the lights as the system left them.
if [ ! -f @LED_STATE@ ]; then
    for led in @LED_GLOB@; do
        [ -f "$led/brightness" ] || continue
        trigger=$(sed -n 's/.*\[\([^]]*\)\].*/\1/p' "$led/trigger" 2>/dev/null || true)
        echo "$led $(cat "$led/brightness") ${trigger:-none}"
    done | place 0644 @LED_STATE@
fi
systemctl daemon-reload
systemctl enable @UNIT_NAME@
systemctl restart @UNIT_NAME@
