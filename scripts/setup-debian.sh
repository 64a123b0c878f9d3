#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need,
# when any is missing. Safe to run again.
set -euo pipefail

packages=(
  # build
  cmake g++ make pkg-config
  # the format check
  clang-format
  # packaging: the desktop entry's check, and the package's dependencies
  desktop-file-utils dpkg-dev
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
  # fuzzing (libFuzzer with ASan+UBSan), and the soak run's window manager and clicks
  clang-14 libclang-rt-14-dev openbox xdotool x11-utils
  # the web server's tests: an HTTP client library, and a browser with its driver's runtime
  curl libcurl4-openssl-dev chromium nodejs
  # the HTTPS test's throw-away certificate
  openssl
  # the web address's QR code, and the reader its test checks it with
  libqrencode-dev zbar-tools
  # scanning pages: page outline and perspective, text recognition with its
  # English model, the simulated document's typeface, and the PDF checks and
  # the reference OCR program of the scan tests and benchmark
  libopencv-imgproc-dev libtesseract-dev tesseract-ocr-eng fonts-dejavu-core libfreetype-dev
  libqpdf-dev qpdf ocrmypdf
)

# The browser test's driver, at the version the committed lock file names.
install_browser_driver() {
  local dir
  dir="$(cd "$(dirname "$0")/.." && pwd)/tests/server/browser"
  command -v npm >/dev/null || return 0
  [ -d "$dir/node_modules/playwright-core" ] || (cd "$dir" && npm ci --no-audit --no-fund --silent)
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  install_browser_driver
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
# Debian's nodejs comes without npm; a nodejs that brings its own keeps it.
command -v npm >/dev/null || DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends npm
install_browser_driver
