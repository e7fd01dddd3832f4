#!/usr/bin/env bash
# Installs what is missing, builds, and starts the headless server. Without arguments it
# runs the demo; without --home it keeps all its files (settings, logs, KML, locks) in the
# repository's ignored run/ folder.
# Stop it with Ctrl-C; it shuts down in order and writes its closing log entries.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
zm_setup
zm_build default

args=("$@")
if [ "$#" -eq 0 ]; then
    # The demo: emulated sensors on the sea and two on a simulated bus (zor-sim, which the
    # server starts and stops itself), and the web server without waiting for an Internet
    # check that an isolated machine would never pass.
    args=(--demo --no-internet-check)
    echo "Demo: logs in $PWD/run/Documents/Logs/, map on http://127.0.0.1:8889/preview (Ctrl-C stops)"
fi
case " ${args[*]} " in
    *" --home "* | *" --home="* | *" --help "* | *" --version "*) ;;
    *) args=(--home "$PWD/run" "${args[@]}") ;;
esac
exec ./build/default/apps/zormanagerd/zormanagerd "${args[@]}"
