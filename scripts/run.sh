#!/usr/bin/env bash
# Installs what is missing, builds, and runs Velmora.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
echo "Velmora's tray program is not built yet. Running the processing core's benchmark instead:"
exec ./build/default/bench/render_benchmark "$@"
