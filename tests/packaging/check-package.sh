#!/usr/bin/env bash
# Builds the Debian package with CPack, unpacks it into a scratch root and checks it there:
#   check-package.sh BUILD_DIR SCRATCH_DIR
# lintian judges it against Debian's policy. The checks here cover what lintian cannot see: what
# the package brings besides its libraries, the menu entry, the sample presentation where the
# open-file dialog offers it, and that the installed program starts and shows its window.
set -euo pipefail

check() { # check WHAT COMMAND...: runs COMMAND and counts a failure, so that all checks run
    "${@:2}" || { echo "FAIL: $1" >&2; failures=$((failures + 1)); }
}

# Started on a virtual display of its own, the program must show its control window within 30 s.
window_shown() {
    "$@" >"$scratch/program.log" 2>&1 &
    program=$!
    trap 'kill $program 2>/dev/null' EXIT
    local deadline=$((SECONDS + 30))
    while [ $SECONDS -lt $deadline ] && kill -0 $program 2>/dev/null; do
        xwininfo -root -tree | grep -q '"Quenvar-Dual Monitor":' && return
        sleep 0.2
    done
    cat "$scratch/program.log" >&2 && return 1
}
if [ "$1" = --window-shown ]; then
    scratch=$2 && shift 2 && window_shown "$@"
    exit
fi
build=$1 scratch=$2
root=$scratch/root
failures=0

rm -rf "$scratch" && mkdir -p "$scratch/deb" "$scratch/home"
cmake --build "$build" --target quenvar quenvar_package_data
umask 022 # as tools/package does: CPack makes the package's folders under the umask
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/deb" >/dev/null
deb=$(echo "$scratch"/deb/quenvar_*.deb)
dpkg-deb -x "$deb" "$root"

# Errors and warnings fail unless overridden, and every override says why: lintian prints its
# reason as N: lines right before the O: line. An override nothing needs any more fails too.
lintian --fail-on none --display-info --show-overrides "$deb" 2>/dev/null | tee "$scratch/lintian"
check "lintian reports errors, warnings or unused overrides" \
    awk '/^[EW]:|^I: .* unused-override/ { bad = 1 } END { exit bad }' "$scratch/lintian"
check "an override without a reason" \
    awk '/^O:/ && last !~ /^N:/ { bad = 1 } { last = $0 } END { exit bad }' "$scratch/lintian"

# lintian lets any $ORIGIN run path pass, such as Qt's default that would look in /usr/bin.
check "a run path other than the office's" [ /usr/lib/libreoffice/program = \
    "$(readelf -d "$root/usr/bin/quenvar" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')" ]

# What the program loads or runs without linking it: Qt's X11 platform plugin, the office that
# shows the slides and the fonts that stand in for Arial.
xcb=$(dpkg -S '*/qt6/plugins/platforms/libqxcb.so' | cut -d: -f1)
for package in "$xcb" libreoffice-impress fonts-liberation2; do
    check "Depends lacks $package" grep -qw "$package" <(dpkg-deb -f "$deb" Depends)
done

entry=$root/usr/share/applications/quenvar.desktop
check "the menu entry" desktop-file-validate "$entry"
check "no icon for the menu entry" \
    compgen -G "$root/usr/share/icons/hicolor/*/apps/$(sed -n 's/^Icon=//p' "$entry").*" >/dev/null
# A file manager opens every format Load Show offers with Quenvar.
for type in application/vnd.ms-powerpoint \
    application/vnd.openxmlformats-officedocument.presentationml.presentation \
    application/vnd.openxmlformats-officedocument.presentationml.slideshow \
    application/vnd.oasis.opendocument.presentation; do
    check "the menu entry does not open $type" grep -q "^MimeType=.*$type;" "$entry"
done
check "the menu entry passes no file" grep -qx 'Exec=quenvar %f' "$entry"

# The kiosk's user unit: valid, restarting Quenvar when it ends abnormally, enabled by nobody. It
# is verified as a user's manager would load it, with the program where the package unpacked it.
unit=$root/usr/lib/systemd/user/quenvar.service
sed "s|/usr/bin/quenvar|$root/usr/bin/quenvar|" "$unit" >"$scratch/quenvar.service"
mkdir -p -m 700 "$scratch/runtime"
# systemd ignores a line it cannot read, with a warning and status 0: any output is a failure.
verify_unit() {
    local said
    said=$(XDG_RUNTIME_DIR="$scratch/runtime" systemd-analyze --user --man=no verify "$1" 2>&1) &&
        [ -z "$said" ] || { echo "$said" >&2; return 1; }
}
check "the user unit does not verify" verify_unit "$scratch/quenvar.service"
check "the user unit does not restart Quenvar on failure" grep -qx 'Restart=on-failure' "$unit"
check "the package enables the user unit" \
    test -z "$(find "$root" -name '*.wants' -o -name '*.requires' | head -n1)"

check "the sample is not a presentation in the folder the dialog offers" \
    grep -q 'PowerPoint 2007+' <(file -b "$root/usr/share/quenvar/examples/quenvar-sample.pptx")
# The program finds the sample from its own folder, in the build tree as installed; the build
# folder is no business of the installed one.
check "no sample where the build tree's program looks" \
    [ -f "$build/app/../share/quenvar/examples/quenvar-sample.pptx" ]
check "the build folder in the program" \
    bash -c '! { strings -a "$1"; strings -a -el "$1"; } | grep -qF "$0"' "$(cd "$build" && pwd)" \
    "$root/usr/bin/quenvar"

# Started as the menu entry starts it (its Exec is checked above) without a file, from the package.
check "the installed program shows no window" env HOME="$scratch/home" QT_QPA_PLATFORM=xcb \
    PATH="$root/usr/bin:$PATH" timeout 60 xvfb-run -a -s "-screen 0 2048x768x24" \
    bash "$0" --window-shown "$scratch" quenvar

[ $failures -eq 0 ]
