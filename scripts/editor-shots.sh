#!/bin/sh
# Makes the screenshots of the README's walk through the editor again: two
# clips made with ffmpeg (a textured background, and a blue-screen shot with
# a moving subject), keyed in one headless `ophost edit` session that
# docs/editor-shots.script drives, from opening to a saved preset; then the
# ProRes 4444 master rendered with that preset, as the walk-through does.
#
#   sh scripts/editor-shots.sh [--ophost PATH] [--work DIR] [--out DIR] [--seconds S]
#
# --work: where the clips, the preset folder and the master go (default
# build/editor-shots); --out: where the PNGs go (default docs/images);
# --seconds: the clips' length (default 2). Exits 1, naming the step, when
# any step fails, a PNG is missing, or one is 300 KB or more (too heavy for
# the README: make the clips plainer).
# The session's own messages go to standard error as it runs.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
ophost="$root/build/bin/ophost"
work="$root/build/editor-shots"
out="$root/docs/images"
seconds=2
while [ $# -gt 0 ]; do
    case "$1" in
    --ophost|--work|--out|--seconds)
        [ $# -gt 1 ] || { echo "editor-shots.sh: $1 needs a value" >&2; exit 2; } ;;
    esac
    case "$1" in
    --ophost) ophost="$2"; shift ;;
    --work) work="$2"; shift ;;
    --out) out="$2"; shift ;;
    --seconds) seconds="$2"; shift ;;
    -h|--help) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "editor-shots.sh: unknown argument '$1'" >&2; exit 2 ;;
    esac
    shift
done
case "$seconds" in
''|.|*[!0-9.]*|*.*.*) echo "editor-shots.sh: --seconds: expected a number, such as 2 or 0.4, not '$seconds'" >&2; exit 2 ;;
esac
[ -x "$ophost" ] || { echo "editor-shots.sh: no ophost at $ophost (build first, or give --ophost PATH)" >&2; exit 2; }
for tool in ffmpeg ffprobe; do
    [ -n "$(command -v "$tool")" ] || { echo "editor-shots.sh: $tool is missing (scripts/deps.sh installs it)" >&2; exit 2; }
done
case "$ophost" in /*) ;; *) ophost="$PWD/$ophost" ;; esac
mkdir -p "$work" "$out"
work=$(cd "$work" && pwd)
out=$(cd "$out" && pwd)

fail() { echo "editor-shots.sh: $*" >&2; exit 1; }

# 720x576 at 25 frames a second. The background: a sky over a tiled floor,
# in H.264. The shot: a blue backing (#0047BB) with the faintest noise (more
# makes the full-size monitor screenshots several times heavier), and a
# subject of skin and grey tones moving right 4 pixels a frame, in ProRes 422.
# ffmpeg's noise is seeded, so every run gives the same clips and pictures.
ff="ffmpeg -v error -nostdin -y"
$ff -filter_complex "gradients=s=720x340:r=25:d=$seconds:c0=0x1C2E5A:c1=0xE8A878:x0=360:y0=0:x1=360:y1=339:speed=0.00001[sky];\
color=c=0x5C8A3C:s=720x236:r=25:d=$seconds,drawgrid=w=48:h=24:t=2:c=0x2E4A1E[floor];[sky][floor]vstack" \
    -c:v libx264 -preset veryfast -pix_fmt yuv420p "$work/background.mp4" || fail "could not make background.mp4"
subject="color=c=0x0047BB:s=720x576:r=25:d=$seconds[s0]"
i=0
for part in 0xE0AC69:240:110:160:120 0x808080:200:240:240:200 0x8D5524:450:250:60:160 \
            0xC8C8C8:130:250:60:170 0x404040:220:450:200:70; do
    IFS=: read -r colour x y w h <<EOF
$part
EOF
    subject="$subject;color=c=$colour:s=${w}x$h:r=25[p$i];[s$i][p$i]overlay=x='$x+4*n':y=$y:shortest=1[s$((i + 1))]"
    i=$((i + 1))
done
$ff -filter_complex "$subject;[s$i]noise=alls=1:allf=t+u" -c:v prores_ks -profile:v standard \
    -pix_fmt yuv422p10le "$work/bluescreen.mov" || fail "could not make bluescreen.mov"

# The editor, headless, with its preset folder in the work folder, named
# relative to it so that the file requester's picture shows the same path
# wherever the work folder is. The script saves its screenshots into the
# current folder.
rm -rf "$work/home" "$work/master.mov" "$work"/editor-*.png
mkdir -p "$work/home"
(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY QVHOME=home "$ophost" edit Zenvarth \
    --in0 background.mp4 --in1 bluescreen.mov --headless --script "$root/docs/editor-shots.script") \
    || fail "the editor session failed"
preset="$work/home/programs/zenvarth/blue-screen.zvp"
[ -s "$preset" ] || fail "the session saved no preset at $preset"

# The master, from the preset the editor saved.
(cd "$work" && "$ophost" render Zenvarth --in0 background.mp4 --in1 bluescreen.mov --settings "$preset" \
    --pix 444alpha -o master.mov) || fail "the master did not render"
# Its key channel in the first frame, as grey.
$ff -i "$work/master.mov" -vf alphaextract -frames:v 1 "$work/editor-6-master-key.png" \
    || fail "could not read the key of master.mov"
# The steps must have keyed the shot: the backing clear, the subject solid.
range=$(cd "$work" && ffprobe -v error -f lavfi -i "movie=editor-6-master-key.png,format=gray,signalstats" \
    -show_entries frame_tags=lavfi.signalstats.YMIN,lavfi.signalstats.YMAX -of default=nw=1:nk=1 | tr '\n' ' ')
set -- $range
[ $# -eq 2 ] && [ "$1" -le 16 ] && [ "$2" -ge 235 ] \
    || fail "the master's key runs from ${1:-?} to ${2:-?}, not from clear to solid: the steps did not key the shot"

for name in 1-open 2-sample 3-keyed 4-checked 5-preset 6-master-key; do
    shot="$work/editor-$name.png"
    [ -s "$shot" ] || fail "no editor-$name.png was saved"
    bytes=$(wc -c < "$shot" | tr -d ' ')
    [ "$bytes" -lt 300000 ] || fail "editor-$name.png is $bytes bytes: 300 KB or more"
done
for name in 1-open 2-sample 3-keyed 4-checked 5-preset 6-master-key; do
    cp "$work/editor-$name.png" "$out/"
    echo "$out/editor-$name.png: $(wc -c < "$out/editor-$name.png" | tr -d ' ') bytes"
done
