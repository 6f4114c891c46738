#!/usr/bin/env bash
# Fails when a C++ source of the repository does not follow .clang-format.
# Usage: scripts/check-format.sh [--fix]
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
    clang-format -i "${files[@]}"
    exit 0
fi
if ! clang-format --dry-run --Werror "${files[@]}"; then
    echo "Some files do not follow .clang-format; run scripts/check-format.sh --fix" >&2
    exit 1
fi
echo "Formatting: ${#files[@]} files follow .clang-format."
