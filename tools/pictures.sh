#!/usr/bin/env bash
# Remakes the pictures the project publishes from make demo's run on a virtual display (the
# logging session of DEMO_SEED 8, 300 readings): the window after View Data, which the AppStream
# metadata shows (packaging/screenshots/rx7731-main.png), and the plot window of that download,
# which the README shows (docs/plot-window.png), and pages 1 and 2 of rx7731-cli report of the
# data file that download wrote (docs/report-page-1.png and docs/report-records-page.png, drawn
# by poppler's pdftoppm at 80 dpi). After
# `make check-windows` it also takes the Windows build's window under Wine 10 from that run's
# shots: after a download of the log memory and View Data (docs/window-under-wine.png) and at
# 150 % (docs/window-at-150-percent.png). Look at every one before committing them.
#
# Usage: tools/pictures.sh [BUILD_DIR]   (after make build; BUILD_DIR defaults to build/)
set -euo pipefail

source=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$source/build}
env -u DISPLAY DEMO_RECORDS=300 DEMO_SEED=8 "$source/tools/demo.sh" "$build"
cp "$build/demo/rx7731-demo.png" "$source/packaging/screenshots/rx7731-main.png"
cp "$build/demo/plot-window.png" "$source/docs/plot-window.png"
# The download's data file, under the name it has in the program's folder; the demo has checked
# that it holds exactly the meter's memory.
cmake --build "$build" --target rx7731-cli
data_file=$build/demo/$(date +%y%m%d).dat
cp "$build/demo/expected.dat" "$data_file"
"$build/bin/rx7731-cli" report "$data_file" --paper a4 --output "$build/demo/report.pdf"
pdftoppm -png -r 80 -f 1 -l 1 -singlefile "$build/demo/report.pdf" "$build/demo/report-page-1"
pdftoppm -png -r 80 -f 2 -l 2 -singlefile "$build/demo/report.pdf" "$build/demo/report-records-page"
cp "$build/demo/report-page-1.png" "$source/docs/report-page-1.png"
cp "$build/demo/report-records-page.png" "$source/docs/report-records-page.png"
echo "pictures: packaging/screenshots/rx7731-main.png, docs/plot-window.png," \
  "docs/report-page-1.png and docs/report-records-page.png remade"
shots=$build/tests/wine/shots
if [ -f "$shots/view-data-LogMemory.png" ] && [ -f "$shots/window-at-150-percent.png" ]; then
  cp "$shots/view-data-LogMemory.png" "$source/docs/window-under-wine.png"
  cp "$shots/window-at-150-percent.png" "$source/docs/window-at-150-percent.png"
  echo "pictures: docs/window-under-wine.png and docs/window-at-150-percent.png from $shots"
else
  echo "pictures: no shots of the Windows build in $shots (make check-windows takes them);" \
    "docs/window-under-wine.png and docs/window-at-150-percent.png left as they are"
fi
