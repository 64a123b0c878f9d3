#!/usr/bin/env bash
# Soak: runs the program on the paced simulated camera for MINUTES (default 10)
# under Xvfb and openbox, used the way a person would through xdotool: random
# panel clicks, freeze, a saved still and unfreeze, a quick capture, a
# snapshot over HTTP and a movie started and stopped every minute, with one
# browser-like viewer reading the MJPEG stream on the loopback throughout. Samples resident memory at the end of each minute and
# takes that minute's frame rate from the program's --verbose rate readout.
# Prints a table; fails when memory grows by more than 5 MB after the first
# minute, the frame rate falls below 90% of the first minute's, or the program
# dies. The program is build/app/tavrocam (or $TAVROCAM), built when missing.
#
# What happens each minute is the list `every_minute` below: a new kind of use
# is one function and one entry there; something that runs beside the program
# for the whole soak (a stream viewer, say) is one entry in `alongside`.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-10}
program=${TAVROCAM:-build/app/tavrocam}
max_growth_kb=5120
min_rate_share=90   # percent of the first minute's frame rate

scripts/setup-debian.sh
[ -x "$program" ] || { scripts/build.sh >/dev/null && cmake --build "${BUILD_DIR:-build}" -j2 --target tavrocam; }

work=$(mktemp -d)
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# --- the display: Xvfb on a free number, with a window manager for focus ---
exec 5>"$work/display"
Xvfb -displayfd 5 -screen 0 1600x1000x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"
openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
sleep 1

export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" "$work/out" "$work/captures"
chmod 700 "$XDG_RUNTIME_DIR"
# Port 0: the server takes a free loopback port and prints its address.
"$program" --camera=sim --sim-paced --verbose --serve=127.0.0.1:0 --capture-dir="$work/captures" \
  >"$work/program.log" 2>&1 &
app=$!
pids+=("$app")
server_url=""
for _ in $(seq 300); do
  server_url=$(sed -n 's|^tavrocam: serving the camera at \(http://[^ ]*\)/$|\1|p' "$work/program.log" | head -n1)
  [ -n "$server_url" ] && break
  kill -0 "$app" 2>/dev/null || break
  sleep 0.1
done
[ -n "$server_url" ] || { echo "soak: the web server did not start" >&2; cat "$work/program.log" >&2; exit 1; }

# --- driving the windows ---
# The visible window with this exact title, waiting up to $2 seconds.
find_window() {
  local id
  for _ in $(seq $((${2:-10} * 10))); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  echo "soak: no window \"$1\"" >&2
  return 1
}

panel=$(find_window REMOCON 30)
# Beside the main window rather than under it, so clicks meet the panel.
xdotool windowmove --sync "$panel" 1300 0 || true
read -r panel_w panel_h < <(xdotool getwindowgeometry --shell "$panel" | awk -F= '/WIDTH/{w=$2} /HEIGHT/{h=$2} END{print w, h}')

# Clicks the middle of a panel control given in dialog units (x y width height);
# the panel is 157 x 288 units.
click_control() {
  local x=$(( ($1 * 2 + $3) * panel_w / 314 )) y=$(( ($2 * 2 + $4) * panel_h / 576 ))
  xdotool windowactivate --sync "$panel" mousemove --window "$panel" "$x" "$y"
  sleep 0.1
  xdotool mousedown 1 sleep 0.1 mouseup 1
  sleep 0.3
}
panel_key() {
  xdotool windowactivate --sync "$panel" key --clearmodifiers "$1"
  sleep 0.3
}
# Answers the save dialog with a path.
save_as() {
  local dialog
  # The first file dialog of a run is slow to appear on a busy machine.
  dialog=$(find_window "Save As" 30) || return 1
  xdotool windowactivate --sync "$dialog" key --clearmodifiers ctrl+a type --delay 5 "$1"
  xdotool key --clearmodifiers Return
  sleep 0.5
}
# Presses Return in the window with this title (a message box, the options dialog).
confirm() {
  local window
  window=$(find_window "$1" "${2:-30}") || return 1
  xdotool windowactivate --sync "$window" key --clearmodifiers Return
  sleep 0.3
}

# Panel controls for random use. The monitor-output buttons are left out: they
# change the picture size, and with it the frame rate being watched.
controls=(
  "44 44 30 13" "80 44 30 13" "13 61 19 13" "44 61 30 13" "80 61 30 13" "123 61 19 13"
  "43 79 30 13" "80 79 30 13" "5 109 43 13" "55 109 43 13" "106 109 42 13" "5 124 43 13"
  "55 124 43 13" "106 124 42 13" "5 139 43 13" "55 139 43 13" "106 139 42 13" "66 161 12 10"
  "108 176 12 10" "76 195 13 8" "62 233 13 8" "116 272 31 9" "39 273 41 9" "7 8 21 17" "38 8 21 17"
)
freeze_button="66 8 22 17"
save_button="96 8 21 17"

random_clicks() {
  local n
  for n in $(seq "$1"); do
    # shellcheck disable=SC2086
    click_control ${controls[RANDOM % ${#controls[@]}]}
    sleep 1
  done
}

# --- what happens every minute ---
step=0
record_movie() {
  local movie="$work/out/movie$step.avi"
  panel_key ctrl+r
  save_as "$movie" || return 1
  confirm "Video Compression" || return 1
  random_clicks 8
  panel_key ctrl+r
  confirm TAVROCAM || return 1
  [ -s "$movie" ] || { echo "soak: minute $step recorded no movie" >&2; return 1; }
  rm -f "$movie"
}
save_still() {
  local name="$work/out/still$step.bmp"
  [ $((step % 2)) -eq 1 ] && name="$work/out/still$step.jpg"
  # shellcheck disable=SC2086
  click_control $freeze_button
  # shellcheck disable=SC2086
  click_control $save_button
  local saved=0
  save_as "$name" && [ -s "$name" ] && saved=1
  rm -f "$name"
  # shellcheck disable=SC2086
  click_control $freeze_button
  [ "$saved" -eq 1 ] || { echo "soak: minute $step saved no $name" >&2; return 1; }
}
quick_capture() {
  local before after
  before=$(find "$work/captures" -type f | wc -l)
  panel_key space
  for _ in $(seq 30); do
    after=$(find "$work/captures" -type f | wc -l)
    [ "$after" -gt "$before" ] && break
    sleep 0.1
  done
  [ "$after" -gt "$before" ] || { echo "soak: minute $step made no quick capture" >&2; return 1; }
  find "$work/captures" -type f -delete
}
fetch_snapshot() {
  curl -sf --max-time 10 -o "$work/out/snapshot.jpg" "$server_url/snapshot.jpg" &&
    [ -s "$work/out/snapshot.jpg" ] || { echo "soak: minute $step got no snapshot" >&2; return 1; }
  rm -f "$work/out/snapshot.jpg"
}
# One viewer for the whole soak; the server must still count it at the end.
stream_viewer() {
  exec curl -sN --max-time $((minutes * 60 + 60)) -o /dev/null "$server_url/stream.mjpg"
}
every_minute=(record_movie save_still quick_capture fetch_snapshot)
alongside=(stream_viewer)

for job in "${alongside[@]}"; do
  "$job" &
  pids+=($!)
done

resident_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$app/status"; }
# The median of the rate readouts written since line $1 of the program's log:
# robust to the seconds the picture stood frozen.
median_rate() {
  tail -n +"$1" "$work/program.log" | awk '/^tavrocam: rate / {print $3}' | sort -n |
    awk '{v[NR]=$1} END {if (NR == 0) print 0; else print v[int((NR + 1) / 2)]}'
}

table=()
failed=0
first_kb=0
first_rate=0
started=$SECONDS
for step in $(seq "$minutes"); do
  log_from=$(($(wc -l <"$work/program.log") + 1))
  minute_end=$((started + step * 60))
  for activity in "${every_minute[@]}"; do
    kill -0 "$app" 2>/dev/null || break
    "$activity" || { echo "soak: $activity failed in minute $step" >&2; failed=1; }
  done
  while [ $SECONDS -lt $minute_end ] && kill -0 "$app" 2>/dev/null; do random_clicks 1; done
  if ! kill -0 "$app" 2>/dev/null; then
    echo "soak: the program ended in minute $step" >&2
    tail -n 20 "$work/program.log" >&2
    failed=1
    break
  fi
  kb=$(resident_kb)
  rate=$(median_rate "$log_from")
  if [ "$step" -eq 1 ]; then
    first_kb=$kb
    first_rate=$rate
  fi
  verdict=ok
  if [ $((kb - first_kb)) -gt $max_growth_kb ]; then verdict="memory +$(((kb - first_kb) / 1024)) MB"; failed=1; fi
  if [ $((rate * 100)) -lt $((first_rate * min_rate_share)) ]; then verdict="frame rate low"; failed=1; fi
  table+=("$(printf '%6d %12d %10d %10s  %s' "$step" "$kb" $((kb - first_kb)) "$rate" "$verdict")")
  printf 'soak: minute %d: %d kB resident, %s frames/s\n' "$step" "$kb" "$rate"
done

viewers=$(curl -sf --max-time 5 "$server_url/api/state" | sed -n 's/.*"viewers": *\([0-9]*\).*/\1/p' || true)
echo "soak: ${viewers:-no} stream viewer(s) connected at the end"
[ "${viewers:-0}" -ge 1 ] || { echo "soak: the stream viewer lost its stream" >&2; failed=1; }
echo "=== soak table (${minutes} min, paced simulated camera)"
printf '%6s %12s %10s %10s  %s\n' minute "resident kB" "growth kB" "frames/s" verdict
printf '%s\n' "${table[@]}"
grep -v '^tavrocam: rate ' "$work/program.log" | grep -iE 'error|sanitizer|warning: ' | head -n 10 || true
[ "$failed" -eq 0 ] || { echo "=== soak FAILED"; exit 1; }
echo "=== soak passed"
