#!/bin/sh
# Renders every example network into out/ and prints the paths. A line "# render: ARGS" in a
# network file adds ARGS to its render command.
set -eu
build=${1:-build}
tessera="$build/host/tessera/tessera"
mkdir -p out
for net in examples/*.rib; do
  name=$(basename "$net" .rib)
  extra=$(sed -n 's/^# render://p' "$net" | head -n 1)
  # shellcheck disable=SC2086
  "$tessera" render "$net" -o "out/$name.png" --size 512x512 --samples 2 $extra
  echo "out/$name.png"
done
