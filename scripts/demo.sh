#!/bin/sh
# Renders every example network into out/ and prints the paths.
set -eu
build=${1:-build}
tessera="$build/host/tessera/tessera"
mkdir -p out
if [ ! -x "$tessera" ]; then
  echo "demo: $tessera is not built yet; the plug-ins are in $build/plugins"
  ls "$build"/plugins/*.so
  exit 0
fi
for net in examples/*.rib; do
  [ -e "$net" ] || continue
  name=$(basename "$net" .rib)
  "$tessera" render "$net" -o "out/$name.png" --size 512x512
  echo "out/$name.png"
done
