#!/bin/sh
# ophost edit --demo in a window (run under a virtual display): waits for the
# window, asks it to quit as a window manager would, and checks that the
# editor closed cleanly with its screenshot and settings written.
# Usage: window_edit.sh OPHOST FOLDER
set -u
OPHOST="$1"
DIR="$2"
rm -rf "$DIR" && mkdir -p "$DIR/home" && cd "$DIR" || exit 1
QVHOME="$DIR/home" "$OPHOST" edit --demo --screenshot window.png --save-settings window.zvs &
pid=$!
tries=0
until xwininfo -root -tree 2>/dev/null | grep -q '"ophost"'; do
    tries=$((tries + 1))
    if [ $tries -gt 600 ] || ! kill -0 $pid 2>/dev/null; then
        echo "window_edit: no window appeared"
        kill -9 $pid 2>/dev/null
        exit 1
    fi
    sleep 0.1
done
sleep 0.5
kill -TERM $pid
wait $pid
status=$?
if [ $status -ne 0 ]; then echo "window_edit: ophost edit ended with status $status"; exit 1; fi
[ -s window.png ] || { echo "window_edit: no screenshot"; exit 1; }
[ "$(wc -c < window.zvs)" -eq 224 ] || { echo "window_edit: the settings record was not saved whole"; exit 1; }
echo "window_edit: ok"
