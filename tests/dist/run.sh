#!/bin/bash
# run.sh LINUX_BUILD_DIR WINDOWS_BUILD_DIR (part of `make test`)
# Packs the two built trees as `make dist` does, into a scratch folder, and
# tests each archive from a fresh folder of its own (dist_test.sh).
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd -P)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
linux=$("$src/cmake/dist.sh" "$1" linux "$out")
windows=$("$src/cmake/dist.sh" "$2" windows "$out")
ls -l "$linux" "$windows" | awk '{print "dist test: " $NF ", " $5 " bytes"}' >&2
"$src/tests/dist/dist_test.sh" "$linux" linux "$src" "$1"
"$src/tests/dist/dist_test.sh" "$windows" windows "$src" "$2"
