#!/usr/bin/env bash
# Installs what is missing, builds, and starts the headless server with the given arguments.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
zm_setup
zm_build default
exec ./build/default/apps/zormanagerd/zormanagerd "$@"
