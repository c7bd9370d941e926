#!/usr/bin/env bash
# Runs a Windows test program under Wine in the prefix whose user profile folder is named in
# several scripts (USER gives the name when the prefix is made; no ANSI code page holds all of
# it), so that AppData, Documents and the temporary folder are too.
#   wine_profile_test.sh <program.exe> [arguments...]
# The prefix is the program run's (wine_program_test.sh), made here on first use in the same
# way. The run waits for the prefix's wineserver to end: the program run that may follow must
# start a desktop of its own, on its display.
# WINE, WINEPREFIX and USER come from the environment.
set -euo pipefail
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  WINEDLLOVERRIDES="mscoree,mshtml=" "$WINE" wineboot --init >/dev/null 2>&1
fi
status=0
"$WINE" "$@" || status=$?
"$(dirname "$WINE")/wineserver" -w
exit $status
