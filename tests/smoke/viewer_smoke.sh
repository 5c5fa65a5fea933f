#!/usr/bin/env bash
# The viewer in a real X window: started with files, the first one shows; started with a missing
# file, it says so on standard error and opens empty. Then press "OpenVqzFile", type a path into
# the dialog, and look for the picture on a screenshot. Then a damaged file, whose message box
# must appear and go, and a good file again.
# Usage: viewer_smoke.sh VIEWER VQZCONV SCREEN_CHECK PNGSUITE_DIR
set -euo pipefail
viewer=$1 vqzconv=$2 check=$3 suite=$4

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "viewer smoke test: $*" >&2; exit 1; }

# A container: the picture at offset 40, as byte 16 says.
container() { { head -c 16 /dev/zero; printf '\050'; head -c 23 /dev/zero; cat "$1"; } > "$2"; }

cp "$suite/basn2c08.png" "$work/shown.png"
"$vqzconv" convert "$suite/basn3p04.png" "$work/shown.bmp" || fail "cannot make the bitmap"
container "$work/shown.png" "$work/png.vqz"
container "$work/shown.bmp" "$work/bmp.vqz"
head -c 40 "$work/shown.png" > "$work/cut.png"
container "$work/cut.png" "$work/damaged.vqz"

# The viewer must open a real X window here in the C locale, whatever the caller exported.
export QT_QPA_PLATFORM=xcb LANG=C.UTF-8 LC_ALL=C.UTF-8
# Xvfb picks a free display and names it; -noreset keeps it from resetting, and refusing
# connections meanwhile, each time its last client goes.
Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -1 "$work/display")"
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
xdotool getdisplaygeometry >/dev/null 2>&1 || fail "Xvfb did not start"

windows_named() { xdotool search --onlyvisible --name "$1" 2>/dev/null | wc -l; }

# Starts the viewer with the given arguments; its window is $main.
start_viewer() {
  "$viewer" "$@" >"$work/viewer.out" 2>"$work/viewer.err" &
  pids+=($!)
  main=$(timeout 20 xdotool search --sync --onlyvisible --name '^VQZ To Image$' | head -1) || true
  [ -n "$main" ] || fail "the window did not appear"
  sleep 0.5
}

# Waits until Count visible windows carry Name.
wait_windows() {
  for _ in $(seq 100); do [ "$(windows_named "$1")" -eq "$2" ] && return 0; sleep 0.1; done
  fail "expected $2 window(s) named $1, found $(windows_named "$1")"
}

stop_viewer() {
  kill "${pids[-1]}"
  wait "${pids[-1]}" 2>/dev/null || true
  unset 'pids[-1]'
  wait_windows '^VQZ To Image$' 0
}

open_file() {
  eval "$(xdotool getwindowgeometry --shell "$main")"
  xdotool mousemove $((X + 50)) $((Y + 20)) click 1
  wait_windows '^Open$' 1
  local dialog
  dialog=$(xdotool search --onlyvisible --name '^Open$' | head -1)
  eval "$(xdotool getwindowgeometry --shell "$dialog")"
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
  # Keys typed before the dialog has the input focus are lost on a loaded machine.
  xdotool windowfocus --sync "$dialog" 2>/dev/null || true
  for _ in $(seq 50); do [ "$(xdotool getwindowfocus 2>/dev/null)" = "$dialog" ] && break; sleep 0.1; done
  sleep 0.3
  xdotool type --delay 10 "$1"
  xdotool key Return
  wait_windows '^Open$' 0
  sleep 0.5
}

# Waits up to 10 seconds for a screenshot that shows the picture.
on_screen() {
  for _ in $(seq 50); do
    xwd -root -silent > "$work/screen.xwd"
    "$check" "$work/screen.xwd" "$1" >/dev/null && return 0
    sleep 0.2
  done
  return 1
}

expect_on_screen() { on_screen "$1" || fail "after opening $2: the picture is not shown"; }

# Opens Path through the dialog until Picture shows: a second try where the first one's typing
# went astray, never more.
open_and_expect() {
  for _ in 1 2; do
    open_file "$1"
    on_screen "$2" && return 0
  done
  fail "after opening $3: the picture is not shown"
}

# Waits up to 10 seconds for the viewer to say Line on standard error.
expect_said() {
  for _ in $(seq 100); do grep -qxF "$1" "$work/viewer.err" && return 0; sleep 0.1; done
  fail "the viewer did not say \"$1\": $(cat "$work/viewer.err")"
}

start_viewer "$work/png.vqz" "$work/bmp.vqz"
expect_on_screen "$work/shown.png" "the first of two files on the command line"
stop_viewer
start_viewer "$work/missing.vqz"
expect_said "vqz2image: $work/missing.vqz: no such file"
xwd -root -silent > "$work/screen.xwd"
"$check" "$work/screen.xwd" "$work/shown.png" --absent || fail "a missing file showed a picture"
[ "$(windows_named '^VQZ To Image$')" -eq 1 ] || fail "a missing file on the command line showed a message box"
stop_viewer

start_viewer

open_and_expect "$work/png.vqz" "$work/shown.png" "a VQZ file holding a PNG"
open_and_expect "$work/bmp.vqz" "$work/shown.bmp" "a VQZ file holding a BMP"
open_file "$work/damaged.vqz"
wait_windows '^VQZ To Image$' 2
expect_on_screen "$work/shown.bmp" "a damaged file (the previous picture stays)"
xdotool key Return
wait_windows '^VQZ To Image$' 1
open_and_expect "$work/png.vqz" "$work/shown.png" "a good file after a damaged one"
echo "viewer smoke test: passed"
