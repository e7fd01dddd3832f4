#!/usr/bin/env bash
# Installs what is missing, builds the program it starts (not the test suite) and starts
# it: the desktop program when a display is there ($DISPLAY or $WAYLAND_DISPLAY), the
# headless server otherwise or with --headless. Without arguments it runs the demo;
# without --home it keeps all its files (settings, logs, KML, locks) in the repository's
# ignored run/ folder.
# The desktop program ends with its window; the server with Ctrl-C. Both shut down in
# order and write their closing log entries.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
zm_setup

headless=0
args=()
for arg in "$@"; do
    if [ "$arg" = "--headless" ]; then
        headless=1
    else
        args+=("$arg")
    fi
done
if [ "$headless" -eq 0 ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display (\$DISPLAY, \$WAYLAND_DISPLAY): starting the headless server."
    headless=1
fi
if [ "$headless" -eq 1 ]; then
    program=zormanagerd
else
    program=zormanager
fi
zm_build default "$program"

if [ "${#args[@]}" -eq 0 ]; then
    # The demo: emulated sensors on the sea and two on a simulated bus (zor-sim, which the
    # program starts and stops itself), and the web server without waiting for an Internet
    # check that an isolated machine would never pass.
    args=(--demo --no-internet-check)
    if [ "$headless" -eq 1 ]; then
        echo "Demo: logs in $PWD/run/Documents/Logs/, map on http://127.0.0.1:8889/preview (Ctrl-C stops)"
    else
        echo "Demo: logs in $PWD/run/Documents/Logs/, map on http://127.0.0.1:8889/preview (close the window to stop)"
    fi
fi
case " ${args[*]} " in
    *" --home "* | *" --home="* | *" --help "* | *" --version "*) ;;
    *) args=(--home "$PWD/run" "${args[@]}") ;;
esac
exec "./build/default/apps/$program/$program" "${args[@]}"
