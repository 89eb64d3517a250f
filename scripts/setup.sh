#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need, once.
# Idempotent: only missing packages are fetched, so a second run costs a dpkg query.
set -euo pipefail

PACKAGES=(
  # build
  cmake g++ make pkg-config
  # libraries
  libicu-dev libpcre2-dev libcurl4-openssl-dev libssl-dev qt6-base-dev
  # tests and benchmarks
  googletest libgtest-dev libbenchmark-dev python3 openssl nodejs tinyproxy curl libxcb1-dev
  # the real window under a virtual display
  xvfb xauth xdotool xclip x11-utils
  # a window manager that draws frames, to check the window inside one
  openbox
  # a font with Chinese characters, for the window's texts
  fonts-wqy-microhei
  # opening an address with the user's default handler
  xdg-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}" >&2
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
