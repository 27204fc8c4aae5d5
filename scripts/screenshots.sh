#!/usr/bin/env bash
# Builds the panel and the settings window and photographs them on the simulated machine, light
# and dark, on a virtual X server with a compositor: PNGs under docs/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
nice -n 19 cmake --build --preset default -j1 --target velmora_panel_screenshots velmora_settings_screenshots velmora

out=docs/screenshots
mkdir -p "$out"
xvfb_pid=""
compositor_pid=""
bus_pid=""
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null || true
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
QT_QPA_PLATFORM=xcb ./build/default/shell/velmora_settings_screenshots "$out"

# The program itself: its pop-over opened from the tray at the top right, the volume display after
# a hotkey, and the shortcut recorder's states (drawn by the program above).
session=$(mktemp -d)
mkdir -m 700 "$session/runtime"
bus_info=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS=$(echo "$bus_info" | sed -n 1p)
bus_pid=$(echo "$bus_info" | sed -n 2p)
export XDG_CONFIG_HOME="$session/config" XDG_RUNTIME_DIR="$session/runtime" VELMORA_TRAY_WAIT_MS=600000
QT_QPA_PLATFORM=xcb ./build/default/shell/velmora >/dev/null 2>&1 &
program_pid=$!
item="org.kde.StatusNotifierItem-$program_pid-1"
for _ in $(seq 1 200); do
  gdbus introspect --session -d "$item" -o /StatusNotifierItem >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 1  # the first launch opens the pop-over by itself; close it, then open it from the tray
gdbus call --session -d "$item" -o /StatusNotifierItem -m org.kde.StatusNotifierItem.Activate 1240 8 >/dev/null
sleep 0.5
gdbus call --session -d "$item" -o /StatusNotifierItem -m org.kde.StatusNotifierItem.Activate 1240 8 >/dev/null
sleep 1
xwd -root -silent | convert xwd:- -crop 470x650+810+0 +repage "$out/tray-popover.png"
gdbus call --session -d com.local.Ombrel -o /com/local/Ombrel -m com.local.Ombrel.Action panel >/dev/null
gdbus call --session -d com.local.Ombrel -o /com/local/Ombrel -m com.local.Ombrel.Action louder >/dev/null
sleep 0.4
xwd -root -silent | convert xwd:- -crop 320x110+480+745 +repage "$out/volume-hud.png"
gdbus call --session -d com.local.Ombrel -o /com/local/Ombrel -m com.local.Ombrel.Action mute >/dev/null
sleep 0.4
xwd -root -silent | convert xwd:- -crop 320x110+480+745 +repage "$out/volume-hud-muted.png"
rm -rf "$session"
echo "screenshots in $out"
