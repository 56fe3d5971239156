#!/bin/sh
# Runs a Windows test program under wine64: wine-run.sh PREFIX PROGRAM [ARGS...]
# The prefix lives in the build folder; HOME points at a scratch folder beside it, because
# the prefix's Desktop and Documents folders are links into HOME and tests place shortcuts.
prefix=$1
shift
home="$prefix-home"
mkdir -p "$home"
export WINEPREFIX="$prefix" WINEDEBUG=-all HOME="$home" WINEDLLOVERRIDES="winemenubuilder.exe=d"
exec /usr/lib/wine/wine64 "$@"
