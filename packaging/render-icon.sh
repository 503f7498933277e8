#!/usr/bin/env bash
# Renders the application icon at the sizes a desktop shows it (256, 64, 48, 32 and 16 pixels)
# side by side on a light and on a dark strip, to look at it: render-icon.sh [OUT.png].
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
out="${1:-icon-sheet.png}"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
tiles=()
for size in 256 64 48 32 16; do
  rsvg-convert -w "$size" -h "$size" "$here/tarvisk.svg" -o "$tmp/$size.png"
  tiles+=("$tmp/$size.png")
done
convert -background '#f4f4f4' "${tiles[@]}" -bordercolor '#f4f4f4' -border 8x12 -gravity center +append "$tmp/light.png"
convert -background '#2e3440' "${tiles[@]}" -bordercolor '#2e3440' -border 8x12 -gravity center +append "$tmp/dark.png"
convert "$tmp/light.png" "$tmp/dark.png" -append "$out"
echo "$out"
