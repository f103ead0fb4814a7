#!/usr/bin/env bash
# Checks every C++ source in git (*.cpp, *.h) against .clang-format without changing it:
# lists the files clang-format would change and exits 1 if there are any, 0 otherwise.
# Usage: scripts/format-check.sh     (CLANG_FORMAT picks the program, default clang-format)
# To see what would change in one file: clang-format FILE | diff FILE -
set -euo pipefail
cd "$(dirname "$0")/.."
clang_format=${CLANG_FORMAT:-clang-format}
command -v "$clang_format" >/dev/null || { echo "format-check.sh: $clang_format is missing" >&2; exit 2; }

differ=()
while IFS= read -r -d '' file; do
  "$clang_format" --dry-run -Werror "$file" >/dev/null 2>&1 || differ+=("$file")
done < <(git ls-files -z '*.cpp' '*.h')

if (( ${#differ[@]} )); then
  printf '%s\n' "${differ[@]}"
  echo "format-check.sh: ${#differ[@]} files differ from .clang-format" >&2
  exit 1
fi
echo "format-check.sh: every C++ source matches .clang-format" >&2
