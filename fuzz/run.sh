#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of seconds
# (default 60), starting from the seeds in fuzz/seeds/<target>/. Needs clang and
# libclang-rt-14-dev (scripts/install-deps.sh installs both).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

if ! command -v clang++ >/dev/null; then
  echo "fuzz: clang++ is not installed; skipping" >&2
  exit 0
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

for fuzzer in build/fuzz/fuzz/*_fuzz; do
  name=$(basename "$fuzzer")
  corpus="build/fuzz/corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  [ -d "fuzz/seeds/$name" ] && seeds=("fuzz/seeds/$name")
  echo "fuzz: $name for ${seconds}s"
  "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="build/fuzz/" "$corpus" "${seeds[@]}" 2>&1 | tail -n 12
done
