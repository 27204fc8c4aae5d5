#!/usr/bin/env bash
# Installs what is missing, builds what is not built, and starts the Velmora tray program. Without
# a display there is no tray: it prints the read-only device and application report instead and
# says how to start the program on a desktop. Arguments go to the program (--show, --action NAME).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target velmora
program=./build/default/shell/velmora
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  "$program" --diagnose
  echo >&2
  echo "velmora: no display here, so no tray; this was the read-only report. On a desktop" \
       "session run: bash scripts/run.sh  (or $program)" >&2
  exit 0
fi
exec "$program" "$@"
