#!/usr/bin/env bash
# The kiosk benchmarks, run by hand on the end-to-end tests' virtual display against the real
# Quenvar program (build/app/quenvar) and the office it starts:
#
#   tests/e2e/run-on-xvfb.sh bench/kiosk-bench.sh show
#       press-to-pixels of Next/Previous and of Page Down/Up beside the office's own keys, the
#       first and a warm Load Show, and whether the control window answers while a show loads
#   tests/e2e/run-on-xvfb.sh bench/kiosk-bench.sh soak [SECONDS]
#       the timer drives a looping 7-slide deck every 0.5 s for SECONDS (default 600)
#
# Build first: cmake --build build -j2 --target quenvar quenvar_xbench (QUENVAR_BUILD names
# another build folder). Figures are printed as "FIGURE ..." lines and kept, with Quenvar's output
# and a screenshot when something failed, in ${QUENVAR_BENCH_OUT:-/tmp/quenvar-bench}.
#
# Quenvar runs with HOME and XDG_CACHE_HOME in a folder of this run: no display numbers file of
# the user's (the show goes to the default place, the middle of the second display) and an office
# profile of its own, so that the first Load Show finds no office running. run-on-xvfb.sh ends
# the office with every other process of its run's folder.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
build=${QUENVAR_BUILD:-$root/build}
work=${QUENVAR_E2E_DIR:?run under tests/e2e/run-on-xvfb.sh}
mode=${1:-}
soak_seconds=${2:-600}
out=${QUENVAR_BENCH_OUT:-/tmp/quenvar-bench}
case $mode in show | soak) ;; *) echo "usage: $0 show | soak [SECONDS]" >&2; exit 2 ;; esac
for program in "$build/app/quenvar" "$build/bench/quenvar_xbench"; do
    [ -x "$program" ] || { echo "$program is missing: build it first" >&2; exit 2; }
done

run=$work/bench-$mode
mkdir -p "$run/home" "$run/cache" "$run/decks" "$out"
stamp=$(date +%Y%m%d-%H%M%S)
result=$out/$mode-$stamp.txt
quenvar_pid=

finish() {
    [ -n "$quenvar_pid" ] && kill "$quenvar_pid" 2>/dev/null
    cp "$run/quenvar.log" "$out/$mode-$stamp-quenvar.log" 2>/dev/null
}
trap finish EXIT

python3 "$here/make-bench-decks.py" "$run/decks" || exit 1
(cd "$run/decks" && timeout 180 soffice "-env:UserInstallation=file://$run/convert-profile" \
    --headless --convert-to odp --outdir "$run/decks" twelve-a.fodp twelve-b.fodp loop.fodp \
    >"$run/convert.log" 2>&1) || { echo "converting the decks failed" >&2; cat "$run/convert.log" >&2; exit 1; }
# The calibration copy: the soak opens the loop twice, the first time only to read the console.
cp "$run/decks/loop.odp" "$run/decks/calibration.odp"
cp "$run/decks/loop.colours" "$run/decks/calibration.colours"

{
    echo "# kiosk-bench $mode, $(date -Iseconds), source $(git -C "$root" log -1 --format='%h %s' 2>/dev/null)"
    echo "# $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
} | tee "$result"

HOME=$run/home XDG_CACHE_HOME=$run/cache "$build/app/quenvar" >"$run/quenvar.log" 2>&1 &
quenvar_pid=$!

if [ "$mode" = show ]; then
    timeout 900 "$build/bench/quenvar_xbench" show --deck-a "$run/decks/twelve-a.odp" \
        --deck-b "$run/decks/twelve-b.odp" --dialog-seconds 3 --presses 10
else
    timeout $((soak_seconds + 600)) "$build/bench/quenvar_xbench" soak \
        --deck "$run/decks/loop.odp" --calibration-deck "$run/decks/calibration.odp" \
        --seconds "$soak_seconds" --quenvar-pid "$quenvar_pid" \
        --office-profile "$run/cache/quenvar/office-profile"
fi 2>&1 | tee -a "$result"
status=${PIPESTATUS[0]}
import -window root "$out/$mode-$stamp-end.png" 2>/dev/null
[ "$status" -ne 0 ] && echo "# failed ($status); screenshot: $out/$mode-$stamp-end.png" | tee -a "$result"

kill -0 "$quenvar_pid" 2>/dev/null || echo "# Quenvar ended during the run" | tee -a "$result"
echo "# kept in $result"
exit "$status"
