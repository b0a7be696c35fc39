#!/usr/bin/env bash
# Installs what is missing, builds the suite under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs it with CTest.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
jobs="$(nproc)"
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQZ_SANITIZE=ON
cmake --build build/sanitize -j"$jobs"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir build/sanitize -j"$jobs" --output-on-failure --timeout 300
