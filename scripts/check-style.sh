#!/usr/bin/env bash
# Gates the style the tools keep: every C++ file as .clang-format lays it out, and clang-tidy's
# checks from .clang-tidy over the project's own sources. clang-tidy reads the default preset's
# compile_commands.json, so run this after `cmake --workflow --preset default`: nothing is built
# twice. Qt's generated files and the fuzz targets (built only by the clang preset) are left out.
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
echo "clang-tidy: ${#sources[@]} files"
run-clang-tidy -quiet -p "$build" -j "$jobs" -warnings-as-errors='*' "${sources[@]}" > build/tidy.log 2>&1 || {
  grep -E "warning:|error:" build/tidy.log | sort -u >&2
  echo "clang-tidy found the problems above (full log: build/tidy.log)" >&2
  exit 1
}
echo "style: clean"
