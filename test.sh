#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole suite twice: in the default
# build and under AddressSanitizer + UndefinedBehaviorSanitizer. Non-zero on any failure.
set -uo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
zm_setup || exit 1

status=0
for preset in default asan; do
    echo "=== $preset: build"
    if ! zm_build "$preset"; then
        echo "=== $preset: BUILD FAILED"
        status=1
        continue
    fi
    echo "=== $preset: tests"
    if ! ctest --preset "$preset"; then
        echo "=== $preset: TESTS FAILED"
        status=1
    fi
done
exit $status
