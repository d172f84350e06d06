#!/bin/sh
# Runs a Windows program under Wine with a private, quiet prefix so that the
# first start needs no interaction and nothing in $HOME is touched.
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${VIDRA_WINEPREFIX:-$here/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export DISPLAY=
exec wine "$@"
