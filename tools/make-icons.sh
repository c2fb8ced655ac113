#!/usr/bin/env bash
# Renders the application icon's PNG sizes from its SVG (needs rsvg-convert,
# package librsvg2-bin). The PNGs are kept in the repository, so a build
# does not need the tool; run this after changing the SVG.
set -euo pipefail
dir="$(cd "$(dirname "$0")/../resources/desktop/icons" && pwd)"
for size in 16 24 32 48 64 128 256 512; do
  mkdir -p "$dir/${size}x${size}"
  rsvg-convert -w "$size" -h "$size" "$dir/jp.tavro.Tavro.svg" -o "$dir/${size}x${size}/jp.tavro.Tavro.png"
done
