#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need,
# when any is missing. Safe to run again.
set -euo pipefail

packages=(
  # build
  cmake g++ make pkg-config
  # GUI, printing, the panel's font (Arial's metrics)
  qt6-base-dev fonts-liberation2
  # movies
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev
  # the web server (--serve)
  libmicrohttpd-dev
  # real cameras, and the emulated USB device of their tests
  libusb-1.0-0-dev umockdev libumockdev-dev
  # tests and benchmarks, and the independent readers the tests compare with
  libgtest-dev libgmock-dev libbenchmark-dev libturbojpeg0-dev libjpeg-turbo-progs
  imagemagick poppler-utils ffmpeg xvfb xauth
  # the web server's tests: an HTTP client library, and a browser with its driver's runtime
  libcurl4-openssl-dev chromium nodejs npm
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
