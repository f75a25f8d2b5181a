#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing.
set -euo pipefail
PACKAGES=(cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
          qt6-base-dev qt6-svg-dev libqt6svg6 libicu-dev unixodbc-dev libodbc2 libmspack-dev
          libsqlite3-dev libgtest-dev libgmock-dev libbenchmark-dev
          fonts-dejavu-core)
# One query for all: a second start should not wait on the package database.
# dpkg-query exits non-zero when any package is missing: that is the case to handle, not an error.
installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${PACKAGES[@]}" 2>/dev/null | awk '/install ok installed/ {print $1}' || true)
missing=()
for p in "${PACKAGES[@]}"; do
  grep -qxF "$p" <<<"$installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
