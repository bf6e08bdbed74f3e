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
# A fixed place, so that the pictures do not change from run to run.
scratch=/tmp/tolvane-screens
rm -rf "$scratch"
mkdir -p "$scratch/home/demo"
trap 'rm -rf "$scratch"' EXIT
# A home of its own: the sample run must not touch the user's settings, and
# the pictures must not show the user's paths.
env -u XDG_CONFIG_HOME -u XDG_CACHE_HOME HOME="$scratch/home/demo" QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$scratch" \
  "$BUILD_DIR/GUI2/tolvane_screens" "$out" 2>/dev/null
ls "$out"
