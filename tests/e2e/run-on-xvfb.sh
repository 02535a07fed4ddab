#!/usr/bin/env bash
# run-on-xvfb.sh PROGRAM [ARGS...]: runs one end-to-end test program on a virtual X server, one
# 2048 x 768 screen standing for two 1024 x 768 displays side by side (or QUENVAR_E2E_SCREEN), black
# where no window is, managed by openbox. The program finds the decks made here, and its private
# cache folder (the office's profile and pipe), in QUENVAR_E2E_DIR; whatever happens, the X server,
# the window manager and every office process started under that folder are stopped afterwards.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d /tmp/quenvar-e2e.XXXXXX)
pids=()

stop_all() {
    # Every office process of this run carries the run's folder in its arguments.
    for dir in /proc/[0-9]*; do
        tr '\0' ' ' 2>/dev/null <"$dir/cmdline" | grep -qF "$work" && kill -KILL "${dir#/proc/}"
    done 2>/dev/null
    # A killed office leaves its pipe's socket in /tmp.
    pipe=$(cat "$work/cache/quenvar/office-profile/quenvar-pipe" 2>/dev/null) &&
        rm -f "/tmp/OSL_PIPE_$(id -u)_$pipe"
    [ ${#pids[@]} -gt 0 ] && kill "${pids[@]}" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap stop_all EXIT
trap 'exit 130' INT TERM

wait_for() { # seconds, command...
    local until=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        [ $SECONDS -ge $until ] && return 1
        sleep 0.1
    done
}

Xvfb -displayfd 3 -screen 0 "${QUENVAR_E2E_SCREEN:-2048x768}x24" -br -nolisten tcp -noreset \
    3>"$work/display" >"$work/x.log" 2>&1 &
pids+=($!)
wait_for 15 test -s "$work/display" || { cat "$work/x.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
openbox --sm-disable >"$work/wm.log" 2>&1 &
pids+=($!)
export QUENVAR_E2E_WM_PID=$!
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
wait_for 10 wm_running || { echo "openbox did not start" >&2; cat "$work/wm.log" >&2; exit 1; }

# The decks in the formats Load Show offers, converted by an office on a profile of its own.
python3 "$here/make-decks.py" "$work" || exit 1
convert() { # format, decks...
    timeout 120 soffice "-env:UserInstallation=file://$work/convert-profile" --headless \
        --convert-to "$@" --outdir "$work" >"$work/convert.log" 2>&1 &&
        [ -s "$work/$(basename "${2%.fodp}").$1" ] || { cat "$work/convert.log" >&2; exit 1; }
}
convert odp "$work/deck.fodp" "$work/loop.fodp" "$work/timed-loop.fodp" "$work/macro.fodp" \
    "$work/wide.fodp"
convert pptx "$work/deck.fodp" "$work/other.fodp" "$work/loop.fodp"
convert ppt "$work/deck.fodp"
convert ppsx "$work/deck.fodp"
python3 "$here/make-decks.py" --damaged "$work" || exit 1

export QUENVAR_E2E_DIR=$work XDG_CACHE_HOME=$work/cache QT_QPA_PLATFORM=xcb
"$@"
