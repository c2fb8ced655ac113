#!/bin/sh
# Runs a test inside its own D-Bus session with an unlocked GNOME keyring
# (the Secret Service), under a temporary HOME. The test starts once the
# keyring owns its bus name and its default collection is unlocked: on a busy
# machine the daemon is still starting when the test would begin, and a call
# then starts a second, locked keyring by bus activation, which asks for a
# prompt that nobody can answer. The wait itself never activates anything.
set -e
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_DATA_HOME="$home/.local/share" XDG_CONFIG_HOME="$home/.config"
mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
exec dbus-run-session -- sh -c '
echo -n tavro-test | gnome-keyring-daemon --foreground --unlock --components=secrets >/dev/null 2>&1 &
owned() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null | grep -q "boolean true"
}
unlocked() {
  alias=$(dbus-send --session --print-reply --dest=org.freedesktop.secrets /org/freedesktop/secrets \
    org.freedesktop.Secret.Service.ReadAlias string:default 2>/dev/null | sed -n "s/.*object path \"\(.*\)\"/\1/p")
  [ -n "$alias" ] && [ "$alias" != "/" ] && dbus-send --session --print-reply --dest=org.freedesktop.secrets "$alias" \
    org.freedesktop.DBus.Properties.Get string:org.freedesktop.Secret.Collection string:Locked 2>/dev/null \
    | grep -q "boolean false"
}
i=0
while [ $i -lt 400 ]; do
  if owned && unlocked; then
    break
  fi
  i=$((i + 1))
  sleep 0.05
done
exec "$@"' sh "$@"
