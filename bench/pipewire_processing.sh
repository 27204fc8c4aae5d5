#!/bin/bash
# Measures per-application processing on a private headless PipeWire session, side by side with
# a plain pw-loopback between the same nodes:
#   1. added latency application -> sink at a forced quantum of 256: the wall-clock time from
#      the cycle in which the application starts a tone to the cycle in which a monitor of the
#      sink first hears it (several runs);
#   2. CPU over $SECONDS_CPU seconds (default 30) of one processed application with the
#      equaliser on, and of four, against one and four pw-loopback processes;
#   3. time from a stop, and from a SIGKILL of the processing program, to the application heard
#      on its own sink again.
# Needs a default build (velmora_pipewire_helper) and pipewire, wireplumber, pw-loopback.
set -u
ROOT=$(cd "$(dirname "$0")/.." && pwd)
HELPER=${HELPER:-$ROOT/build/default/tests/pipewire/velmora_pipewire_helper}
SECONDS_CPU=${SECONDS_CPU:-30}
[ -x "$HELPER" ] || { echo "build velmora_pipewire_helper first ($HELPER)" >&2; exit 1; }

D=$(mktemp -d /tmp/velmora-measure.XXXXXX)
export XDG_RUNTIME_DIR=$D/run XDG_CONFIG_HOME=$D/config XDG_STATE_HOME=$D/state PIPEWIRE_RUNTIME_DIR=$D/run
unset DBUS_SESSION_BUS_ADDRESS PIPEWIRE_REMOTE PULSE_SERVER DISPLAY WAYLAND_DISPLAY
mkdir -p "$D/run" "$D/config/pipewire/pipewire.conf.d" "$D/config/wireplumber/main.lua.d" \
         "$D/config/wireplumber/bluetooth.lua.d"
chmod 700 "$D/run"
{ echo 'context.objects = ['
  for s in a b; do
    echo "  { factory = adapter args = { factory.name = support.null-audio-sink node.name = test-sink-$s"
    echo "      media.class = Audio/Sink audio.position = [ FL FR ] object.linger = true } }"
  done
  echo ']'; } > "$D/config/pipewire/pipewire.conf.d/50-measure.conf"
{ echo 'alsa_monitor.properties["alsa.reserve"] = false'
  echo 'default_access.properties["enable-flatpak-portal"] = false'
  echo 'stream_defaults.properties["restore-target"] = false'; } > "$D/config/wireplumber/main.lua.d/51-measure.lua"
echo 'bluez_monitor.enabled = false' > "$D/config/wireplumber/bluetooth.lua.d/51-measure.lua"
DAEMONS=()
cleanup() { for p in "${CHILDREN[@]:-}" "${DAEMONS[@]:-}"; do [ -n "$p" ] && kill "$p" 2>/dev/null; done
            wait 2>/dev/null; rm -rf "$D"; }
CHILDREN=()
trap cleanup EXIT
pipewire > "$D/pipewire.log" 2>&1 & DAEMONS+=($!)
until [ -S "$D/run/pipewire-0" ]; do sleep 0.02; done
wireplumber > "$D/wireplumber.log" 2>&1 & DAEMONS+=($!)
until pw-metadata -n default 0 default.audio.sink 2>/dev/null | grep -q test-sink; do sleep 0.05; done
pw-metadata -n settings 0 clock.force-quantum 256 > /dev/null

now() { date +%s%N; }
serial_of() { pw-dump | /usr/bin/python3 -c "
import json,sys; d=json.load(sys.stdin)
print([o['info']['props']['object.serial'] for o in d if o['type'].endswith('Node') and o['info']['props'].get('node.name')=='$1'][0])"; }
streams_of() { pw-dump | /usr/bin/python3 -c "
import json,sys; d=json.load(sys.stdin)
cl={o['id']:o['info']['props'] for o in d if o['type'].endswith('Client')}
print(' '.join(str(o['id']) for o in d if o['type'].endswith('Node') and o['info']['props'].get('media.class')=='Stream/Output/Audio' and str(cl.get(o['info']['props'].get('client.id'),{}).get('pipewire.sec.pid'))=='$1'))"; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
wait_file() { for _ in $(seq 500); do [ -s "$1" ] && return 0; sleep 0.01; done; return 1; }
# Each in a subshell of its own: $BASHPID names its log ($RANDOM would repeat in subshells).
app() { "$HELPER" tone "$@" > "$D/app-$BASHPID.log" 2>&1 & CHILDREN+=($!); echo $!; }

# 1. Latency. The application starts its tone 3 s in, after it has been moved.
latency() { # label; expects the application moved into something that plays on test-sink-b
  local log=$1
  "$HELPER" onset test-sink-b > "$D/onset.log" & local m=$!
  wait $m
  # Wall-clock times: the application and the monitor run in the same cycle when nothing is
  # added, so the difference is a whole number of quanta plus scheduling noise.
  local played heard
  played=$(awk '/^onset/{print $3}' "$log"); heard=$(awk '{print $3}' "$D/onset.log")
  echo $(( (heard - played) / 1000 ))
}
latency_pair() {
  A=$(app 440 0 0 3); LOG=$(ls -t "$D"/app-*.log | head -1)
  sleep 0.3
  pw-loopback --capture-props='node.name=measure-loopback-in node.autoconnect=false media.class=Stream/Input/Audio' \
    --playback-props='node.name=measure-loopback-out target.object=test-sink-b node.dont-reconnect=true' > /dev/null 2>&1 & LB=$!; CHILDREN+=($LB)
  sleep 0.5
  for n in $(streams_of $A); do pw-metadata -n default "$n" target.object "$(serial_of measure-loopback-in)" Spa:Id > /dev/null; done
  BASE=$(latency "$LOG"); kill $A $LB; wait $A $LB 2>/dev/null

  A=$(app 440 0 0 3); LOG=$(ls -t "$D"/app-*.log | head -1)
  sleep 0.3
  "$HELPER" hold test-sink-b "$D/ready" 0 $A > "$D/hold.log" 2>&1 & H=$!; CHILDREN+=($H)
  wait_file "$D/ready"
  OURS=$(latency "$LOG"); kill $H $A; wait $H $A 2>/dev/null; rm -f "$D/ready"
  echo "latency at quantum 256 (5333 µs), application onset -> test-sink-b monitor: pw-loopback $BASE µs, Velmora $OURS µs"
}
for i in 1 2 3; do latency_pair; done
pw-metadata -n settings 0 clock.force-quantum 0 > /dev/null

# 2. CPU: the processing program against pw-loopback, per route.
cpu() { # count eq
  local apps=() loops=() p t0 t1 total=0
  for f in $(seq 440 110 $((440 + 110 * ($1 - 1)))); do apps+=("$(app "$f")"); done
  sleep 0.5
  "$HELPER" hold test-sink-b "$D/ready" "$2" "${apps[@]}" > "$D/hold.log" 2>&1 & H=$!; CHILDREN+=($H)
  wait_file "$D/ready"; sleep 1
  t0=$(cpu_ticks $H); sleep "$SECONDS_CPU"; t1=$(cpu_ticks $H)
  kill $H; wait $H 2>/dev/null; rm -f "$D/ready"; sleep 0.3
  local ours=$((t1 - t0))
  for a in "${apps[@]}"; do
    pw-loopback --capture-props="node.name=measure-loop-$a node.autoconnect=false media.class=Stream/Input/Audio" \
      --playback-props='target.object=test-sink-b node.dont-reconnect=true' > /dev/null 2>&1 & loops+=($!); CHILDREN+=($!)
  done
  sleep 0.5
  for a in "${apps[@]}"; do
    for n in $(streams_of $a); do pw-metadata -n default "$n" target.object "$(serial_of measure-loop-$a)" Spa:Id > /dev/null; done
  done
  sleep 1
  for p in "${loops[@]}"; do total=$((total - $(cpu_ticks $p))); done
  sleep "$SECONDS_CPU"
  for p in "${loops[@]}"; do total=$((total + $(cpu_ticks $p))); done
  kill "${loops[@]}" "${apps[@]}"; wait "${loops[@]}" "${apps[@]}" 2>/dev/null
  local hz; hz=$(getconf CLK_TCK)
  echo "CPU over ${SECONDS_CPU} s, $1 application(s), equaliser $2: Velmora $(awk "BEGIN{printf \"%.2f\", 100*$ours/$hz/$SECONDS_CPU}") %, pw-loopback $(awk "BEGIN{printf \"%.2f\", 100*$total/$hz/$SECONDS_CPU}") % (one core = 100 %)"
}
cpu 1 1
cpu 4 1

# 3. Back on its own sink (test-sink-a, the default) after a stop and after a SIGKILL.
back() { # signal
  local a; a=$(app 440); sleep 0.3
  "$HELPER" hold test-sink-b "$D/ready" 0 $a > "$D/hold.log" 2>&1 & H=$!; CHILDREN+=($H)
  wait_file "$D/ready"; sleep 0.5
  "$HELPER" onset test-sink-a > "$D/onset.log" & local m=$!
  sleep 0.5
  local t0; t0=$(now); kill -"$1" $H; wait $H 2>/dev/null; wait $m
  [ "$1" = TERM ] && t0=$(awk '/^stop/{print $2}' "$D/hold.log")
  echo "$1 -> heard on its own sink: $(( ($(awk '{print $3}' "$D/onset.log") - t0) / 1000000 )) ms"
  kill $a; wait $a 2>/dev/null; rm -f "$D/ready"
}
for i in 1 2 3; do back TERM; done
for i in 1 2 3; do back KILL; done
