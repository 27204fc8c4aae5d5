#!/usr/bin/env bash
# Instructions per frame of the render cycle, counted by callgrind inside OMRender only (the
# scenario's setup is excluded). Needs the default build: cmake --workflow --preset default.
set -euo pipefail
cd "$(dirname "$0")/.."
driver=build/default/bench/render_instructions
[ -x "$driver" ] || { echo "build first: cmake --workflow --preset default" >&2; exit 1; }
command -v valgrind >/dev/null || { echo "valgrind is not installed" >&2; exit 1; }

callbacks=200
frames=$((callbacks * 512))
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for scenario in one_stereo_route_eq_off four_stereo_routes_eq_on mono_tap_four_routes_eq_off; do
  # The setup renders 64 callbacks itself; run it alone and subtract.
  count() {
    valgrind --tool=callgrind --toggle-collect=OMRender --callgrind-out-file="$out/cg" \
      "$driver" "$scenario" "$1" >/dev/null 2>&1
    grep '^summary:' "$out/cg" | awk '{print $2}'
  }
  base=$(count 0)
  total=$(count "$callbacks")
  awk -v s="$scenario" -v t="$total" -v b="$base" -v f="$frames" \
    'BEGIN { printf "%-30s %8.1f instructions per frame\n", s, (t - b) / f }'
done
