#!/usr/bin/env bash
# Code lines (cloc's count) of everything under tests/ against src/, include/
# and tools/, and their ratio: the tests are meant to stay within 40%.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v cloc > /dev/null || { echo "lines.sh: cloc is missing (scripts/deps.sh installs it)" >&2; exit 1; }
count() { cloc --quiet --csv "$@" | awk -F, '$2 == "SUM" { print $5 }'; }
tests=$(count tests)
code=$(count src include tools)
awk -v t="$tests" -v c="$code" 'BEGIN { printf "tests %d, code %d, ratio %.1f%%\n", t, c, 100 * t / c }'
