#!/usr/bin/env bash
# Installs what is missing, builds Release and runs the main program.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DQZ_BUILD_TESTS=OFF -DQZ_BUILD_BENCH=OFF
cmake --build build/release --target veltrin -j"$(nproc)"
exec build/release/veltrin "$@"
