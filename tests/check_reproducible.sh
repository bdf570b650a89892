#!/usr/bin/env bash
# Two clean builds of the same sources give the same launcher bytes.
#   check_reproducible.sh SOURCE_DIR SCRATCH_DIR FIRST_EXECUTABLE UPDATE_SERVER PUBLISHER PUBLISHER_ROOTS \
#                         ALLOW_UNSIGNED
# (the first build's settings that reach the launcher: the update server's
# address, the publisher, its pinned CA certificates and whether an empty
# publisher was allowed)
set -euo pipefail
source_dir=$1 scratch=$2 first=$3 update_server=$4 publisher=$5 publisher_roots=$6 allow_unsigned=$7
rm -rf "$scratch"
cmake -S "$source_dir" -B "$scratch" -DBUILD_TESTING=OFF -DVELORA_UPDATE_SERVER="$update_server" \
  -DVELORA_PUBLISHER="$publisher" -DVELORA_PUBLISHER_ROOTS="$publisher_roots" \
  -DVELORA_ALLOW_UNSIGNED_INSTALLERS="$allow_unsigned" >/dev/null
cmake --build "$scratch" --target vl6Launcher -j "$(nproc)" >/dev/null
second=$scratch/$(basename "$first")
if cmp -s "$first" "$second"; then
  echo "identical: $(sha256sum <"$first" | cut -c1-16)"
  rm -rf "$scratch"
else
  echo "FAIL: $first and $second differ"
  cmp -l "$first" "$second" | head -20
  exit 1
fi
