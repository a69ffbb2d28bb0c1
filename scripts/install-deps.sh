#!/bin/sh
# Installs what building and testing need on a fresh Debian machine.
set -eu
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends \
  cmake make g++ g++-multilib clang libclang-rt-dev qemu-user \
  librapidxml-dev nlohmann-json3-dev zlib1g-dev lib32z1-dev \
  googletest libgtest-dev
