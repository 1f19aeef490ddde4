#!/usr/bin/env bash
# Installs the Debian packages the build needs, and any named as arguments, when they are missing:
# with apt-get when run as root, otherwise it prints the one command to run and stops.
set -euo pipefail

packages=(cmake g++ make liblog4cxx-dev libboost-dev libpugixml-dev libcli11-dev libgtest-dev
          libgmock-dev libpwizlite-dev zlib1g-dev nlohmann-json3-dev pkgconf jq libdeflate-dev time
          help2man librsvg2-bin libgit2-dev python3-minimal libpython3-stdlib libxml2-utils "$@")
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  echo "Installing ${missing[*]}" >&2
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
else
  echo "Missing packages. Run:" >&2
  echo "  sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
