#!/usr/bin/env bash
# Sets up everything the tests need on a fresh Debian machine and runs every test:
# packages, build, the project's PostgreSQL cluster, the test databases, then CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
bash scripts/setup-test-data.sh
cd build
ctest --output-on-failure --timeout 600 -j1 "$@"
