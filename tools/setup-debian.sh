#!/bin/bash
# Installs everything the project needs on a bare Debian machine (run as root).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends \
    cmake make g++ python3 \
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 googletest \
    wine wine64 xvfb xauth x11-utils imagemagick xdotool gcab locales >/dev/null
echo "setup-debian: done"
