#!/usr/bin/env bash
# Builds the zip a Gradescope programming assignment takes as its
# autograder: setup.sh, run_autograder, the checker (linked statically, so it
# runs on the platform's image as it is), the cases, the reference and the
# private seed.
#
#   scripts/gradescope-autograder.sh --cases sort.cases --source sort.asm \
#       [--reference ref.asm] [--seed-file term.seed] [--checker PATH] OUT.zip
#
# run_autograder grades /autograder/submission; AUTOGRADER_ROOT moves
# /autograder, so that the zip can be tried on a fake tree before upload.
set -euo pipefail

usage() {
    echo "usage: $0 --cases FILE --source NAME [--reference FILE] [--seed-file FILE] [--checker PATH] OUT.zip" >&2
    exit 2
}

cases="" source_name="" reference="" seed="" out=""
checker="$(dirname "$0")/../build/bin/checker"
while [ $# -gt 0 ]; do
    case "$1" in
        --cases) cases=${2:?}; shift 2 ;;
        --source) source_name=${2:?}; shift 2 ;;
        --reference) reference=${2:?}; shift 2 ;;
        --seed-file) seed=${2:?}; shift 2 ;;
        --checker) checker=${2:?}; shift 2 ;;
        -*) usage ;;
        *) [ -z "$out" ] || usage; out=$1; shift ;;
    esac
done
[ -n "$cases" ] && [ -n "$source_name" ] && [ -n "$out" ] || usage
case "$source_name" in */*|.*|-*) echo "$0: --source names a file inside the submission folder" >&2; exit 2 ;; esac
for input in "$cases" "$reference" "$seed" "$checker"; do
    [ -z "$input" ] || [ -f "$input" ] || { echo "$0: cannot read $input" >&2; exit 2; }
    if [ -n "$input" ] && [ -e "$out" ] && [ "$input" -ef "$out" ]; then
        echo "$0: $out is an input" >&2; exit 2
    fi
done
if ! file -b "$checker" 2>/dev/null | grep -q 'statically linked'; then
    echo "$0: warning: $checker is not linked statically; it may not run on the platform's image" >&2
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A mistake in the cases is found here, not on the platform.
status=0
"$checker" --cases "$cases" /dev/null >/dev/null 2>"$work/errors" || status=$?
if [ "$status" -eq 2 ]; then cat "$work/errors" >&2; exit 2; fi
mkdir "$work/zip"
cp "$checker" "$work/zip/checker"
cp "$cases" "$work/zip/cases.cases"
options="--cases cases.cases --source $(printf '%q' "$source_name")"
if [ -n "$reference" ]; then cp "$reference" "$work/zip/reference.asm"; options+=" --reference reference.asm"; fi
if [ -n "$seed" ]; then cp "$seed" "$work/zip/seed"; options+=" --seed-file seed"; fi
cat > "$work/zip/setup.sh" <<'EOF'
#!/usr/bin/env bash
# setup.sh: the checker in this zip is linked statically; nothing to install.
chmod 755 /autograder/source/checker
EOF
cat > "$work/zip/run_autograder" <<EOF
#!/usr/bin/env bash
# run_autograder: grades the submission (AUTOGRADER_ROOT moves /autograder
# for a trial run).
root=\${AUTOGRADER_ROOT:-/autograder}
mkdir -p "\$root/results"
cd "\$root/source" || exit 1
./checker --format gradescope $options -- "\$root/submission" > "\$root/results/results.json"
exit 0   # a failing case is a score, not an autograder error
EOF
chmod 755 "$work/zip/checker" "$work/zip/setup.sh" "$work/zip/run_autograder"
# Written beside the target and renamed: a failure leaves an old zip whole.
partial="$(cd "$(dirname "$out")" && pwd)/.$(basename "$out").partial"
(cd "$work/zip" && python3 - "$partial" <<'EOF'
import os, sys, zipfile
# Sorted members with their modes and a fixed time: the same inputs give the same zip.
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for name in sorted(os.listdir(".")):
        info = zipfile.ZipInfo(name, date_time=(1980, 1, 1, 0, 0, 0))
        info.external_attr = (os.stat(name).st_mode & 0o777 | 0o100000) << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        with open(name, "rb") as f:
            z.writestr(info, f.read())
EOF
) || { rm -f "$partial"; echo "$0: cannot write $out" >&2; exit 1; }
mv -f "$partial" "$out"
echo "$out: $(cd "$work/zip" && ls | tr '\n' ' ')"
