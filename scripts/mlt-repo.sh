#!/bin/sh
# Makes OUT a module repository that joins MLT's installed modules with the
# module built in BUILD, without installing anything, and prints the lines
# that point MLT (melt, or an editor started from the same shell) at it:
#   eval "$(sh scripts/mlt-repo.sh build /tmp/mlt-repo)"
set -e
if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD OUT" >&2
    exit 2
fi
module="$1/mlt/libmltzvops.so"
if [ ! -f "$module" ]; then
    echo "$0: $module not found: build with MLT's development files installed (scripts/deps.sh)" >&2
    exit 1
fi
if ! command -v pkg-config >/dev/null 2>&1 || ! pkg-config --exists mlt-framework-7; then
    echo "$0: pkg-config does not know mlt-framework-7: install libmlt-dev (scripts/deps.sh)" >&2
    exit 1
fi
moduledir=$(pkg-config --variable=moduledir mlt-framework-7)
datadir=$(pkg-config --variable=mltdatadir mlt-framework-7)
build=$(cd "$1" && pwd)
mkdir -p "$2/modules" "$2/data"
out=$(cd "$2" && pwd)
# Links, not copies: MLT reads the installed modules and their data in place.
for f in "$moduledir"/*; do ln -sfn "$f" "$out/modules/"; done
for d in "$datadir"/*; do ln -sfn "$d" "$out/data/"; done
ln -sfn "$build/mlt/libmltzvops.so" "$out/modules/libmltzvops.so"
ln -sfn "$build/mlt/zvops" "$out/data/zvops"
echo "export MLT_REPOSITORY=$out/modules MLT_DATA=$out/data"
