#!/bin/sh
# Spreads one ophost render over a Slurm cluster: a job array with one task
# per chunk, then a join job that runs when every task has succeeded.
#
#   scripts/farm/slurm.sh [--chunks N] [--wait] [--ophost PATH] \
#       [--sbatch "ARGS"] -- RENDER-ARGUMENTS...
#
# RENDER-ARGUMENTS are those of `ophost render` (OP, --in0, ..., -o OUT).
# The plan goes to a folder beside OUT (.OUT.slurm/), which the nodes must
# see under the same path (a shared folder), as they must the inputs and
# ophost itself. Task K runs line K of the plan ($SLURM_ARRAY_TASK_ID); the
# join job (--dependency=afterok on the array) runs the plan's last line
# and removes the folder. Each task's log is .OUT.slurm/chunk-K.log.
#
#   --chunks N     chunks, one array task each (default 8)
#   --wait         wait for the join and exit with its status
#   --ophost PATH  the ophost program (default: build/bin/ophost beside
#                  this script, else ophost on PATH)
#   --sbatch ARGS  more sbatch options for every job (partition, time, ...)
set -e
here="$(cd "$(dirname "$0")/../.." && pwd)"
ophost="$here/build/bin/ophost"
[ -x "$ophost" ] || ophost="$(command -v ophost || echo ophost)"
chunks=8 wait=0 extra=""
while [ $# -gt 0 ]; do
    case "$1" in
    --chunks) chunks="$2"; shift 2 ;;
    --wait) wait=1; shift ;;
    --ophost) ophost="$2"; shift 2 ;;
    --sbatch) extra="$2"; shift 2 ;;
    --) shift; break ;;
    -h|--help) sed -n '2,/^set -e/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "slurm.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
    esac
done
[ $# -gt 0 ] || { echo "slurm.sh: no render arguments after -- (see --help)" >&2; exit 2; }
command -v sbatch >/dev/null || { echo "slurm.sh: sbatch is not installed" >&2; exit 1; }

out=""
prev=""
for a in "$@"; do
    [ "$prev" = -o ] && out="$a"
    case "$a" in -o=*|--output=*) out="${a#*=}" ;; esac
    prev="$a"
done
[ -n "$out" ] && [ "$out" != - ] || { echo "slurm.sh: -o must name a file" >&2; exit 2; }
outdir="$(cd "$(dirname "$out")" && pwd)"
dir="$outdir/.$(basename "$out").slurm"
mkdir -p "$dir"
"$ophost" render "$@" --chunks "$chunks" --plan --plan-program "$ophost" >"$dir/plan"
sed '$d' "$dir/plan" >"$dir/chunks"
count="$(wc -l <"$dir/chunks")"

cat >"$dir/task.sh" <<TASK
#!/bin/sh
line="\$(sed -n "\${SLURM_ARRAY_TASK_ID}p" '$dir/chunks')"
exec sh -c "\$line"
TASK
cat >"$dir/join.sh" <<JOIN
#!/bin/sh
set -e
sh -c "\$(tail -n 1 '$dir/plan')"
rm -rf '$dir'
JOIN

# shellcheck disable=SC2086
array="$(sbatch --parsable $extra --job-name=ophost-chunks --array=1-"$count" \
    --output="$dir/chunk-%a.log" "$dir/task.sh")"
array="${array%%;*}"
set -- --parsable $extra --job-name=ophost-join --dependency=afterok:"$array" --kill-on-invalid-dep=yes \
    --output="$outdir/.$(basename "$out").join.log"
if [ "$wait" = 1 ]; then
    echo "slurm.sh: chunks are job $array ($count tasks); waiting for the join" >&2
    sbatch "$@" --wait "$dir/join.sh" >/dev/null || {
        echo "slurm.sh: the join did not run or failed; see $dir/chunk-*.log and $outdir/.$(basename "$out").join.log" >&2
        exit 1
    }
    rm -f "$outdir/.$(basename "$out").join.log"
else
    join="$(sbatch "$@" "$dir/join.sh")"
    echo "slurm.sh: chunks are job $array ($count tasks), the join is job ${join%%;*}" >&2
fi
