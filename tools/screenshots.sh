#!/usr/bin/env bash
# Renders every page and dialog of tolvanewizard into docs/screenshots/,
# headless, at a fixed size in the Fusion style, over sample data.
#   tools/screenshots.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${1:-build}
cmake --build "$BUILD_DIR" --target tolvane_screens
out=docs/screenshots
mkdir -p "$out"
rm -f "$out"/*.png
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# Own settings and caches: the sample run must not touch the user's.
QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$scratch/config" XDG_CACHE_HOME="$scratch/cache" \
  XDG_RUNTIME_DIR="$scratch" "$BUILD_DIR/GUI2/tolvane_screens" "$out" 2>/dev/null
ls "$out"
