#!/bin/sh
# Runs a test inside its own D-Bus session with an unlocked GNOME keyring
# (the Secret Service), under a temporary HOME.
set -e
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_DATA_HOME="$home/.local/share" XDG_CONFIG_HOME="$home/.config"
mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
exec dbus-run-session -- sh -c 'echo -n tavro-test | gnome-keyring-daemon --unlock --components=secrets >/dev/null 2>&1; exec "$@"' sh "$@"
