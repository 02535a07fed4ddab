#!/usr/bin/env bash
# The unattended kiosk's figures, on the end-to-end tests' virtual display, against the real
# Quenvar program started with a deck on its command line and the office it starts:
#
#   tests/e2e/run-on-xvfb.sh bench/unattended-bench.sh start [ROUNDS]
#       cold start to the first slide: `quenvar --timer 5 deck.pptx` from exec to the slide's
#       pixels on the projector, and to its show window on the screen, beside the office's own
#       `soffice --show deck.pptx` from exec to its show window (on Xvfb that window is never drawn
#       into, see show-baseline.sh); then the office killed (kill -9) to the same slide back
#   tests/e2e/run-on-xvfb.sh bench/unattended-bench.sh soak [SECONDS] [KILL_EVERY]
#       a looping deck with a 2 s timer, the office killed every KILL_EVERY seconds (default 300):
#       the show back every time, Quenvar's message boxes counted, Quenvar's memory and the
#       office's after each recovery beside its first
#
# Build first: cmake --build build -j2 --target quenvar quenvar_xbench. Each Quenvar runs with a
# home and an office profile of its own in this run's folder; offices are ended by the pids of the
# processes on that profile. Figures are printed as "FIGURE ..." lines.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${QUENVAR_BUILD:-$here/../build}
work=${QUENVAR_E2E_DIR:?run under tests/e2e/run-on-xvfb.sh}
quenvar=$build/app/quenvar
xbench=$build/bench/quenvar_xbench
mode=${1:-}
case $mode in start | soak) ;; *) echo "usage: $0 start [ROUNDS] | soak [SECONDS] [KILL_EVERY]" >&2; exit 2 ;; esac
# The middle of the second display, where the show goes by default.
cx=1537 cy=384
quenvar_pid=

now_ms() { echo $((${EPOCHREALTIME/./} / 1000)); }
office_pids() { # profile folder: its soffice.bin processes
    local dir
    for dir in /proc/[0-9]*; do
        tr '\0' ' ' 2>/dev/null <"$dir/cmdline" | grep -q "soffice.bin.*$1" && echo "${dir#/proc/}"
    done
}
end_office() { # profile folder: every process on it, the launcher too
    local dir
    for dir in /proc/[0-9]*; do
        tr '\0' ' ' 2>/dev/null <"$dir/cmdline" | grep -qF "$1" && kill -KILL "${dir#/proc/}" 2>/dev/null
    done
}
rss_kb() { awk '/^VmRSS/ { print $2 }' "/proc/$1/status" 2>/dev/null; }
finish() { [ -n "$quenvar_pid" ] && kill "$quenvar_pid" 2>/dev/null; }
trap finish EXIT
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Starts Quenvar on a fresh profile (no office running) with the given arguments.
start_quenvar() { # name, arguments...
    local run=$work/$1
    shift
    mkdir -p "$run/home" "$run/cache"
    HOME=$run/home XDG_CACHE_HOME=$run/cache XDG_RUNTIME_DIR=$run "$quenvar" "$@" \
        >"$run/quenvar.log" 2>&1 &
    quenvar_pid=$!
}
stop_quenvar() { # name
    kill "$quenvar_pid" 2>/dev/null
    wait "$quenvar_pid" 2>/dev/null
    quenvar_pid=
    end_office "$work/$1/cache"
}

if [ "$mode" = start ]; then
    rounds=${2:-3}
    . "$here/seed-profile.sh"
    for round in $(seq 1 "$rounds"); do
        # The office's own show, cold.
        profile=$work/soffice-$round
        seed_profile "$profile"
        # A deck whose office was killed keeps its lock file, over which soffice asks first.
        rm -f "$work"/.~lock.*
        t0=$(now_ms)
        soffice "-env:UserInstallation=file://$profile" --norestore --nologo --show "$work/deck.pptx" \
            >/dev/null 2>&1 &
        until xdotool search --onlyvisible --name '^Presenting: deck$' >/dev/null 2>&1; do
            [ $(($(now_ms) - t0)) -gt 60000 ] && break
            sleep 0.01
        done
        echo $(($(now_ms) - t0)) >>"$work/soffice-window"
        end_office "$profile"

        # Quenvar, cold.
        t0=$(now_ms)
        start_quenvar "quenvar-$round" --timer 5 "$work/deck.pptx"
        (until xdotool search --onlyvisible --name '^Quenvar Show - deck.pptx$' >/dev/null 2>&1; do
            sleep 0.01; done; echo $(($(now_ms) - t0)) >>"$work/quenvar-window") &
        watcher=$!
        if "$xbench" wait --x $cx --y $cy --rgb ff0000 --seconds 60 >/dev/null; then
            echo $(($(now_ms) - t0)) >>"$work/quenvar-pixels"
        else
            echo "round $round: no first slide within 60 s" >&2
        fi
        wait $watcher
        # The office killed on the first slide, to the same slide back.
        sleep 1
        t1=$(now_ms)
        kill -KILL $(office_pids "$work/quenvar-$round/cache")
        "$xbench" wait --x $cx --y $cy --rgb ff0000 --not 1 --seconds 5 >/dev/null
        if "$xbench" wait --x $cx --y $cy --rgb ff0000 --seconds 60 >/dev/null; then
            echo $(($(now_ms) - t1)) >>"$work/quenvar-back"
        else
            echo "round $round: the slide did not come back within 60 s" >&2
        fi
        stop_quenvar "quenvar-$round"
    done
    soffice_window=$(median <"$work/soffice-window")
    quenvar_window=$(median <"$work/quenvar-window")
    quenvar_pixels=$(median <"$work/quenvar-pixels")
    quenvar_back=$(median <"$work/quenvar-back")
    echo "# $rounds rounds, medians; $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
    echo "# soffice --show to its window: $(tr '\n' ' ' <"$work/soffice-window")"
    echo "# quenvar to its show window: $(tr '\n' ' ' <"$work/quenvar-window")"
    echo "# quenvar to the first slide's pixels: $(tr '\n' ' ' <"$work/quenvar-pixels")"
    echo "# kill -9 to the slide back: $(tr '\n' ' ' <"$work/quenvar-back")"
    awk -v sw="$soffice_window" -v qw="$quenvar_window" -v qp="$quenvar_pixels" -v qb="$quenvar_back" 'BEGIN {
        printf "FIGURE start-to-show-window %d ms (baseline soffice --show to its window %d ms, %.2fx)\n", qw, sw, qw / sw
        printf "FIGURE start-to-first-slide-pixels %d ms (baseline soffice --show to its window %d ms, %.2fx)\n", qp, sw, qp / sw
        printf "FIGURE kill-to-same-slide %d ms (%.2fx the start to the first slide, %d ms)\n", qb, qb / qp, qp
    }'
    exit 0
fi

# soak
seconds=${2:-1800}
every=${3:-300}
start_quenvar soak --timer 2 "$work/loop.pptx"
profile=$work/soak/cache
colours="ff0000 00ff00 0000ff"
showing() { # whether a slide of the loop is on the projector within 30 s
    local until=$((SECONDS + 30)) colour
    while [ $SECONDS -lt $until ]; do
        for colour in $colours; do
            "$xbench" wait --x $cx --y $cy --rgb $colour --seconds 0 >/dev/null 2>&1 && return 0
        done
        sleep 0.1
    done
    return 1
}
boxes=0 back=0 kills=0
count_boxes() {
    local found
    found=$(xdotool search --onlyvisible --name '^Quenvar$' 2>/dev/null | wc -l)
    [ "$found" -gt "$boxes" ] && boxes=$found
}
showing || { echo "the show did not start" >&2; exit 1; }
sleep 20
office_first=$(rss_kb "$(office_pids "$profile" | head -n1)")
quenvar_first=$(rss_kb "$quenvar_pid")
echo "# soak: $seconds s, the office killed every $every s; office ${office_first} kB, quenvar ${quenvar_first} kB at the start"
begin=$SECONDS
next_kill=$((begin + every))
while [ $((SECONDS - begin)) -lt "$seconds" ]; do
    count_boxes
    if [ $SECONDS -ge $next_kill ]; then
        kills=$((kills + 1))
        t1=$(now_ms)
        kill -KILL $(office_pids "$profile")
        "$xbench" wait --x $cx --y 384 --rgb 000000 --seconds 5 >/dev/null
        if showing; then
            back=$((back + 1))
            took=$(($(now_ms) - t1))
            sleep 20
            office_now=$(rss_kb "$(office_pids "$profile" | head -n1)")
            echo "# recovery $kills: back after $took ms; office ${office_now} kB ($(awk -v a="$office_now" -v b="$office_first" 'BEGIN { printf "%+.1f%%", (a - b) * 100 / b }') of its first)"
            echo "$office_now" >>"$work/soak-office"
        else
            echo "# recovery $kills: the show did not come back"
        fi
        next_kill=$((next_kill + every))
    fi
    sleep 5
done
quenvar_last=$(rss_kb "$quenvar_pid")
worst=$(awk -v b="$office_first" '{ d = ($1 - b) * 100 / b; if (d < 0) d = -d; if (d > w) w = d } END { printf "%.1f", w }' "$work/soak-office" 2>/dev/null)
echo "FIGURE soak-recoveries $back of $kills"
echo "FIGURE soak-message-boxes $boxes"
echo "FIGURE soak-quenvar-memory-growth $((quenvar_last - quenvar_first)) kB (${quenvar_first} kB to ${quenvar_last} kB)"
echo "FIGURE soak-office-memory-after-recovery worst ${worst:-?}% from its first (${office_first} kB)"
stop_quenvar soak
# The status says whether the show came back every time without a message box.
[ "$back" -eq "$kills" ] && [ "$boxes" -eq 0 ]
