#!/bin/sh
# Runs a program for help2man. Its usage may continue on indented lines, which help2man
# would take for the description; the synopsis comes from the page's include file instead.
program="$1"
shift
if [ "$1" = "--help" ]; then
    "$program" --help | sed '/^Usage:/,/^$/{/^Usage:/!{/^ /d}}'
else
    exec "$program" "$@"
fi
