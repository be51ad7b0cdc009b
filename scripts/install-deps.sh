#!/bin/sh
# Installs what building, running, testing and packaging need on Debian: the
# compiler, CMake and Qt 6 (plus Xvfb, to run the windows without a display),
# the Tango icons the program bundles as its fallback icon set, dpkg-dev for
# the Debian package's dependencies, and clang with its runtime libraries for
# the table-file reader's fuzz target (fuzz/). The sanitizer build of the
# tests uses g++'s own AddressSanitizer and UndefinedBehaviorSanitizer.
set -e
packages="cmake g++ make pkg-config qt6-base-dev xvfb xauth tango-icon-theme dpkg-dev clang libclang-rt-dev"
missing=""
for p in $packages; do
    dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
