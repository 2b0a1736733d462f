#!/bin/sh
# Installs every Debian package Tessaly needs to build, test, benchmark and run.
# Quiet when everything is already there.
set -e

PACKAGES="build-essential cmake ninja-build pkg-config
 qt6-base-dev qt6-base-dev-tools libgl-dev
 zlib1g-dev libjpeg62-turbo-dev libssl-dev libdw-dev
 libgtest-dev libbenchmark-dev
 clang libclang-rt-14-dev
 python3 curl nginx-light python3-aiosmtpd dnsmasq-base xdg-utils
 xvfb xauth x11-utils imagemagick gifsicle libgif-dev time
 fonts-liberation2 fonts-dejavu-core"

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
