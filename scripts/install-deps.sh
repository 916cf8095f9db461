#!/usr/bin/env bash
# Installs every Debian package the project needs. Idempotent: when everything is
# already installed it only runs dpkg-query and returns at once.
set -euo pipefail

PACKAGES=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-svg-dev libqt6svg6 qt6-qpa-plugins qt6-translations-l10n
  unixodbc unixodbc-dev odbcinst
  sqlite3 libsqliteodbc
  postgresql odbc-postgresql
  libxlsxwriter-dev zlib1g-dev
  libgtest-dev
  xvfb xauth openbox x11-utils
  fonts-dejavu-core fonts-liberation2 fonts-wine
  python3-openpyxl python3-xlsxwriter python3-pyodbc
  time valgrind
  dpkg-dev desktop-file-utils man-db groff-base
  imagemagick xdotool wmctrl
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}" >&2
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq || true
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
