#!/usr/bin/env bash
# Installs every Debian 12 package Quillmar needs to build, run, test and benchmark.
# Skips what is installed; quick when nothing is missing.  Run it as root or as a user who may
# use sudo: it asks for sudo itself, and only when packages are missing.
#   tools/setup.sh          build, run and test
#   tools/setup.sh --bench  also the peers the benchmarks compare against
set -euo pipefail

pkgs=(
  build-essential g++ cmake ninja-build pkg-config git ca-certificates
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-webengine-dev qt6-webengine-dev-tools
  libqscintilla2-qt6-dev qt6-qpa-plugins qt6-translations-l10n libgl-dev
  libsqlite3-dev sqlite3 libpcre2-dev libcurl4-openssl-dev curl
  libarchive-dev libarchive-tools libgsf-1-dev libxlsxwriter-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-utils dbus at-spi2-core fonts-noto-cjk zip unzip python3 python3-html5lib locales openssl
  python3-openpyxl libreoffice-calc-nogui poppler-utils
)
# iconv and its CP932 tables come with libc-bin and libc6.
if [ "${1:-}" = "--bench" ]; then
  pkgs+=(hyperfine time)
fi

missing=()
for p in "${pkgs[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "setup: missing packages: ${missing[*]}" >&2
    echo "setup: run this as root (sudo is not installed) to install them" >&2
    exit 1
  fi
  SUDO="sudo"
fi
echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
