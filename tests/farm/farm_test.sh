#!/bin/sh
# farm_test.sh CASE OPHOST SOURCE-DIR: one group of checks on chunked
# renders; each compares with a single run of the same render.
set -eu
case_="$1" ophost="$2" src="$3"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }

# Frames (video with its key, and audio) as checksums, to compare files
# whose containers may differ in their headers.
frames() { ffmpeg -v error -i "$1" -map 0 -c:v rawvideo -pix_fmt yuva444p10le -c:a pcm_s16le -f framemd5 - | grep -v '^#' | cut -d, -f1,2,3,6; }
same_frames() {
    frames "$1" >"$1.md5"
    frames "$2" >"$2.md5"
    [ -s "$1.md5" ] || fail "$1 holds no frames"
    cmp -s "$1.md5" "$2.md5" || { diff "$1.md5" "$2.md5" | head >&2; fail "$2 differs from $1"; }
}
no_leftovers() {
    left="$(ls -A | grep -E '\.part[0-9]|ophost-[0-9]' || true)"
    [ -z "$left" ] || fail "left behind: $left"
}

# 40 frames, a key fade over the section: a background with audio and a
# blue-screen shot, 4:2:2 as MLT and ffmpeg pipes give them.
ffmpeg -v error -f lavfi -i mandelbrot=size=96x64:rate=25 -f lavfi -i sine=frequency=220:sample_rate=48000 \
    -t 1.6 -pix_fmt yuv422p -c:v prores_ks -c:a pcm_s16le bg.mov
ffmpeg -v error -f lavfi -i "testsrc=size=96x64:rate=25,drawbox=x=0:y=0:w=30:h=64:color=0x0047BB:t=fill" \
    -t 1.6 -pix_fmt yuv422p bg_fg.y4m
ffmpeg -v error -i bg.mov -pix_fmt yuv422p -f yuv4mpegpipe bg.y4m
set -- Zenvarth --in0 bg.y4m --in1 bg_fg.y4m --set keyColor=#0047BB --set fadeIn=12 --set fadeOut=9 --quiet
"$ophost" render "$@" -o single.y4m

case "$case_" in
jobs)
    "$ophost" render "$@" -o jobs.y4m --jobs 2
    cmp single.y4m jobs.y4m || fail "--jobs 2 (y4m) differs from a single run"
    "$ophost" render "$@" --frames 7:33 --section 5:35 -o a.y4m
    "$ophost" render "$@" --frames 7:33 --section 5:35 -o b.y4m --jobs 3
    cmp a.y4m b.y4m || fail "--jobs 3 of frames 7:33 in section 5:35 differs from a single run"
    # .mov with input 0's audio, added once at the join.
    set -- Zenvarth --in0 bg.mov --in1 bg_fg.y4m --set keyColor=#0047BB --set fadeIn=12 --pix 444alpha --quiet
    "$ophost" render "$@" -o single.mov
    "$ophost" render "$@" -o jobs.mov --jobs 2
    same_frames single.mov jobs.mov
    grep -q '^1,' jobs.mov.md5 || fail "jobs.mov has no audio"
    no_leftovers
    # A chunk that fails (input 1 ends early) fails the run, names the
    # chunk and its frames, and leaves the earlier output as it was.
    head -c 340000 bg_fg.y4m >short.y4m
    cp single.y4m keep.y4m
    if "$ophost" render Zenvarth --in0 bg.y4m --in1 short.y4m --frames 0:40 --quiet -o keep.y4m --jobs 2 2>err.txt; then
        fail "a failed chunk was reported as success"
    fi
    grep -Eq "chunk [12] \(frames (0:20|20:40)\) failed" err.txt || { cat err.txt >&2; fail "the failed chunk is not named"; }
    cmp single.y4m keep.y4m || fail "a failed --jobs run changed the earlier output"
    no_leftovers
    # A signal to the parent ends the children and removes every part.
    ffmpeg -v error -f lavfi -i testsrc=size=1280x720 -frames:v 1 still.png
    "$ophost" render Zenvarth --in0 still.png --in1 still.png --frames 0:200 --set effectType=1 --quiet \
        -o big.mkv --jobs 2 &
    pid=$!
    sleep 0.5
    kill -TERM "$pid" 2>/dev/null || true
    status=0
    wait "$pid" || status=$?
    if [ "$status" = 0 ]; then
        echo "note: the render ended before the signal; only the leftovers were checked" >&2
    else
        [ ! -e big.mkv ] || fail "an interrupted --jobs run wrote its output"
    fi
    sleep 0.5
    no_leftovers
    ;;
join)
    "$ophost" render "$@" -o c.y4m --chunks 3 --plan >plan.txt
    [ "$(wc -l <plan.txt)" = 4 ] || fail "a plan of 3 chunks has $(wc -l <plan.txt) lines"
    # The chunks, then the join keeping its parts for the checks below.
    sed '$d' plan.txt | sh
    tail -n 1 plan.txt | sed 's/ --remove-parts//' | sh
    cmp single.y4m c.y4m || fail "the plan run by sh differs from a single run"
    expect_refusal() {
        what="$1"
        shift
        cp single.y4m out.y4m
        if "$ophost" join -o out.y4m "$@" 2>err.txt; then fail "join accepted $what"; fi
        grep -q "$what" err.txt || { cat err.txt >&2; fail "join's refusal does not say '$what'"; }
        cmp single.y4m out.y4m || fail "a refused join changed the output"
    }
    expect_refusal "are in no part" c.part1.y4m c.part3.y4m
    expect_refusal "overlaps" c.part1.y4m c.part2.y4m c.part2.y4m c.part3.y4m
    # Another size, another field order: parts of other renders.
    ffmpeg -v error -i bg.y4m -vf scale=48:32 -pix_fmt yuv422p -f yuv4mpegpipe small.y4m
    "$ophost" render Zenvarth --in0 small.y4m --in1 small.y4m --frames 14:27 --section 0:40 --quiet -o small.part2.y4m
    expect_refusal "size 48x32, not 96x64" c.part1.y4m small.part2.y4m c.part3.y4m
    "$ophost" render "$@" --field-order bff --frames 14:27 --section 0:40 -o bff.part2.y4m
    expect_refusal "another field order" c.part1.y4m bff.part2.y4m c.part3.y4m
    expect_refusal "records no frames" c.part1.y4m single.y4m
    cp c.part1.y4m part1.y4m
    if "$ophost" join -o ./part1.y4m part1.y4m c.part2.y4m c.part3.y4m 2>err.txt; then fail "join wrote over a part"; fi
    cmp c.part1.y4m part1.y4m || fail "a join named as its own part changed it"
    # Containers: the same checks on the stream.
    "$ophost" render "$@" -o m.mkv --chunks 2 --plan >mplan.txt
    sed '$d' mplan.txt | sh
    tail -n 1 mplan.txt | sed 's/ --remove-parts//' | sh
    "$ophost" render "$@" -o single.mkv
    same_frames single.mkv m.mkv
    cp single.mkv keep.mkv
    if "$ophost" join -o keep.mkv m.part2.mkv m.part1.mkv 2>err.txt; then fail "join accepted parts out of order"; fi
    grep -q "overlaps\|in no part" err.txt || { cat err.txt >&2; fail "parts out of order not named"; }
    # --plan-root: paths relative to a folder, run from inside it.
    mkdir -p shots
    cp bg.y4m bg_fg.y4m shots/
    (cd shots && "$ophost" render Zenvarth --in0 bg.y4m --in1 bg_fg.y4m --set keyColor=#0047BB --set fadeIn=12 \
        --set fadeOut=9 --quiet -o r.y4m --chunks 2 --plan --plan-root .. >../rplan.txt)
    grep -q -- "--in0 shots/bg.y4m" rplan.txt || { cat rplan.txt >&2; fail "--plan-root did not make the paths relative"; }
    sh rplan.txt
    cmp single.y4m shots/r.y4m || fail "the relative plan differs from a single run"
    ;;
parallel)
    command -v parallel >/dev/null || fail "GNU parallel is not installed"
    sh "$src/scripts/farm/parallel.sh" -j 2 --chunks 4 --ophost "$ophost" -- "$@" -o par.y4m
    cmp single.y4m par.y4m || fail "the plan run through GNU parallel differs from a single run"
    no_leftovers
    ;;
slurm)
    . "$src/tests/farm/cluster.sh"
    start_cluster "$work/cluster" || fail "the Slurm cluster did not start"
    trap 'stop_cluster "$work/cluster"; rm -rf "$work"' EXIT
    sh "$src/scripts/farm/slurm.sh" --chunks 3 --wait --ophost "$ophost" -- "$@" -o slurm.y4m ||
        { cat "$work"/.slurm.y4m.slurm/*.log >&2 2>/dev/null || true; fail "the Slurm jobs failed"; }
    cmp single.y4m slurm.y4m || fail "the plan run through Slurm differs from a single run"
    no_leftovers
    [ ! -e .slurm.y4m.slurm ] || fail "the join job did not remove its plan folder"
    ;;
*)
    fail "unknown case $case_"
    ;;
esac
echo "farm $case_: ok"
