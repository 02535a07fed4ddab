#!/usr/bin/env bash
# Checks of the Debian package, one per command:
#   check-package.sh COMMAND BUILD_DIR SOURCE_DIR SCRATCH_DIR
# "build" makes the package with CPack and unpacks it with dpkg -x into SCRATCH_DIR/root; every
# other command checks that unpacked package, so each runs after "build" (a CTest fixture).
set -euo pipefail
command=$1 build=$2 source=$3 scratch=$4
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$scratch/root
title="Quenvar-Dual Monitor"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

deb() {
    local debs=("$scratch"/deb/quenvar_*.deb)
    [ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one package in $scratch/deb"
    echo "${debs[0]}"
}

build() {
    rm -rf "$scratch"
    mkdir -p "$scratch/deb"
    cmake --build "$build" --target quenvar quenvar_package_data
    umask 022 # as tools/package does: CPack makes the package's folders under the umask
    cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/deb" ||
        fail "cpack -G DEB failed"
    dpkg-deb -x "$(deb)" "$root"
}

files() {
    diff -u <(grep -v '^#' "$here/expected-files.txt" | sort) \
        <(cd "$root" && find . -mindepth 1 ! -type d -printf '%m %P\n' | sort) ||
        fail "the package's files differ from expected-files.txt"
    # Everything belongs to root, and every folder is one that anybody can enter.
    local odd
    odd=$(dpkg-deb -c "$(deb)" | awk '$2 != "root/root" || ($1 ~ /^d/ && $1 != "drwxr-xr-x")')
    [ -z "$odd" ] || fail "entries with a wrong owner or folder mode:"$'\n'"$odd"
    file -b "$root/usr/bin/quenvar" | grep -q ', stripped' || fail "usr/bin/quenvar is not stripped"
    # The installed program looks for libraries only in system places, not in the build tree or
    # beside itself.
    local runpath
    runpath=$(readelf -d "$root/usr/bin/quenvar" | sed -n 's/.*(R[UN]*PATH).*\[\(.*\)\]/\1/p')
    if [ -n "$runpath" ]; then
        case ":$runpath:" in
        *'$ORIGIN'* | *":$build"* | *":$source"* | *::*) fail "usr/bin/quenvar has the run path $runpath" ;;
        esac
    fi
    # Installing from the build tree lays out the same files.
    rm -rf "$scratch/destdir"
    DESTDIR=$scratch/destdir cmake --install "$build" --prefix /usr >/dev/null
    diff -u <(cd "$root" && find . ! -type d | sort) \
        <(cd "$scratch/destdir" && find . ! -type d | sort) ||
        fail "cmake --install gives other files than the package"
}

# The package that owns a file. dpkg knows a library by the path its package gave, which after
# Debian's merge of /lib into /usr/lib may be either form of the path the loader found.
owner() {
    local path candidates=()
    for path in "$1" "$(realpath "$1")"; do
        candidates+=("$path" "${path#/usr}" "/usr$path")
    done
    for path in "${candidates[@]}"; do
        dpkg -S "$path" 2>/dev/null | head -1 | cut -d: -f1 && return
    done
}

control() {
    local package
    package=$(deb)
    [ "$(dpkg-deb -f "$package" Package)" = quenvar ] || fail "package name"
    [ "$(dpkg-deb -f "$package" Architecture)" = "$(dpkg --print-architecture)" ] ||
        fail "architecture"
    # What a fresh Debian would install for this package: apt resolves it against an empty list
    # of installed packages, recommendations left out, so the Depends line alone must bring it all.
    local apt=("$scratch/apt" "$scratch/apt/archives/partial")
    mkdir -p "${apt[@]}"
    : >"$scratch/apt/status"
    apt-get -s --no-install-recommends -o Debug::NoLocking=1 \
        -o Dir::State::status="$scratch/apt/status" -o Dir::Cache="$scratch/apt" \
        install "$package" >"$scratch/apt/plan" 2>&1 ||
        fail "apt cannot install the package on a fresh system:"$'\n'"$(cat "$scratch/apt/plan")"
    awk '$1 == "Inst" { print $2 }' "$scratch/apt/plan" | sed 's/:.*//' | sort -u >"$scratch/apt/brought"
    # The packages that own each library the executable loads, plus what it runs or shows with:
    # the presentation program, the fonts, and Qt's X11 platform plugin.
    local needed=(libreoffice-impress fonts-liberation2)
    needed+=("$(owner /usr/lib/*/qt6/plugins/platforms/libqxcb.so)")
    local lib
    for lib in $(ldd "$root/usr/bin/quenvar" | awk '$3 ~ /^\// { print $3 }'); do
        needed+=("$(owner "$lib")")
    done
    local missing=() p
    for p in "${needed[@]}"; do
        [ -n "$p" ] || fail "a library of the executable belongs to no Debian package"
        grep -qx "$p" "$scratch/apt/brought" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] || fail "a fresh install would not bring: ${missing[*]}"
}

desktop() {
    local entry=$root/usr/share/applications/quenvar.desktop
    desktop-file-validate "$entry" || fail "desktop-file-validate"
    local exec icon
    exec=$(sed -n 's/^Exec=//p' "$entry")
    icon=$(sed -n 's/^Icon=//p' "$entry")
    [ -x "$root/usr/bin/${exec%% *}" ] || fail "Exec=$exec is not an installed program"
    local size
    for size in 16x16 32x32; do
        [ -f "$root/usr/share/icons/hicolor/$size/apps/$icon.png" ] || fail "no $size icon $icon"
    done
    grep -qx 'Categories=.*Presentation;.*' "$entry" || fail "not in the Presentation category"
}

manpage() {
    local page=$root/usr/share/man/man1/quenvar.1.gz warnings
    gzip -t "$page" || fail "the manual page is not gzip data"
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) ||
        fail "man cannot show the page"
    [ -z "$warnings" ] || fail "groff warns about the manual page:"$'\n'"$warnings"
    # whatis and apropos find the page only when its NAME line parses.
    lexgrog "$page" | grep -q '"quenvar - ' || fail "lexgrog finds no NAME line"
    local text
    text=$(MANWIDTH=200 man -l "$page" 2>/dev/null)
    grep -q '~/Qvr' <<<"$text" || fail "the page does not name the display numbers file"
    grep -q 'libreoffice\|LibreOffice Impress' <<<"$text" || fail "the page does not say what it needs"
}

sample() {
    local pptx=$root/usr/share/quenvar/examples/quenvar-sample.pptx
    [ -s "$pptx" ] || fail "no sample presentation"
    python3 - "$pptx" <<'PY' || fail "the sample is not a presentation of several slides"
import re, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    slides = [n for n in z.namelist() if re.fullmatch(r"ppt/slides/slide\d+\.xml", n)]
    text = " ".join(re.findall(r"<a:t>([^<]*)</a:t>", z.read("ppt/slides/slide1.xml").decode()))
sys.exit(0 if len(slides) >= 3 and "Quenvar" in text else 1)
PY
}

# The window icon's images: 16 and 32 pixels square, at most 16 colours; and the Qt resource file
# the program takes them from names only files that are there.
icons() {
    python3 - "$root/usr/share/icons/hicolor" <<'PY' || fail "icon images"
import struct, sys, zlib
def png(path):
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path
    width, height, depth, kind = struct.unpack(">IIBB", data[16:26])
    colours = None
    pos = 8
    while pos < len(data):
        length, = struct.unpack(">I", data[pos:pos + 4])
        if data[pos + 4:pos + 8] == b"PLTE":
            colours = length // 3
        pos += 12 + length
    return width, height, kind, colours
for size in (16, 32):
    width, height, kind, colours = png(f"{sys.argv[1]}/{size}x{size}/apps/quenvar.png")
    assert (width, height) == (size, size), (size, width, height)
    assert kind == 3 and colours is not None and colours <= 16, (size, kind, colours)
PY
    python3 -c 'import sys, xml.dom.minidom as m; m.parse(sys.argv[1])' \
        "$root/usr/share/icons/hicolor/scalable/apps/quenvar.svg" || fail "the SVG icon is not XML"
    local rcc=/usr/lib/qt6/libexec/rcc
    [ -x "$rcc" ] || rcc=$(command -v rcc) || fail "no rcc"
    local listed path
    listed=$("$rcc" --list "$source/app/icons/icons.qrc" 2>&1) || fail "rcc: $listed"
    for path in $listed; do
        [ -f "$path" ] || fail "icons.qrc names $path, which is not there"
    done
    [ "$(wc -l <<<"$listed")" -eq 3 ] || fail "icons.qrc should list three images: $listed"
}

# The converter must not leave an old file, or report success, when LibreOffice converts nothing.
convert_failure() {
    rm -rf "$scratch" && mkdir -p "$scratch"
    echo 'not a presentation' >"$scratch/broken.fodp"
    echo stale >"$scratch/broken.pptx"
    if cmake -DSOFFICE="$(command -v soffice)" -DSOURCE="$scratch/broken.fodp" \
        -DOUTPUT="$scratch/broken.pptx" -P "$source/packaging/convert-sample.cmake" \
        >"$scratch/log" 2>&1; then
        fail "the conversion of a broken source reported success"
    fi
    [ ! -e "$scratch/broken.pptx" ] || fail "a failed conversion left $scratch/broken.pptx"
}

# Started the way the menu entry starts it, on an X server of its own, the installed program must
# show its control window.
starts() {
    mkdir -p "$scratch/home"
    local exec
    exec=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/quenvar.desktop")
    HOME=$scratch/home QT_QPA_PLATFORM=xcb PATH="$root/usr/bin:$PATH" \
        timeout 90 xvfb-run -a -s "-screen 0 2048x768x24" \
        bash "${BASH_SOURCE[0]}" watch "$build" "$source" "$scratch" "$exec"
}

watch() {
    local exec=$5
    $exec >"$scratch/program.log" 2>&1 &
    program=$!
    trap 'kill $program 2>/dev/null || true' EXIT
    local deadline=$((SECONDS + 30)) window="" icons=""
    # The window manager and task bar take the window's icon from _NET_WM_ICON, one image a size.
    while [ $SECONDS -lt $deadline ]; do
        window=$(xwininfo -root -tree | awk -v t="\"$title\":" 'index($0, t) { print $1; exit }')
        if [ -n "$window" ]; then
            icons=$(xprop -id "$window" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' || true)
            grep -qx 'Icon (16 x 16)' <<<"$icons" && grep -qx 'Icon (32 x 32)' <<<"$icons" && return
        fi
        kill -0 $program 2>/dev/null || break
        sleep 0.2
    done
    [ -n "$window" ] ||
        fail "no window titled \"$title\"; the program said:"$'\n'"$(cat "$scratch/program.log")"
    fail "the window has no icon images of 16 x 16 and 32 x 32, only: ${icons:-none}"
}

case $command in
build | files | control | desktop | manpage | sample | icons | convert_failure | starts | watch)
    "$command" "$@" ;;
*) fail "unknown command $command" ;;
esac
