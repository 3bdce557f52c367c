#!/bin/sh
# Every plug-in exports CreateRixPattern and DestroyRixPattern and nothing else of ours, and
# (outside sanitizer builds) needs only the C++ standard library, libm and the C runtime.
# Usage: check_plugin_exports.sh PLUGIN_DIR [check-needed]
set -eu
dir=$1
check_needed=${2:-}
status=0
count=0
for so in "$dir"/*.so; do
  [ -e "$so" ] || continue
  count=$((count + 1))
  symbols=$(nm -D --defined-only "$so" | awk '{print $NF}' |
    grep -v -x -e _init -e _fini -e __bss_start -e _edata -e _end | sort | tr '\n' ' ')
  if [ "$symbols" != "CreateRixPattern DestroyRixPattern " ]; then
    echo "$so: exports '$symbols', expected only CreateRixPattern and DestroyRixPattern"
    status=1
  fi
  if [ -n "$check_needed" ]; then
    needed=$(readelf -d "$so" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' |
      grep -v -e '^libstdc++\.so' -e '^libm\.so' -e '^libc\.so' -e '^libgcc_s\.so' -e '^ld-linux' || true)
    if [ -n "$needed" ]; then
      echo "$so: depends on $needed"
      status=1
    fi
  fi
done
if [ "$count" -eq 0 ]; then
  echo "no plug-ins in $dir"
  exit 1
fi
echo "checked $count plug-ins"
exit $status
