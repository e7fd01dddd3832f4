#!/usr/bin/env bash
# Installs what is missing, builds, and starts the headless server. Without --home it keeps
# all its files (settings, logs, KML, locks) in the repository's ignored run/ folder.
# Stop it with Ctrl-C; it shuts down in order and writes its closing log entries.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
zm_setup
zm_build default

args=("$@")
case " $* " in
    *" --home "* | *" --home="* | *" --help "* | *" --version "*) ;;
    *) args=(--home "$PWD/run" "${args[@]}") ;;
esac
exec ./build/default/apps/zormanagerd/zormanagerd "${args[@]}"
