#!/usr/bin/env bash
# Installs what is missing, builds, and runs Velmora. The tray program is not built yet; until
# it is, this prints the read-only device and application report (velmora --diagnose).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
exec ./build/default/shell/velmora --diagnose "$@"
