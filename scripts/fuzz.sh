#!/usr/bin/env bash
# Runs each libFuzzer target of a fuzz build for a bounded time, starting
# from its committed seeds (tests/fuzz/corpus/<target>) and what earlier runs
# of this build found (BUILD/corpus/<target>, where new inputs go). A crash
# stops the run with its input under BUILD/artifacts/<target>/.
#   scripts/fuzz.sh BUILD SECONDS [TARGET...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$1"
seconds="$2"
shift 2
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(response image url request)
# Stack traces need the symbolizer of the clang that built the targets.
[ -x /usr/lib/llvm-16/bin/llvm-symbolizer ] &&
  export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-16/bin/llvm-symbolizer

for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  artifacts="$build/artifacts/$target"
  mkdir -p "$corpus" "$artifacts"
  options=(-max_total_time="$seconds" -timeout=30 -rss_limit_mb=3072 -print_final_stats=1
           -artifact_prefix="$artifacts/")
  [ -f "$root/tests/fuzz/$target.dict" ] && options+=(-dict="$root/tests/fuzz/$target.dict")
  echo "== fuzzing $target for ${seconds}s"
  "$build/tests/fuzz/ovix_fuzz_$target" "${options[@]}" "$corpus" "$root/tests/fuzz/corpus/$target"
done
