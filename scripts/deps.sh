#!/bin/sh
# Installs the Debian packages the build and the tests need, when missing.
set -e
PACKAGES="build-essential libmlt-dev libmlt++-dev melt kdenlive-data cmake g++-multilib libgtest-dev libpng-dev zlib1g-dev
libsdl2-dev libsdl2-ttf-dev fonts-dejavu-core ffmpeg clang libclang-rt-14-dev binutils xvfb x11-utils xdotool
libavformat-dev libavcodec-dev libavutil-dev libswscale-dev pkg-config time
parallel slurm-wlm munge"
missing=""
for p in $PACKAGES; do
    dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
if [ -n "$missing" ]; then
    echo "installing:$missing" >&2
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing >/dev/null
fi
