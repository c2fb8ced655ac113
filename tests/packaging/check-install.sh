#!/usr/bin/env bash
# Checks an installation of the build tree, run as a CTest test:
#   check-install.sh prefix BUILD_DIR   `cmake --install` into a scratch prefix
#   check-install.sh deb BUILD_DIR      the Debian package (cpack), unpacked
#                                       into a scratch root with dpkg -x
# Either way the installed programs must start from there and find their
# resources there, and the desktop files must be in place.
set -euo pipefail
mode=$1
build=$(cd "$2" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() { echo "check-install: $*" >&2; exit 1; }

case "$mode" in
  prefix)
    cmake --install "$build" --prefix "$scratch/usr" >/dev/null
    root="$scratch"
    ;;
  deb)
    cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 \
      || { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
    deb=$(ls "$scratch"/out/tavro_*.deb)
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "package: $(basename "$deb"), $(du -h "$deb" | cut -f1), Depends: $depends"
    # Computed from the programs' libraries, so the Qt libraries are there.
    case "$depends" in *libqt6webenginecore6*) ;; *) fail "Depends lacks the Qt WebEngine library: $depends" ;; esac
    case "$depends" in *libc6*) ;; *) fail "Depends lacks libc6: $depends" ;; esac
    case "$depends" in *libmecab2*mecab-ipadic-utf8* | *mecab-ipadic-utf8*libmecab2*) ;; *) fail "Depends lacks MeCab or its IPA dictionary: $depends" ;; esac
    case "$depends" in *libeb16*) ;; *) fail "Depends lacks libeb (EPWING books): $depends" ;; esac
    case "$depends" in *qt6-translations-l10n*) ;; *) fail "Depends lacks Qt's translations (Japanese dialogs): $depends" ;; esac
    recommends=$(dpkg-deb -f "$deb" Recommends)
    case "$recommends" in *qt6-gtk-platformtheme*) ;; *) fail "Recommends lacks the GTK platform theme (dark desktops): $recommends" ;; esac
    case "$recommends" in *fonts-noto-cjk*) ;; *) fail "Recommends lacks a CJK font: $recommends" ;; esac
    # What apt would do with it on this system (no change is made).
    if command -v apt-get >/dev/null && [ "$(id -u)" -eq 0 ]; then
      apt-get install -s -q -o Debug::NoLocking=1 "$deb" >"$scratch/apt.log" 2>&1 || { cat "$scratch/apt.log" >&2; fail "apt cannot install the package"; }
    fi
    dpkg -x "$deb" "$scratch/root"
    root="$scratch/root"
    ;;
  *) fail "unknown mode $mode" ;;
esac

for f in usr/bin/tavro usr/bin/tavro-inspect \
         usr/share/applications/jp.tavro.Tavro.desktop usr/share/metainfo/jp.tavro.Tavro.metainfo.xml \
         usr/share/icons/hicolor/scalable/apps/jp.tavro.Tavro.svg \
         usr/share/icons/hicolor/48x48/apps/jp.tavro.Tavro.png \
         usr/share/icons/hicolor/256x256/apps/jp.tavro.Tavro.png \
         usr/share/tavro/searchhighlight.css usr/share/tavro/sample/welcome.epub; do
  [ -e "$root/$f" ] || fail "$f is not installed"
done
[ -e "$root/usr/bin/tavro-backend" ] && fail "the developer backend is installed"
leftovers=$(find "$root/usr/share/tavro" -name 'CMakeFiles' -o -name '*.cmake')
[ -z "$leftovers" ] || fail "build files are installed: $leftovers"

version=$("$root/usr/bin/tavro-inspect" --version)
echo "$version"
case "$version" in "tavro-inspect "[0-9]*) ;; *) fail "unexpected version: $version" ;; esac

# The resources of the installation, not of the build tree.
env -u TAVRO_RESOURCE_DIR "$root/usr/bin/tavro-inspect" resources >"$scratch/resources.json"
grep -q "\"directory\": \"$root/usr/share/tavro\"" "$scratch/resources.json" \
  || { cat "$scratch/resources.json" >&2; fail "the installed program does not use its own resources"; }

QT_QPA_PLATFORM=offscreen "$root/usr/bin/tavro" --version | grep -q '^Tavro [0-9]' || fail "tavro --version"

desktop="$root/usr/share/applications/jp.tavro.Tavro.desktop"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop"
fi
# The interface is Japanese, and so is its entry in the desktop's menus.
for key in 'Name\[ja\]' 'Comment\[ja\]'; do
  grep -q "^$key=" "$desktop" || fail "the desktop entry has no $key"
done
echo "check-install $mode: ok"
