#!/usr/bin/env bash
# Installs what is missing, runs the threaded tests under ThreadSanitizer,
# builds the main program as ./play.sh does, then builds the whole suite under
# AddressSanitizer and UndefinedBehaviorSanitizer and runs it with CTest.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
jobs="$(nproc)"

# The threaded parts (lock, allocator, log, file threads, events, message
# queues, the device's raster workers) under ThreadSanitizer first; the whole
# suite under ASan and UBSan last.
cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQZ_TSAN=ON -DQZ_BUILD_BENCH=OFF
cmake --build build/tsan -j"$jobs" --target qz_thread_tests
TSAN_OPTIONS="halt_on_error=1" build/tsan/tests/qz_thread_tests --gtest_brief=1 \
  --gtest_filter='LibraryLock.*:TrackedMemoryTest.*:FileAccessPlainSet.*:FileReadLine.*:LogFileTest.*:PlatformEvent.*:PlatformThread.*:LibraryClock.*:WindowQueue.*:PumpTest.*:LibraryLifecycle.*:SoundPlay.*:SoundPlayRealTime.*:TheoraMovieFile.*:TheoraDecode.*:ChromaLayouts/TheoraConvert.*:MovieHandles.*:BothRenderers/MovieGraph.*:Raster*:Workers/D3D9RasterBands.*:D3D9Draw.*:Workers/D3D9PresentWait.*:WindowFrameWait.*'

# The main program as ./play.sh builds it: optimised builds warn differently.
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DQZ_BUILD_TESTS=OFF -DQZ_BUILD_BENCH=OFF
cmake --build build/release -j"$jobs" --target veltrin

# The model of a player draws trials of this commit's seed base, never played
# before: a failing one prints QZ_PLAYER_MODEL_SEED=N, which replays them.
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQZ_SANITIZE=ON -DQZ_FRESH_TRIALS=ON
cmake --build build/sanitize -j"$jobs"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan_suppressions.txt"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
if ! ctest --test-dir build/sanitize -j"$jobs" --output-on-failure --timeout 300; then
  # The model's seed base once more where a failed run's output ends.
  grep -ho "QZ_PLAYER_MODEL_SEED=[0-9]*" build/sanitize/Testing/Temporary/LastTest.log | sort -u |
    sed 's/$/ replays the player model trials of this run/' || true
  exit 1
fi

# Every fuzz target built with clang and replayed once over a seed corpus
# written in code and its kept regression inputs (fuzz/regressions/<target>/):
# a target that stops building, a fixed crash that comes back or an input that
# runs over a minute or takes over 1 GiB (the game's targets take about 430
# MiB) fails here.
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQZ_BUILD_TESTS=OFF \
  -DQZ_BUILD_BENCH=OFF
cmake --build build/fuzz -j"$jobs" --target qz_fuzz_targets
rm -rf build/fuzz/seeds
build/fuzz/fuzz/qz_fuzz_seeds build/fuzz/seeds
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
for target in build/fuzz/fuzz/*_fuzz; do
  name="$(basename "$target")"
  inputs=("build/fuzz/seeds/$name")
  if [ -d "fuzz/regressions/$name" ]; then inputs+=("fuzz/regressions/$name"); fi
  QZ_BACKEND=headless "$target" -runs=0 -timeout=60 -rss_limit_mb=1024 "${inputs[@]}"
done
