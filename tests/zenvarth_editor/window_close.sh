#!/bin/sh
# ophost edit --demo in a window (run under a virtual display), closed with
# Alt+C after a setting changed and with no --save-settings: the question is
# answered from the keyboard, as a user would. Escape twice goes back to the
# editor; closing again, Return saves through the file requester. A second
# run answers Escape, then Return: the changes are discarded.
# Usage: window_close.sh OPHOST FOLDER
set -u
OPHOST="$1"
DIR="$2"
rm -rf "$DIR" && mkdir -p "$DIR/home" && cd "$DIR" || exit 1
pid=
fail() {
    echo "window_close: $*"
    cat err.txt
    [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null
    exit 1
}
# Until standard error holds COUNT lines with TEXT (the editor's timings name
# each event it handled).
waitFor() {
    tries=0
    while [ "$(grep -c "$1" err.txt)" -lt "$2" ]; do
        tries=$((tries + 1))
        [ $tries -gt 300 ] && fail "no '$1' (x$2) in time"
        kill -0 "$pid" 2>/dev/null || fail "ophost ended early"
        sleep 0.1
    done
}
start() {
    : > err.txt
    QVHOME="$DIR/home" "$OPHOST" edit --demo --timings > out.txt 2> err.txt &
    pid=$!
    waitFor "input 0 field 0" 1
    tries=0
    until win=$(xdotool search --name '^ophost' 2>/dev/null | head -1) && [ -n "$win" ]; do
        tries=$((tries + 1))
        [ $tries -gt 300 ] && fail "no window appeared"
        sleep 0.1
    done
    sleep 0.3
}
keys() { xdotool key --window "$win" "$@" || fail "cannot send $*"; }
# The keyer page's first slider, one step right: the record changes.
change() {
    keys s 1 Right
    waitFor "(key)" 3
}
# Alt+C, then the answer to "save?" and what follows it.
closeAnswering() {
    keys alt+c
    sleep 0.5
    keys "$1"
    sleep 0.3
    keys "$2"
}
finish() {
    tries=0
    while kill -0 "$pid" 2>/dev/null; do
        tries=$((tries + 1))
        [ $tries -gt 300 ] && fail "ophost did not end"
        sleep 0.1
    done
    wait "$pid"
    status=$?
    pid=
    [ $status -eq 0 ] || fail "ophost edit ended with status $status"
}

preset="$DIR/home/programs/zenvarth/kept.zvp"
start
change
closeAnswering Escape Escape   # save? no; discard? no: back to the editor
sleep 1
kill -0 "$pid" 2>/dev/null || fail "the editor did not come back"
keys alt+c
sleep 0.5
keys Return        # save? yes: the file requester
sleep 0.5
xdotool type --window "$win" kept.zvp
keys Return
finish
[ "$(wc -c < "$preset" 2>/dev/null)" = 224 ] || fail "no preset saved"
grep -q "settings saved to $preset" err.txt || fail "no note of the save"
grep -q "draw [0-9.]* ms" err.txt || fail "no timings"

rm -f "$preset"
start
change
closeAnswering Escape Return   # save? no; discard? yes
finish
grep -q "nothing was saved" err.txt || fail "no note that nothing was saved"
[ -e "$preset" ] && fail "a file was saved after discard"
echo "window_close: ok"
