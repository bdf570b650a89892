#!/usr/bin/env bash
# Two clean builds of the same sources give the same launcher bytes.
#   check_reproducible.sh SOURCE_DIR SCRATCH_DIR FIRST_EXECUTABLE [-DSETTING=VALUE...]
# The settings are the first tree's (toolchain, build type and the build
# settings the image holds, such as its update server and its publisher): the
# second tree is configured with exactly these, so only the build itself
# could make the bytes differ.
set -euo pipefail
source_dir=$1 scratch=$2 first=$3
shift 3
rm -rf "$scratch"
cmake -S "$source_dir" -B "$scratch" -DBUILD_TESTING=OFF "$@" >/dev/null
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
