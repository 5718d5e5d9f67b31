#!/bin/sh
# Spreads one ophost render over GNU parallel: the local cores, or a list of
# ssh hosts, then joins the chunks here.
#
#   scripts/farm/parallel.sh [-j N] [--chunks N] [--hosts FILE [--transfer]] \
#       [--ophost PATH] -- RENDER-ARGUMENTS...
#
# RENDER-ARGUMENTS are those of `ophost render` (OP, --in0, ..., -o OUT).
# ophost plans the chunks (`--chunks N --plan`), parallel runs one chunk
# command per job slot, and the plan's last line joins the parts into OUT.
#
#   -j N          jobs at once on each machine (default: its cores)
#   --chunks N    chunks to cut the render into (default: 2 per job slot
#                 locally, 4 per host with --hosts)
#   --hosts FILE  run on the ssh hosts listed in FILE (parallel's
#                 --sshloginfile; ":" is this machine). Without --transfer
#                 they must see the inputs and the output folder under the
#                 same paths (a shared folder).
#   --transfer    no shared folder: copy the inputs (and --settings file) to
#                 each host, bring each part back, clean up there. Paths in
#                 the plan are then relative to the current folder, and the
#                 output must be a single file (not a PNG sequence).
#   --ophost PATH the ophost program (default: build/bin/ophost beside this
#                 script, else ophost on PATH); with --hosts it must exist
#                 under that path on every host.
set -e
here="$(cd "$(dirname "$0")/../.." && pwd)"
ophost="$here/build/bin/ophost"
[ -x "$ophost" ] || ophost="ophost"
jobs="" chunks="" hosts="" transfer=0
while [ $# -gt 0 ]; do
    case "$1" in
    -j) jobs="$2"; shift 2 ;;
    --chunks) chunks="$2"; shift 2 ;;
    --hosts) hosts="$2"; shift 2 ;;
    --transfer) transfer=1; shift ;;
    --ophost) ophost="$2"; shift 2 ;;
    --) shift; break ;;
    -h|--help) sed -n '2,/^set -e/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "parallel.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
    esac
done
[ $# -gt 0 ] || { echo "parallel.sh: no render arguments after -- (see --help)" >&2; exit 2; }
command -v parallel >/dev/null || { echo "parallel.sh: GNU parallel is not installed" >&2; exit 1; }
[ "$transfer" = 0 ] || [ -n "$hosts" ] || { echo "parallel.sh: --transfer needs --hosts" >&2; exit 2; }
if [ -z "$chunks" ]; then
    if [ -n "$hosts" ]; then chunks=$((4 * $(grep -c . "$hosts"))); else chunks=$((2 * ${jobs:-$(nproc)})); fi
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT INT TERM
# The files the chunks read, for --transfer.
inputs=""
prev=""
for a in "$@"; do
    case "$prev" in --in0|--in1|--settings) [ "$a" = - ] || inputs="$inputs $a" ;; esac
    case "$a" in --in0=*|--in1=*|--settings=*) inputs="$inputs ${a#*=}" ;; esac
    prev="$a"
done
if [ "$transfer" = 0 ]; then
    "$ophost" render "$@" --chunks "$chunks" --plan --plan-program "$ophost" >"$work/plan"
else
    "$ophost" render "$@" --chunks "$chunks" --plan --plan-root . --plan-program "$ophost" >"$work/plan"
fi
sed '$d' "$work/plan" >"$work/chunks"
tail -n 1 "$work/plan" >"$work/join"

set -- --halt now,fail=1
[ -z "$jobs" ] || set -- "$@" -j "$jobs"
if [ -z "$hosts" ]; then
    parallel "$@" <"$work/chunks"
elif [ "$transfer" = 0 ]; then
    parallel "$@" --sshloginfile "$hosts" --workdir "$PWD" <"$work/chunks"
else
    # Each input goes to every host once; each chunk's part (the plan
    # line's last word, quoted by ophost when it needs it) comes back.
    for f in $inputs; do set -- "$@" --basefile "$f"; done
    awk '{ part = $NF; gsub(/^'"'"'|'"'"'$/, "", part); print part "\t" $0 }' "$work/chunks" >"$work/table"
    parallel "$@" --sshloginfile "$hosts" --workdir ... --return {1} --cleanup \
        --colsep '\t' 'eval {2}' <"$work/table"
fi
sh "$work/join"
