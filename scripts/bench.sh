#!/bin/bash
# Times ophost against ffmpeg on the same files, alternating the runs, and
# prints the median wall time and peak memory of each, with the ratios the
# speed targets are stated in.
#
#   scripts/bench.sh [--quick] [--prores] [--jumps] [--runs N] [--frames N] [--ophost PATH] [--dir DIR]
#
# Inputs (made once per size and frame count, kept in DIR): 1920x1080 4:4:4
# YUV4MPEG2 from ffmpeg's test sources, a textured background and a blue
# backing with a moving subject over it. They are read once before timing
# so that every run finds them in the page cache. Output goes to a pipe
# into /dev/null. --quick: 3 runs of 20 frames instead of 5 runs of 50.
# --prores: the same clips as ProRes 422 HQ .mov files, keyed into a ProRes
# 4444 master (ophost with --jobs 1 and 2, with each ProRes encoder, and
# ffmpeg with its default threads), with the quality of each master (PSNR
# of its colour and key against a lossless render of the same job).
# --jumps: the time of a jump to a frame at random in 1080p clips of 510
# frames, ProRes 422 HQ .mov and H.264 .mp4 with 250-frame groups and
# B-frames, as an editor's frame slider makes them (ophost bench --jumps).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
runs=5
frames=50
prores=0
jumps=0
ophost="${OPHOST:-}"
dir="${TMPDIR:-/tmp}/ophost-bench"
while [ $# -gt 0 ]; do
    case "$1" in
    --quick) runs=3; frames=20 ;;
    --prores) prores=1 ;;
    --jumps) jumps=1 ;;
    --runs) runs="$2"; shift ;;
    --frames) frames="$2"; shift ;;
    --ophost) ophost="$2"; shift ;;
    --dir) dir="$2"; shift ;;
    -h|--help) sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "bench.sh: unknown argument '$1'" >&2; exit 2 ;;
    esac
    shift
done
if [ -z "$ophost" ]; then
    for candidate in "$root/build/bin/ophost" "$root"/build*/bin/ophost; do
        [ -x "$candidate" ] && { ophost="$candidate"; break; }
    done
fi
[ -x "$ophost" ] || { echo "bench.sh: no ophost found (build first, or give --ophost PATH)" >&2; exit 2; }
command -v ffmpeg >/dev/null || { echo "bench.sh: ffmpeg is missing (scripts/deps.sh installs it)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "bench.sh: /usr/bin/time is missing (scripts/deps.sh installs it)" >&2; exit 2; }

mkdir -p "$dir"
if [ "$jumps" = 1 ]; then
    src=(-f lavfi -i "testsrc2=s=1920x1080:r=25" -frames:v 510)
    [ -s "$dir/jumps.mov" ] || { ffmpeg -v error -y "${src[@]}" -c:v prores_ks -profile:v hq -pix_fmt yuv422p10le \
        "$dir/jumps.part.mov" && mv "$dir/jumps.part.mov" "$dir/jumps.mov"; }
    [ -s "$dir/jumps.mp4" ] || { ffmpeg -v error -y "${src[@]}" -c:v libx264 -preset veryfast -g 250 -keyint_min 250 \
        -sc_threshold 0 -bf 3 -pix_fmt yuv420p "$dir/jumps.part.mp4" && mv "$dir/jumps.part.mp4" "$dir/jumps.mp4"; }
    cat "$dir/jumps.mov" "$dir/jumps.mp4" > /dev/null
    echo "jumps to frames at random (targets: at most 150 ms for ProRes, 400 ms for H.264 with 250-frame groups)"
    "$ophost" bench --jumps "$dir/jumps.mov" --repeats "$runs"
    "$ophost" bench --jumps "$dir/jumps.mp4" --repeats "$runs"
    exit 0
fi
bg="$dir/bg-$frames.y4m"
fg="$dir/fg-$frames.y4m"
size=1920x1080
key=0x1313FF   # the backing: RGB 19, 19, 255
if [ ! -s "$bg" ]; then
    ffmpeg -v error -y -f lavfi -i "testsrc2=s=$size:r=25,noise=alls=12:allf=t" -frames:v "$frames" \
        -pix_fmt yuv444p -f yuv4mpegpipe "$bg.part" && mv "$bg.part" "$bg"
fi
if [ ! -s "$fg" ]; then
    ffmpeg -v error -y -f lavfi -i "color=c=$key:s=$size:r=25,noise=alls=4:allf=t" \
        -f lavfi -i "testsrc=s=480x640:r=25" \
        -filter_complex "[1:v]format=yuv444p[s];[0:v]format=yuv444p[b];[b][s]overlay=x='300+24*n':y=220:shortest=1" \
        -frames:v "$frames" -pix_fmt yuv444p -f yuv4mpegpipe "$fg.part" && mv "$fg.part" "$fg"
fi
cat "$bg" "$fg" > /dev/null

# Each of "${names[@]}" through run() --runs times, the names alternated,
# under /usr/bin/time; run() sees the variables named as arguments. Fills
# times[NAME] and mems[NAME] with one figure a run.
declare -A times mems
stats=$(mktemp)
log=$(mktemp)
trap 'rm -f "$stats" "$log"' EXIT
timeRuns() {
    for ((r = 1; r <= runs; ++r)); do
        for name in "${names[@]}"; do
            if ! /usr/bin/time -f "%e %M" -o "$stats" bash -c "$(declare -f run); $(declare -p "$@"); run $name" \
                > /dev/null 2> "$log"; then
                cat "$log" >&2
                echo "bench.sh: $name failed" >&2
                exit 1
            fi
            read -r secs kb < "$stats"
            times[$name]+="$secs "
            mems[$name]+="$kb "
        done
        echo "run $r of $runs done" >&2
    done
}
median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{a[NR] = $1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }

if [ "$prores" = 1 ]; then
    for f in bg fg; do
        src="$dir/$f-$frames.y4m"
        [ -s "$dir/$f-$frames.mov" ] || ffmpeg -v error -y -i "$src" -pix_fmt yuv422p10le -c:v prores_ks -profile:v hq \
            "$dir/$f-$frames.part.mov" && [ -s "$dir/$f-$frames.mov" ] || mv "$dir/$f-$frames.part.mov" "$dir/$f-$frames.mov"
    done
    bgm="$dir/bg-$frames.mov" fgm="$dir/fg-$frames.mov" out="$dir/master"
    zv=(Zenvarth --in0 "$bgm" --in1 "$fgm" --set keyerType=1 --set keyColor="#1313FF" --pix 444alpha --quiet)
    "$ophost" render "${zv[@]}" -o "$out-lossless.mkv"
    names=(ks-1 ks-2 aw-1 aw-2 ffmpeg)
    declare -A label=(
        [ks-1]="ophost render Zenvarth -o .mov (prores_ks 4444) --jobs 1"
        [ks-2]="  the same, --jobs 2"
        [aw-1]="  the same with --codec prores_aw, --jobs 1"
        [aw-2]="  the same with --codec prores_aw, --jobs 2"
        [ffmpeg]="ffmpeg chromakey + overlay + prores_ks 4444, default threads"
    )
    run() {
        case "$1" in
        ks-1) "$ophost" render "${zv[@]}" -o "$out-ks.mov" --jobs 1 ;;
        ks-2) "$ophost" render "${zv[@]}" -o "$out-ks.mov" --jobs 2 ;;
        aw-1) "$ophost" render "${zv[@]}" -o "$out-aw.mov" --codec prores_aw --jobs 1 ;;
        aw-2) "$ophost" render "${zv[@]}" -o "$out-aw.mov" --codec prores_aw --jobs 2 ;;
        ffmpeg) ffmpeg -v error -nostdin -y -i "$bgm" -i "$fgm" -filter_complex \
            "[1:v]chromakey=color=$key:similarity=0.12:blend=0.04[k];[0:v][k]overlay=format=yuv444,format=yuva444p10le" \
            -c:v prores_ks -profile:v 4444 "$out-ffmpeg.mov" ;;
        esac
    }
    timeRuns zv out bgm fgm key ophost
    # PSNR of a master against the lossless render: colour (Y, U, V) and key.
    psnr() {
        ffmpeg -nostdin -i "$1" -i "$out-lossless.mkv" -filter_complex "[0:v]format=yuva444p[a];[1:v]format=yuva444p[b];[a][b]psnr" \
            -f null - 2>&1 | sed -n 's/.*PSNR \(y.*\)/\1/p' | tail -n 1
    }
    echo "$frames frames of $size, ProRes 422 HQ in, ProRes 4444 out; $runs runs each, alternated; medians"
    echo
    printf '| %-62s | %10s | %14s |\n' "run" "wall time" "peak memory"
    for name in "${names[@]}"; do
        printf '| %-62s | %8.2f s | %11.0f MB |\n' "${label[$name]}" "$(echo "${times[$name]}" | median)" \
            "$(awk -v k="$(echo "${mems[$name]}" | median)" 'BEGIN {print k / 1024}')"
    done
    echo
    echo "quality against the lossless render (PSNR of y, u, v, key and all, dB):"
    echo "  prores_ks: $(psnr "$out-ks.mov")"
    echo "  prores_aw: $(psnr "$out-aw.mov")"
    exit 0
fi

# Every ffmpeg thread count set to 1.
ff=(ffmpeg -v error -nostdin -y -threads 1 -filter_threads 1 -filter_complex_threads 1)
one=(-threads 1)
names=(ffmpeg-key zenvarth glow shadow quorvel dremwick ffmpeg-one ffmpeg-two)
declare -A label=(
    [ffmpeg-key]="ffmpeg -threads 1 chromakey + overlay"
    [zenvarth]="ophost render Zenvarth (keyer 1, key on the backing)"
    [glow]="  the same, glow size 30"
    [shadow]="  the same, drop shadow softness 30, distance 30"
    [quorvel]="ophost render Quorvel (two inputs, almost no work)"
    [dremwick]="ophost render Dremwick (one input, almost no work)"
    [ffmpeg-one]="ffmpeg -threads 1 pass-through, one input"
    [ffmpeg-two]="ffmpeg -threads 1 pass-through, two inputs"
)
run() {
    case "$1" in
    ffmpeg-key) "${ff[@]}" "${one[@]}" -i "$bg" "${one[@]}" -i "$fg" \
        -filter_complex "[1:v]chromakey=color=$key:similarity=0.12:blend=0.04[k];[0:v][k]overlay=format=yuv444" \
        "${one[@]}" -pix_fmt yuv444p -f yuv4mpegpipe - ;;
    zenvarth) "$ophost" render Zenvarth --in0 "$bg" --in1 "$fg" -o - --set keyerType=1 --set keyColor="#1313FF" ;;
    glow) "$ophost" render Zenvarth --in0 "$bg" --in1 "$fg" -o - --set keyerType=1 --set keyColor="#1313FF" \
        --set effectType=1 --set glowSize=30 ;;
    shadow) "$ophost" render Zenvarth --in0 "$bg" --in1 "$fg" -o - --set keyerType=1 --set keyColor="#1313FF" \
        --set effectType=2 --set shadowSoftness=30 --set shadowDistance=30 ;;
    quorvel) "$ophost" render Quorvel --in0 "$bg" --in1 "$fg" -o - ;;
    dremwick) "$ophost" render Dremwick --in0 "$bg" -o - ;;
    ffmpeg-one) "${ff[@]}" "${one[@]}" -i "$bg" "${one[@]}" -f yuv4mpegpipe - ;;
    ffmpeg-two) "${ff[@]}" "${one[@]}" -i "$bg" "${one[@]}" -i "$fg" \
        -map 0:v "${one[@]}" -f yuv4mpegpipe - -map 1:v "${one[@]}" -f yuv4mpegpipe /dev/null ;;
    esac
}

timeRuns ff one bg fg key ophost
declare -A med peak
echo "$frames frames of $size 4:4:4 YUV4MPEG2, $runs runs each, alternated; medians"
echo
printf '| %-56s | %10s | %14s |\n' "run" "wall time" "peak memory"
printf '|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..58})" "$(printf -- '-%.0s' {1..12})" "$(printf -- '-%.0s' {1..16})"
for name in "${names[@]}"; do
    med[$name]=$(echo "${times[$name]}" | median)
    peak[$name]=$(echo "${mems[$name]}" | median)
    printf '| %-56s | %8.2f s | %11.0f MB |\n' "${label[$name]}" "${med[$name]}" "$(awk -v k="${peak[$name]}" 'BEGIN {print k / 1024}')"
done
echo
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", (b > 0 ? a / b : 0)}'; }
echo "Zenvarth is $(ratio "${med[ffmpeg-key]}" "${med[zenvarth]}")x faster than ffmpeg's chromakey + overlay (target: at least 10)"
echo "Glow of size 30 over the plain composite: $(ratio "${med[glow]}" "${med[zenvarth]}") (target: at most 1.5)"
echo "Drop shadow of softness 30 over the plain composite: $(ratio "${med[shadow]}" "${med[zenvarth]}") (target: at most 1.5)"
echo "Dremwick over ffmpeg's one-input pass-through: $(ratio "${med[dremwick]}" "${med[ffmpeg-one]}") (target: at most 2)"
echo "Quorvel over ffmpeg's two-input pass-through: $(ratio "${med[quorvel]}" "${med[ffmpeg-two]}") (target: at most 2)"
