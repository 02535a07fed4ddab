#!/usr/bin/env bash
# Runs one end-to-end test program on a virtual X server: one 2048 x 768 screen standing for two
# 1024 x 768 displays side by side (QUENVAR_E2E_SCREEN gives another size, such as 3840x1080),
# black where no window is, with openbox as its window manager. Generates the test decks with the
# office, gives the program a private cache folder (so the office it starts has a profile and a
# pipe of its own) and, whatever happens, stops the X server, the window manager and every office
# process started under that folder afterwards.
#
#   run-on-xvfb.sh PROGRAM [ARGS...]
# The program finds the decks and its folder in QUENVAR_E2E_DIR.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d /tmp/quenvar-e2e.XXXXXX)
xvfb_pid=
wm_pid=

stop_all() {
    # Every office process of this run carries the run's folder in its arguments.
    for dir in /proc/[0-9]*; do
        if tr '\0' ' ' 2>/dev/null <"$dir/cmdline" | grep -qF "$work"; then
            kill -KILL "${dir#/proc/}" 2>/dev/null
        fi
    done
    # A killed office leaves its pipe's socket in /tmp.
    pipe=$(cat "$work/cache/quenvar/office-profile/quenvar-pipe" 2>/dev/null) &&
        rm -f "/tmp/OSL_PIPE_$(id -u)_$pipe"
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
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

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 "${QUENVAR_E2E_SCREEN:-2048x768}x24" -br -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
wait_for 15 test -s "$work/display" || { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
wait_for 10 xdpyinfo || { echo "Xvfb does not answer on $DISPLAY" >&2; exit 1; }

openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
wait_for 10 wm_running || { echo "openbox did not start" >&2; cat "$work/openbox.log" >&2; exit 1; }

# The decks: one flat ODP, converted by the office into the formats Load Show offers. A separate
# profile keeps the converting office apart from the one under test.
python3 "$here/make-decks.py" "$work/deck.fodp" "$work/other.fodp" || exit 1
convert_deck() { # format, deck
    timeout 120 soffice "-env:UserInstallation=file://$work/convert-profile" --headless \
        --convert-to "$1" --outdir "$work" "$work/$2" >"$work/convert.log" 2>&1 \
        || { echo "converting $2 to $1 failed" >&2; cat "$work/convert.log" >&2; exit 1; }
}
for format in odp ppt pptx ppsx; do
    convert_deck "$format" deck.fodp
done
convert_deck pptx other.fodp
printf 'This is not a presentation.\n' >"$work/notes.txt"
cp "$work/deck.ppt" "$work/deck.pps"
cp "$work/deck.pptx" "$work/Vortrag #1, 100% Größe.pptx"
# Decks the office would ask about: damaged ones, one beside the lock file of someone else's office
# that died, one the test opens in another office. (The test writes those locked by a password.)
python3 "$here/make-decks.py" --damaged "$work" || exit 1
cp "$work/deck.pptx" "$work/locked.pptx"
cp "$work/deck.pptx" "$work/shared.pptx"
printf 'Someone,someone,kiosk-2,01.02.2024 10:00,file:///home/someone/.config/lo;\n' \
    >"$work/.~lock.locked.pptx#"

# Looping decks: one kept as .pptx, one as .odp with its own slide timings.
python3 "$here/make-decks.py" --looping "$work" || exit 1
convert_deck pptx loop.fodp
convert_deck odp timed-loop.fodp

export QUENVAR_E2E_DIR=$work
export XDG_CACHE_HOME=$work/cache
export QT_QPA_PLATFORM=xcb
"$@"
