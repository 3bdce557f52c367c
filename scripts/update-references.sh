#!/bin/sh
# Renders every example network small into tests/reference/, the images the regression test
# compares renders with. Run it when a change to a node's output is intended, and say why in
# the commit.
# Usage: scripts/update-references.sh [BUILD_DIR]
set -eu
build=${1:-build}
for net in examples/*.rib; do
  name=$(basename "$net" .rib)
  extra=$(sed -n 's/^# render://p' "$net" | head -n 1)
  # shellcheck disable=SC2086
  "$build/host/tessera/tessera" render "$net" -o "tests/reference/$name.exr" --size 48x48 $extra
done
