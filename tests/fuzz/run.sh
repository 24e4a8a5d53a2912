#!/usr/bin/env bash
# Runs every fuzz target of the fuzz preset for a bounded time each.
#
#   cmake --preset fuzz && cmake --build --preset fuzz
#   tests/fuzz/run.sh [SECONDS_PER_TARGET] [TARGET...]     (default 60 s, every target)
#
# Each target starts from its seed corpus (tests/fuzz/corpus/NAME, copied, never written to)
# and fails on a crash, a sanitizer report or a broken invariant; the input that did it is
# left in build/fuzz/findings/NAME/. Exit 0 when no target found anything.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-60}
shift || true
build=$PWD/build/fuzz  # absolute: some targets work in a directory of their own
targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  for f in tests/fuzz/*_fuzz.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
status=0
for target in "${targets[@]}"; do
  name=${target%_fuzz}
  if [[ ! -x $build/$target ]]; then
    echo "fuzz: $build/$target is not built (cmake --preset fuzz && cmake --build --preset fuzz)"
    exit 1
  fi
  corpus=$(mktemp -d /tmp/qv_fuzz_${name}.XXXXXX)
  [[ -d tests/fuzz/corpus/$name ]] && cp -r tests/fuzz/corpus/$name/. "$corpus/"
  findings=$build/findings/$name
  mkdir -p "$findings"
  echo "=== fuzz $target for $seconds s"
  if "$build/$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 \
      -artifact_prefix="$findings/" -print_final_stats=1 "$corpus" > "$findings/log.txt" 2>&1; then
    grep -E '^(stat::number_of_executed_units|Done )' "$findings/log.txt" || true
  else
    echo "FAULT in $target; input and log in $findings/"
    grep -E 'ERROR|fuzz fault|SUMMARY|runtime error' "$findings/log.txt" | head -20 || true
    status=1
  fi
  rm -rf "$corpus"
done
exit $status
