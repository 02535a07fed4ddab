#!/usr/bin/env bash
# How long the office's own `soffice --show DECK` takes to put its show window up, cold (no office
# running, a new profile seeded as Quenvar seeds its own) and warm (the office of that profile still
# running), beside Quenvar's Load Show measured in the same run by the end-to-end window test.
# Runs on the test harness's virtual display:
#
#   tests/e2e/run-on-xvfb.sh bench/show-baseline.sh build/tests/e2e/tst_ImpressWindow
#
# The office's figure stops when its full-screen "Presenting" window is mapped, not when a slide is
# drawn. On Xvfb, a show started by --show maps that window but never draws into it: with or without
# a window manager, raised, focused, sent keys, clicks or Expose events, with .odp or .pptx, it
# keeps the pixels beneath, while the same show started with F5 from the editing frame draws at
# once. So the time to the first slide cannot be read from the screen there. Quenvar's figure runs
# until the control window shows the slide number, with the slide's colour on the screen.
set -uo pipefail
work=${QUENVAR_E2E_DIR:?run under tests/e2e/run-on-xvfb.sh}
window_test=${1:-}
runs=3
# Each warm start opens a copy, so that the running office has a file to load, not one it has open.
for run in $(seq 1 $runs); do cp "$work/deck.pptx" "$work/again$run.pptx"; done

. "$(dirname "${BASH_SOURCE[0]}")/seed-profile.sh"

# Milliseconds from `soffice --show` until the deck's show window is up; empty after 30 s.
time_show() { # profile, deck
    local start=$EPOCHREALTIME deadline=$((SECONDS + 30)) name
    name=$(basename "$2" .pptx)
    soffice "-env:UserInstallation=file://$1" --norestore --nologo --show "$2" >/dev/null 2>&1 &
    until xdotool search --onlyvisible --name "^Presenting: $name\$" >/dev/null 2>&1; do
        [ $SECONDS -ge $deadline ] && return
        sleep 0.02
    done
    echo $(((${EPOCHREALTIME/./} - ${start/./}) / 1000))
}

offices_of() { pgrep -f "UserInstallation=file://$1" >/dev/null; }

for run in $(seq 1 $runs); do
    profile=$work/baseline-profile-$run
    seed_profile "$profile"
    rm -f "$work"/.~lock.*
    cold=$(time_show "$profile" "$work/deck.pptx")
    sleep 1
    warm=$(time_show "$profile" "$work/again$run.pptx")
    echo "FIGURE soffice-show-cold-ms ${cold:-timeout}"
    echo "FIGURE soffice-show-warm-ms ${warm:-timeout}"
    pkill -KILL -f "UserInstallation=file://$profile"
    for _ in $(seq 1 50); do offices_of "$profile" || break; sleep 0.1; done
done

# Quenvar's figures: the window test, each time with no office and no profile of its own. It runs
# in the foreground with a bounded wait of its own (under `timeout`, in a process group of its
# own, the Qt program stops).
if [ -n "$window_test" ]; then
    for run in $(seq 1 $runs); do
        pkill -KILL -f "UserInstallation=file://$XDG_CACHE_HOME/"
        sleep 1
        rm -rf "$XDG_CACHE_HOME"
        "$window_test" >"$work/window-test.log" 2>&1 &
        test_pid=$!
        for _ in $(seq 1 300); do kill -0 $test_pid 2>/dev/null || break; sleep 1; done
        kill -KILL $test_pid 2>/dev/null && echo "the window test did not end within 300 s"
        grep -o 'FIGURE load-show-[a-z]*-ms [0-9]*' "$work/window-test.log"
    done
fi
