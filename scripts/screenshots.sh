#!/usr/bin/env bash
# Builds the panel and photographs it on the simulated machine, light and dark, on a virtual X
# server with a compositor: PNGs under docs/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
nice -n 19 cmake --build --preset default -j1 --target velmora_panel_screenshots

out=docs/screenshots
mkdir -p "$out"
xvfb_pid=""
compositor_pid=""
cleanup() {
  [ -n "$compositor_pid" ] && kill "$compositor_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT

# Xvfb picks a free display and writes its number to the pipe once it accepts clients.
display_pipe=$(mktemp -u)
mkfifo "$display_pipe"
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$display_pipe" >/dev/null 2>&1 &
xvfb_pid=$!
read -r display_number <"$display_pipe"
rm -f "$display_pipe"
export DISPLAY=":$display_number"
xcompmgr >/dev/null 2>&1 &
compositor_pid=$!

QT_QPA_PLATFORM=xcb ./build/default/shell/velmora_panel_screenshots "$out"
