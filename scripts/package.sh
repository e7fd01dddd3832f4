#!/usr/bin/env bash
# Builds the Debian packages zormanager (once the desktop program is part of the build),
# zormanagerd and zormanager-tools into dist/, from the default build (build/default).
# Installs what is missing first, like run.sh and test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
zm_setup

cmake --preset default >/dev/null
cmake --build --preset default --target zm_package_contents -j "$(nproc)"

rm -rf dist
cpack --config build/default/CPackConfig.cmake -B dist
rm -rf dist/_CPack_Packages
echo
for package in dist/*.deb; do
    printf '%s  %s bytes\n' "$package" "$(stat -c %s "$package")"
done
echo "Install on a Debian 12 machine with: sudo apt install ./dist/zormanagerd_*.deb (see README.md)"
