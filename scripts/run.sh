#!/bin/sh
# Starts Plinkora from the build tree, provided there is a desktop to show it on.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Plinkora needs a graphical session: neither DISPLAY nor WAYLAND_DISPLAY is set." >&2
    exit 1
fi
exec "$@"
