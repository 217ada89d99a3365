#!/usr/bin/env bash
# A download from the simulated meter, in the real program.
#
# On a desktop (DISPLAY set and reachable) the simulator is linked as Comm. 1 and the window
# opens: press Start and watch the count rise, then View Data. Without a display the same runs
# on a virtual one (Xvfb): the script presses Start, waits for the final message, presses View
# Data, saves screenshots of the window and of its plot window (zoomed into the start of the
# second session, the pointer over its chart for the readout), and shows where the data file is.
# Either way the simulator and its link are gone at the end.
#
# The meter sends a logging session (meter-sim --memory log) of DEMO_RECORDS readings (300)
# chosen by DEMO_SEED (8: temperature, humidity and air pressure), so that a run gives the same
# readings each time; tools/pictures.sh makes the published pictures from it.
#
# Usage: tools/demo.sh [BUILD_DIR]   (make demo runs it on build/)
set -euo pipefail

build=${1:-build}
bin=$(cd "$build/bin" 2>/dev/null && pwd) || { echo "demo: no $build/bin; run make build" >&2; exit 1; }
program=$bin/RX7731
sim=$bin/meter-sim
for f in "$program" "$sim" "$bin/unit2.dat"; do
  [ -e "$f" ] || { echo "demo: $f is missing; run make build" >&2; exit 1; }
done
out=$(cd "$build" && pwd)/demo
mkdir -p "$out"
link=$bin/ports/com1
records=${DEMO_RECORDS:-300}
seed=${DEMO_SEED:-8}
data_file=$bin/$(date +%y%m%d).dat

sim_pid= xvfb_pid= program_pid=
cleanup() {
  for pid in $program_pid $sim_pid $xvfb_pid; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in $program_pid $sim_pid $xvfb_pid; do
    wait "$pid" 2>/dev/null || true
  done
}
trap cleanup EXIT
trap 'exit 130' INT TERM

start_meter() {
  "$sim" --link "$link" --units "$bin/unit2.dat" --memory log --records "$records" \
    --seed "$seed" --expect "$out/expected.dat" "$@" &
  sim_pid=$!
  for _ in $(seq 100); do
    [ -e "$link" ] && return 0
    kill -0 "$sim_pid" 2>/dev/null || { echo "demo: meter-sim did not start" >&2; exit 1; }
    sleep 0.05
  done
  echo "demo: meter-sim made no link $link" >&2
  exit 1
}

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "demo: the meter (meter-sim) is on Comm. 1, sending $records readings at 9600 baud."
  echo "demo: press Start in the window; the meter sends again at each Start. Exit ends the demo."
  start_meter --repeat
  (cd "$bin" && "$program") || true
  exit 0
fi

# No display: the same on a virtual one, driven as a person would.
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "demo: $tool is missing; run make deps" >&2; exit 1; }
done
# Wide enough for the plot window at its own size, 1200 x 700 and its statistics table.
exec 3< <(Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp -noreset 2>"$out/xvfb.log")
xvfb_pid=$!
read -r -t 10 display_number <&3 || { echo "demo: Xvfb did not start:" >&2; cat "$out/xvfb.log" >&2; exit 1; }
export DISPLAY=:$display_number QT_QPA_PLATFORM=xcb
echo "demo: no display; running on virtual display $DISPLAY"

start_meter --quiet
(cd "$bin" && exec "$program") >"$out/program.log" 2>&1 &
program_pid=$!

# Visible windows of the program with exactly this title.
windows() { xdotool search --all --onlyvisible --pid "$program_pid" --name "^$1\$" 2>/dev/null || true; }
wait_for() {  # title, seconds; prints the window that is not the main one
  local deadline=$((SECONDS + $2)) w
  while [ $SECONDS -lt $deadline ]; do
    for w in $(windows "$1"); do
      [ "$w" != "${main:-}" ] && { echo "$w"; return 0; }
    done
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "demo: no window \"$1\" within $2 s" >&2
  cat "$out/program.log" >&2
  return 1
}
click() {  # pixels in the client area, [button]
  xdotool mousemove --window "$main" "$1" "$2" click "${3:-1}"
}
answer() { xdotool windowfocus --sync "$1" key "$2"; }

main=$(wait_for RX7731 10)
# Button centres in pixels: Start at 7200/6550 twips, 2415 x 650; View Data at 9600/6550,
# 1455 x 650; Exit at 7200/7200, 3855 x 650; 15 twips a pixel.
had_file=$([ -e "$data_file" ] && echo yes || true)
click 560 458
if [ -n "$had_file" ]; then
  echo "demo: $data_file exists from an earlier run; answering Yes to replace it"
  answer "$(wait_for "Data File Check" 5)" y
fi
echo "demo: Start pressed; the meter sends $records readings at 9600 baud"
final=$(wait_for RX7731 $((records * 16 / 960 + 30)))
# The box is a window of its own over the main one: take the screen where the window is.
shot() { sleep 0.5; import -window root -crop "$(xdotool getwindowgeometry --shell "$main" |
  awk -F= '/WIDTH/{w=$2} /HEIGHT/{h=$2} /^X/{x=$2} /^Y/{y=$2} END{print w "x" h "+" x "+" y}')" +repage "$1"; }
shot "$out/rx7731-final-message.png"
answer "$final" Return
click 688 458
screenshot=$out/rx7731-demo.png
shot "$screenshot"
# The grid's menu (right mouse button on a cell), its first item: Plot Readings...
click 250 300 3
sleep 0.5
xdotool key Down Return
plot=$(wait_for "Readings of $data_file" 10)
plot_shot=$out/plot-window.png
sleep 1
# A rectangle dragged over records 140 to 250 zooms into the start of the second session; then
# the pointer over the chart, for its readout.
xdotool mousemove --window "$plot" 545 120 mousedown 1 sleep 0.2 \
  mousemove --window "$plot" 700 300 sleep 0.2 mousemove --window "$plot" 865 560 sleep 0.2 mouseup 1
sleep 0.5
xdotool mousemove --window "$plot" 654 330
sleep 0.5
import -window "$plot" "$plot_shot"
xdotool windowraise "$main"  # over the plot window, for Exit
click 608 501
wait "$program_pid" 2>/dev/null || true
program_pid=
wait "$sim_pid" 2>/dev/null || true
sim_pid=

echo
echo "Data file:  $data_file ($(wc -l <"$data_file") records)"
echo "Screenshot: $screenshot (the window after View Data)"
echo "            $out/rx7731-final-message.png (the final message)"
echo "            $plot_shot (the plot window of the grid's readings)"
if cmp -s "$data_file" "$out/expected.dat"; then
  echo "The data file holds exactly what the meter sent."
else
  echo "demo: the data file differs from what the meter sent ($out/expected.dat)" >&2
  exit 1
fi
echo "First lines:"
head -n 8 "$data_file" | tr -d '\r' | sed 's/^/  /'
