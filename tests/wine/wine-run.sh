#!/bin/sh
# Runs a Windows test program under Wine: wine-run.sh PREFIX PROGRAM [ARGS...]. wine64 runs
# 64-bit programs itself and hands 32-bit ones to the i386 wine32 loader.
# The prefix lives in the build folder; HOME points at a scratch folder beside it, because
# the prefix's Desktop and Documents folders are links into HOME and tests place shortcuts.
prefix=$1
shift
home="$prefix-home"
mkdir -p "$home"
export WINEPREFIX="$prefix" WINEDEBUG=-all HOME="$home" WINEDLLOVERRIDES="winemenubuilder.exe=d"
exec /usr/lib/wine/wine64 "$@"
