#!/bin/sh
# Builds the condition evaluator's fuzz target with clang's libFuzzer (and AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs it for a bounded time from the seed texts.
# Usage: scripts/fuzz.sh BUILD_DIR SECONDS
set -eu
build=${1:-build-fuzz}
seconds=${2:-30}
mkdir -p "$build"
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -Iswitches/condition switches/condition/condition.cpp tests/fuzz/condition_fuzz.cpp \
  -o "$build/condition_fuzz"
corpus="$build/condition-corpus"
mkdir -p "$corpus"
"$build/condition_fuzz" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -max_len=4096 \
  -print_final_stats=1 "$corpus" tests/fuzz/seeds 2> "$build/condition_fuzz.log" || {
  tail -n 60 "$build/condition_fuzz.log"
  echo "condition fuzzing failed"
  exit 1
}
grep -E "stat::number_of_executed_units|Done" "$build/condition_fuzz.log" | tail -n 2
echo "condition fuzzing: clean for ${seconds} s"
