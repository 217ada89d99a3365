#!/usr/bin/env bash
# Remakes the pictures the project publishes from make demo's run on a virtual display (the
# logging session of DEMO_SEED 8, 300 readings): the window after View Data, which the AppStream
# metadata shows (packaging/screenshots/rx7731-main.png), and the plot window of that download,
# which the README shows (docs/plot-window.png). Look at both before committing them.
#
# Usage: tools/pictures.sh [BUILD_DIR]   (after make build; BUILD_DIR defaults to build/)
set -euo pipefail

source=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$source/build}
env -u DISPLAY DEMO_RECORDS=300 DEMO_SEED=8 "$source/tools/demo.sh" "$build"
cp "$build/demo/rx7731-demo.png" "$source/packaging/screenshots/rx7731-main.png"
cp "$build/demo/plot-window.png" "$source/docs/plot-window.png"
echo "pictures: packaging/screenshots/rx7731-main.png and docs/plot-window.png remade"
