#!/bin/sh
# Installs the Debian packages the build, the tests and the demo need, when any is missing.
set -eu
packages="cmake ninja-build g++ make binutils pkg-config libopenimageio-dev openimageio-tools
  libgtest-dev libgmock-dev googletest libbenchmark-dev clang libclang-rt-dev clang-format git"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
