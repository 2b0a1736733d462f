#!/bin/sh
# Installs the Debian packages of one set: `run` (build and start Tessaly) or `test` (also every test, benchmark,
# fuzz target and packaging check). Quiet when everything is already there.
set -e

SET=${1:-run}

RUN_PACKAGES="build-essential cmake ninja-build pkg-config
 qt6-base-dev qt6-base-dev-tools libgl-dev
 zlib1g-dev libjpeg62-turbo-dev libssl-dev libdw-dev
 fonts-liberation2 fonts-dejavu-core xdg-utils"

TEST_PACKAGES="$RUN_PACKAGES
 libgtest-dev libbenchmark-dev
 clang libclang-rt-14-dev
 python3 curl nginx-light openssl python3-aiosmtpd dnsmasq-base
 xvfb xauth x11-utils imagemagick gifsicle libgif-dev time
 desktop-file-utils appstream man-db dpkg-dev file"

case "$SET" in
  run) PACKAGES=$RUN_PACKAGES ;;
  test) PACKAGES=$TEST_PACKAGES ;;
  *) echo "usage: install-deps.sh [run|test]" >&2; exit 2 ;;
esac

missing=""
for p in $PACKAGES; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  case "$status" in
    *"install ok installed"*) ;;
    *) missing="$missing $p" ;;
  esac
done
[ -z "$missing" ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing:$missing"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
