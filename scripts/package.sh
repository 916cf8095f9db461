#!/usr/bin/env bash
# Builds the Debian package of the two programs into build/ (dravik-auditor_<version>_<arch>.deb):
# the packages the build needs, the build itself (scripts/build.sh), then CPack's DEB generator
# on the build tree's install rules. Install it with: apt install ./build/<name>.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
cd build
cpack -G DEB
ls -1 "$PWD"/*.deb
