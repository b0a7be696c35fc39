#!/usr/bin/env bash
# Installs what is missing, builds Release, generates the game's data set into
# gamedata/ (again whenever the generator changed, keeping the saves and the
# configuration) and starts the game in it.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DQZ_BUILD_TESTS=OFF -DQZ_BUILD_BENCH=OFF
cmake --build build/release --target veltrin veltrin_data -j"$(nproc)"
generator=build/release/tools/veltrin_data
if [ ! -f gamedata/.generated ] || [ "$generator" -nt gamedata/.generated ]; then
  rm -rf gamedata.new
  "$generator" gamedata.new
  if [ -d gamedata/save ]; then
    rm -rf gamedata.new/save
    cp -a gamedata/save gamedata.new/save
  fi
  rm -rf gamedata
  mv gamedata.new gamedata
  touch gamedata/.generated
fi
cd gamedata
exec ../build/release/veltrin "$@"
