#!/usr/bin/env bash
# Configures (once) and builds everything into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo}
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build -G "Unix Makefiles" -DCMAKE_BUILD_TYPE="$BUILD_TYPE" >/dev/null
fi
cmake --build build -j"$(nproc)" "$@"
