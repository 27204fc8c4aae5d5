#!/usr/bin/env bash
# Gates the style the tools keep: every C++ file as .clang-format lays it out, and clang-tidy's
# checks from .clang-tidy over the project's own sources. clang-tidy reads the default preset's
# compile_commands.json, so run this after `cmake --workflow --preset default`: nothing is built
# twice. Generated files are left out; the fuzz targets, which only the clang preset compiles, get
# the format check alone.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/default
jobs=${VELMORA_TIDY_JOBS:-2}

mapfile -t files < <(git ls-files '*.cpp' '*.h')
echo "clang-format: ${#files[@]} files"
clang-format --dry-run -Werror "${files[@]}"

[ -f "$build/compile_commands.json" ] || {
  echo "no $build/compile_commands.json: configure the default preset first" >&2
  exit 1
}
# The translation units the default preset compiles, less generated ones.
mapfile -t sources < <(python3 - "$build/compile_commands.json" <<'PY'
import json, os, sys
root = os.getcwd()
for entry in json.load(open(sys.argv[1])):
    path = os.path.realpath(os.path.join(entry["directory"], entry["file"]))
    rel = os.path.relpath(path, root)
    if rel.startswith(("build", "..")) or "/autogen/" in rel or not rel.endswith(".cpp"):
        continue
    print(rel)
PY
)
echo "clang-tidy: ${#sources[@]} files, $jobs at a time"
# Findings are errors here; the counts of suppressed warnings in system headers are dropped.
if ! printf '%s\0' "${sources[@]}" |
  xargs -0 -P "$jobs" -n 4 clang-tidy -p "$build" --quiet --warnings-as-errors='*' \
    > build/tidy.log 2>&1; then
  grep -vE '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' build/tidy.log >&2 || true
  echo "clang-tidy found the problems above" >&2
  exit 1
fi
echo "style: clean"
