# Sourced by tools/build-windows.sh and bench/wine.sh: one Wine session in the
# prefix $WINEPREFIX (default: the folder given as $1), quiet, with its own
# server for the whole run. Sets $wine and $wineserver; the caller stops the
# server with "$wineserver" -k when it is done.
#
# Debian's wineserver wrapper starts the server with -p0, so it quits as soon
# as a program ends, and a program that connects in that moment fails ("wine
# client error"): the server here is started persistent. Wine's services start
# with the first program and stay with the server; they must not hold a test's
# output pipe open, so they start here too.
export WINEDEBUG=-all
export WINEPREFIX="${WINEPREFIX:-$1}"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
"$wine" wineboot -i > /dev/null 2>&1 || true # makes the prefix on the first run
"$wineserver" -k 2> /dev/null || true          # the server wineboot started
"$wineserver" -p
"$wine" wineboot > /dev/null 2>&1 || true
