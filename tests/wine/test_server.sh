#!/bin/sh
# The Wine server the Windows test programs share: test_server.sh start|stop
# WINE WINESERVER, run by CTest's setup and cleanup tests with WINEPREFIX set.
#
# Debian's wineserver wrapper starts the server with no persistence, so
# without one kept for the run each test program would start a server of its
# own while the last one was still shutting down, and a program that reached
# the dying one failed at once ("wine client error: recvmsg: Connection reset
# by peer").
set -u
wine=$2 wineserver=$3

case $1 in
start)
    # The first start of Wine creates the prefix, which takes a while.
    "$wine" cmd /c exit || exit 1
    # The server that created the prefix has to be gone first, or -p would
    # only reach it and return. A kept server left behind by a run stopped
    # before its cleanup never goes by itself: it is stopped.
    timeout 30 "$wineserver" -w || { "$wineserver" -k; "$wineserver" -w; }
    # The first program of the kept server starts Wine's own services, which
    # live as long as the server does: they are started here, away from
    # CTest's output, which would otherwise stay open and keep CTest waiting.
    { "$wineserver" -p && "$wine" cmd /c exit; } </dev/null >/dev/null 2>&1
    ;;
stop)
    "$wineserver" -k
    "$wineserver" -w
    exit 0
    ;;
esac
