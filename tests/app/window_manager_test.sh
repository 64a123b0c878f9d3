#!/usr/bin/env bash
# The real program on the simulated camera under a real window manager
# (Xvfb + openbox), played with xdotool: the stacking of the panel and the
# diagnostics window over the main window, minimising them together, the
# first-start placement of the panel, full screen, the panel keeping its place
# through full screen and hiding with H, the main window's keys and Escape
# from the panel, and the positions saved at the end. Qt's offscreen platform
# has no stacking or window manager, so none of this can be seen there.
#
#   window_manager_test.sh PATH/TO/tavrocam
#
# Exits 77 (skipped) only when Xvfb, openbox, xdotool or the X utilities are
# missing; every wait has a deadline and everything started is ended on exit.
set -uo pipefail

readonly program=${1:?usage: window_manager_test.sh PATH/TO/tavrocam}
readonly skip=77
for tool in Xvfb openbox xdotool xprop xwininfo timeout; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed"
    exit $skip
  fi
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tavrocam-wm.XXXXXX")
failures=0
xvfb_pid='' wm_pid='' app_pid='' watchdog_pid=''

stop_pid() {
  local pid=$1
  [[ -n $pid ]] || return 0
  kill "$pid" 2>/dev/null || return 0
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null; return 0; }; sleep 0.05; done
  kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
}

stop_session() {
  stop_pid "$app_pid"; app_pid=''
  stop_pid "$wm_pid"; wm_pid=''
  stop_pid "$xvfb_pid"; xvfb_pid=''
}

cleanup() {
  stop_pid "$watchdog_pid"
  stop_session
  rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
# The whole run is bounded too: the script ends itself (and with it all it
# started) well inside CTest's timeout, which would kill it without cleanup.
(
  trap 'kill "$nap" 2>/dev/null; exit 0' TERM
  sleep 110 &
  nap=$!
  wait "$nap" && kill -TERM $$
) >/dev/null 2>&1 &
watchdog_pid=$!

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Repeats a command until it succeeds or the deadline (seconds) passes.
poll() {
  local seconds=$1
  shift
  local end=$((SECONDS + seconds))
  while ((SECONDS < end)); do
    "$@" && return 0
    sleep 0.1
  done
  "$@"
}

x() { timeout 5 "$@"; }

# Starts a server of this size on a display it picks itself (-displayfd), the
# window manager on it, and the program with a profile folder of its own
# (further arguments go to the program).
start_session() {
  local size=$1 profile=$2
  shift 2
  local fd_file=$scratch/display.$size
  : >"$fd_file"
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$fd_file" >"$scratch/xvfb.log" 2>&1 &
  xvfb_pid=$!
  poll 10 grep -q '[0-9]' "$fd_file" || { fail "Xvfb ($size) did not start"; return 1; }
  export DISPLAY=:$(tr -dc 0-9 <"$fd_file")
  poll 10 x xprop -root -notype _NET_NUMBER_OF_DESKTOPS >/dev/null 2>&1 || true
  HOME=$profile XDG_CONFIG_HOME=$profile/config openbox --sm-disable >"$scratch/openbox.log" 2>&1 &
  wm_pid=$!
  poll 10 wm_running || { fail "openbox did not start on $DISPLAY"; return 1; }
  mkdir -p "$profile/config" "$profile/run"
  chmod 700 "$profile/run"
  env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb HOME="$profile" XDG_CONFIG_HOME="$profile/config" \
    XDG_RUNTIME_DIR="$profile/run" TAVROCAM_CLAIM_DIR="$profile/run" \
    "$program" --camera=sim "$@" >"$scratch/program.log" 2>&1 &
  app_pid=$!
  main=$(poll 20 find_window '^TAVROCAM DISPLAY$') || { fail "the main window never appeared"; return 1; }
  panel=$(poll 20 find_window '^REMOCON$') || { fail "the panel never appeared"; return 1; }
  poll 10 managed "$main" && poll 10 managed "$panel" || { fail "the windows were never managed"; return 1; }
}

# The panel's frame just right of the main window's frame, tops level.
beside() {
  local ml mt mr mb pl pt pr pb
  read -r ml mt mr mb < <(frame_edges "$main")
  read -r pl pt pr pb < <(frame_edges "$panel")
  ((pl == mr && pt == mt && mr > 300))
}

wm_running() { x xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

find_window() { x xdotool search --name "$1" 2>/dev/null | head -1 | grep .; }

# The managed windows, bottom to top, as decimal ids.
stacking() {
  x xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*#//' | tr ',' '\n' | while read -r id; do
    [[ -n $id ]] && printf '%d\n' "$id"
  done
}

managed() { stacking | grep -qx "$1"; }

# True when window $1 is stacked above window $2.
above() {
  local order a b
  order=$(stacking)
  a=$(grep -nx "$1" <<<"$order" | cut -d: -f1)
  b=$(grep -nx "$2" <<<"$order" | cut -d: -f1)
  [[ -n $a && -n $b ]] && ((a > b))
}

window_state() { x xprop -id "$1" WM_STATE 2>/dev/null | sed -n 's/.*window state: *//p'; }
has_net_state() { x xprop -id "$1" _NET_WM_STATE 2>/dev/null | grep -q "$2"; }

# The client area: "x y width height" (root coordinates).
client_geometry() {
  x xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /^ *Width:/ {w=$NF} /^ *Height:/ {h=$NF} END {print x, y, w, h}'
}

# The frame: "left top right bottom" (exclusive), from the client area and the
# window manager's frame extents.
frame_edges() {
  local cx cy cw ch l r t b
  read -r cx cy cw ch < <(client_geometry "$1")
  read -r l r t b < <(x xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= *//; s/,/ /g')
  echo $((cx - ${l:-0})) $((cy - ${t:-0})) $((cx + cw + ${r:-0})) $((cy + ch + ${b:-0}))
}

click_on() {
  local cx cy cw ch
  read -r cx cy cw ch < <(client_geometry "$1")
  x xdotool mousemove $((cx + cw / 2)) $((cy + ch / 2)) click 1
}

# Key presses go to the focused window through XTEST, as a user's would.
press_in() {
  x xdotool windowactivate --sync "$1" >/dev/null 2>&1 || x xdotool windowfocus --sync "$1"
  poll 5 focused "$1" || return 1
  x xdotool key "$2"
}

state_is() { [[ $(window_state "$1") == "$2" ]]; }
geometry_is() { [[ $(client_geometry "$1") == "$2" ]]; }

focused() { [[ $(x xdotool getwindowfocus 2>/dev/null) == "$1" ]]; }

# Checks that each window in $2... stays above $1 for a moment after a step.
expect_above() {
  local step=$1 base=$2
  shift 2
  sleep 0.3
  for w in "$@"; do
    poll 3 above "$w" "$base" || fail "$step: window $w is not above the main window (stacking: $(stacking | tr '\n' ' '))"
  done
}

# ---- a large screen: stacking, minimising, first-start placement, full screen
echo "== 1920x1080"
if start_session 1920x1080 "$scratch/large"; then
  # (c) The panel's frame just right of the main window's frame, tops level
  # (the main window follows the picture's size meanwhile; the panel with it).
  poll 10 beside || fail "placement 1920x1080: panel frame $(frame_edges "$panel") is not just right of main frame $(frame_edges "$main")"

  # (a) Stacking after what a user does to the main window.
  click_on "$main"
  expect_above "click on the main window" "$main" "$panel"
  x xdotool windowactivate --sync "$main" >/dev/null 2>&1
  x xdotool windowraise "$main"
  expect_above "raising the main window" "$main" "$panel"
  x xdotool windowmove --sync "$main" 200 150
  expect_above "moving the main window" "$main" "$panel"
  x xdotool windowsize --sync "$main" 800 600
  expect_above "resizing the main window" "$main" "$panel"

  # The diagnostics window (Ctrl+D on the panel) belongs to the panel.
  press_in "$panel" ctrl+d || fail "the panel never took the focus"
  diagnostics=$(poll 10 find_window '^REMOCON diagnostics$') || fail "Ctrl+D on the panel opened no diagnostics window"
  if [[ -n ${diagnostics:-} ]]; then
    poll 10 managed "$diagnostics" || fail "the diagnostics window was never managed"
    click_on "$main"
    expect_above "click on the main window with diagnostics open" "$main" "$panel" "$diagnostics"
    x xdotool windowactivate --sync "$main" >/dev/null 2>&1
    x xdotool windowraise "$main"
    expect_above "raising the main window with diagnostics open" "$main" "$panel" "$diagnostics"
  fi

  # (b) Minimising the main window takes the panel with it; restoring brings it back.
  x xdotool windowminimize --sync "$main"
  poll 5 state_is "$main" Iconic || fail "the main window did not minimise"
  poll 5 state_is "$panel" Iconic || fail "minimise: panel WM_STATE is $(window_state "$panel"), not Iconic"
  poll 5 has_net_state "$panel" _NET_WM_STATE_HIDDEN || fail "minimise: the panel is not _NET_WM_STATE_HIDDEN"
  x xdotool windowactivate --sync "$main" >/dev/null 2>&1
  poll 5 state_is "$main" Normal || fail "the main window did not come back"
  poll 5 state_is "$panel" Normal || fail "restore: panel WM_STATE is $(window_state "$panel"), not Normal"
  expect_above "restoring the main window" "$main" "$panel"

  # (d) F11 fills the screen; Escape, or F11 again, puts the window back.
  read -r -a before < <(client_geometry "$main")
  for leave in Escape F11; do
    press_in "$main" F11 || fail "the main window never took the focus"
    poll 5 geometry_is "$main" "0 0 1920 1080" ||
      fail "F11: main window at $(client_geometry "$main"), not the whole 1920x1080 screen"
    has_net_state "$main" _NET_WM_STATE_FULLSCREEN || fail "F11: the main window is not _NET_WM_STATE_FULLSCREEN"
    press_in "$main" "$leave" || fail "the full-screen window never took the focus"
    poll 5 geometry_is "$main" "${before[*]}" ||
      fail "$leave: main window at $(client_geometry "$main"), not back at ${before[*]}"
    has_net_state "$main" _NET_WM_STATE_FULLSCREEN && fail "$leave: the main window is still full screen"
  done
  kill -0 "$app_pid" 2>/dev/null || fail "the program ended during the steps (Escape out of full screen must not end it)"
fi
stop_session

# ---- a show on a fresh profile: the main window at the corner, the panel
# beside it. Full screen (twice, left once with Escape on the panel and once
# with F11 there) never moves the panel; H hides and shows it; the main
# window's keys work from the panel; the positions saved are the panel's own.
echo "== 1920x1080, a show"
captures=$scratch/show/pages
if start_session 1920x1080 "$scratch/show" --capture-dir="$captures"; then
  poll 10 beside || fail "show: panel frame $(frame_edges "$panel") is not just right of main frame $(frame_edges "$main")"
  sleep 1
  read -r -a panel_spot < <(frame_edges "$panel")
  read -r -a main_spot < <(client_geometry "$main")
  panel_is_back() { [[ $(frame_edges "$panel") == "${panel_spot[*]}" ]]; }
  mapped() { x xwininfo -id "$1" | grep -q 'Map State: IsViewable'; }
  unmapped() { ! mapped "$1"; }
  captured() { (($(find "$captures" -type f 2>/dev/null | wc -l) == $1)); }
  alive() { kill -0 "$app_pid" 2>/dev/null; }

  for leave_on_panel in Escape F11; do
    press_in "$main" F11 || fail "show: the main window never took the focus"
    poll 5 geometry_is "$main" "0 0 1920 1080" || fail "show: F11 did not fill the screen"
    sleep 0.5
    panel_is_back || fail "show, full screen: the panel moved to $(frame_edges "$panel") from ${panel_spot[*]}"
    # The panel made the active window, as a click on it does, then the key there.
    press_in "$panel" "$leave_on_panel" || fail "show: the panel never took the focus"
    poll 5 geometry_is "$main" "${main_spot[*]}" ||
      fail "show: $leave_on_panel on the panel left the main window at $(client_geometry "$main"), not ${main_spot[*]}"
    alive || { fail "show: $leave_on_panel on the panel in full screen ended the program"; break; }
    sleep 0.5
    panel_is_back || fail "show, after full screen ($leave_on_panel): the panel is at $(frame_edges "$panel")"
  done

  if alive; then
    # The main window's keys from the panel.
    press_in "$panel" r
    poll 5 geometry_is "$main" "${main_spot[0]} ${main_spot[1]} ${main_spot[3]} ${main_spot[2]}" ||
      fail "show: R on the panel did not turn the picture (main window at $(client_geometry "$main"))"
    press_in "$panel" shift+r
    poll 5 geometry_is "$main" "${main_spot[*]}" || fail "show: Shift+R on the panel did not turn it back"
    press_in "$panel" space
    poll 5 captured 1 || fail "show: Space on the panel made no capture"
    press_in "$panel" i
    poll 5 captured 2 || fail "show: I on the panel did not start a series with a capture at once"
    press_in "$panel" i

    # H from the panel hides it; H on the main window brings it back where it was.
    press_in "$panel" h
    poll 5 unmapped "$panel" || fail "show: H on the panel did not hide it"
    press_in "$main" h
    poll 5 mapped "$panel" || fail "show: H on the main window did not bring the panel back"
    sleep 0.5
    panel_is_back || fail "show: the panel came back at $(frame_edges "$panel"), not ${panel_spot[*]}"
    # Hidden in full screen, it stays hidden after until H.
    press_in "$main" F11
    poll 5 geometry_is "$main" "0 0 1920 1080" || fail "show: F11 did not fill the screen"
    press_in "$main" h
    poll 5 unmapped "$panel" || fail "show: H in full screen did not hide the panel"
    press_in "$main" Escape
    poll 5 geometry_is "$main" "${main_spot[*]}" || fail "show: Escape did not leave full screen"
    sleep 0.5
    mapped "$panel" && fail "show: leaving full screen showed the panel the user hid"
    press_in "$main" h
    poll 5 mapped "$panel" || fail "show: H did not bring the panel back"
    sleep 0.5
    panel_is_back || fail "show: the panel came back at $(frame_edges "$panel"), not ${panel_spot[*]}"

    # Outside full screen, Escape on the panel ends the program, as always, saving the positions.
    press_in "$panel" Escape
    poll 10 bash -c "! kill -0 $app_pid 2>/dev/null" || fail "show: Escape on the panel did not end the program"
    profile_file="$scratch/show/config/TQ400 Application/TAVROCAM.conf"
    saved=$(sed -n 's/^RemoconX=//p; s/^RemoconY=//p' "$profile_file" 2>/dev/null | tr '\n' ' ')
    [[ $saved == "${panel_spot[0]} ${panel_spot[1]} " ]] ||
      fail "show: saved panel position '$saved', not the panel's own ${panel_spot[0]} ${panel_spot[1]}"
  fi
fi
stop_session

# ---- a small screen: no room beside the main window, so the panel goes to (0, 0)
echo "== 1024x768"
if start_session 1024x768 "$scratch/small"; then
  at_corner() {
    local pl pt pr pb
    read -r pl pt pr pb < <(frame_edges "$panel")
    ((pl == 0 && pt == 0))
  }
  # Settle first: the panel must still be in the corner once the main window
  # has taken the picture's size.
  sleep 1
  poll 10 at_corner || fail "placement 1024x768: panel frame at $(frame_edges "$panel"), not at 0,0"
  expect_above "first start on a small screen" "$main" "$panel"
fi
stop_session

if ((failures)); then
  echo "$failures check(s) failed; program output:"
  cat "$scratch/program.log"
  exit 1
fi
echo "all window-manager checks passed"
