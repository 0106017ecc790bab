#!/bin/sh
# The assistant on an X screen, used with real X input (xdotool): its window carries the
# program icon; Alt+Space and a right click on the caption open the system menu, whose
# About item opens the about box; a second copy brings the first back on top of a window
# that covered it; Alt+F4 ends the program. Screens are saved in OUTDIR for a person.
# usage: about_x.sh QV_Assistant xscreenshot OUTDIR
set -u
program=$1 shot=$2 out=$3
mkdir -p "$out"
machine=$(mktemp -d)
export QM_MACHINE="$machine" QM_PRESENT=gtk
pid=
cleanup() { [ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$machine"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; "$shot" "$out/x-failure.png"; exit 1; }

# The visible windows of the program, "id x y w h" a line.
windows() {
    for w in $(xdotool search --onlyvisible --class QV_Assistant 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$w")"
        echo "$WINDOW $X $Y $WIDTH $HEIGHT"
    done
}
# Waits (up to 10 s) until the number of visible windows is $1.
wait_count() {
    i=0
    while [ "$(windows | wc -l)" -ne "$1" ]; do
        i=$((i + 1)); [ $i -gt 100 ] && return 1; sleep 0.1
    done
}
# The visible window that is not the main one and matches a size test ($1: awk condition on w, h).
other() { windows | awk -v main="$main" "\$1 != main && ($1) { print; exit }"; }

"$program" &
pid=$!
wait_count 1 || fail "the main window did not appear"
set -- $(windows)
main=$1 mx=$2 my=$3 mw=$4 mh=$5
echo "main window $main at $mx,$my ${mw}x$mh"
sleep 1

# The program icon is the X window's icon (32 x 32 first).
xprop -id "$main" _NET_WM_ICON | grep -q 'Icon (32 x 32)' || fail "no 32x32 icon on the window"

about_via() {
    what=$1
    wait_count 2 || fail "$what: no menu"
    set -- $(other '$4 < 400 && $5 < 100')
    [ $# -eq 5 ] || fail "$what: no menu-sized window"
    menu_x=$2 menu_y=$3
    "$shot" "$out/x-$what-menu.png"
    # The third row: close, the separator, the about item.
    xdotool mousemove $((menu_x + 40)) $((menu_y + 2 + 22 + 9 + 12)) sleep 0.2 click 1
    wait_count 2 || fail "$what: the menu did not give way to the about box"
    sleep 0.5
    set -- $(other '$4 > 200 && $5 > 80 && $4 < 600')
    [ $# -eq 5 ] || fail "$what: no about box"
    "$shot" "$out/x-$what-about.png"
    xdotool mousemove $(($2 + 20)) $(($3 + 40)) key Escape
    wait_count 1 || fail "$what: the about box did not close"
}

xdotool mousemove $((mx + mw / 2)) $((my + 12)) sleep 0.2 key alt+space
about_via alt-space
xdotool mousemove $((mx + 300)) $((my + 12)) sleep 0.2 click 3
about_via right-click
"$shot" "$out/x-after-about.png"

# A window of another program covers the assistant; starting a second copy brings the
# first back on top (xwininfo lists the screen's windows top first) and ends by itself.
xmessage -geometry 700x500+250+250 "a window in front" &
cover=$!
i=0
while ! xwininfo -root -children | grep -q '"xmessage"'; do i=$((i + 1)); [ $i -gt 100 ] && fail "no cover"; sleep 0.1; done
sleep 0.5
main_hex=$(printf '0x%x' "$main")
above() { xwininfo -root -children | awk -v id="$main_hex" '$1 == id { m = NR } /"xmessage"/ { x = NR } END { exit !(m < x) }'; }
above && fail "the cover is not in front"
"$shot" "$out/x-covered.png"
"$program" || fail "the second copy failed"
i=0
while ! above; do i=$((i + 1)); [ $i -gt 50 ] && fail "the first copy did not come to the front"; sleep 0.1; done
"$shot" "$out/x-second-copy.png"
kill "$cover"

# Alt+F4 closes the window and ends the program.
xdotool mousemove $((mx + mw / 2)) $((my + mh / 2)) sleep 0.2 key alt+F4
i=0
while kill -0 "$pid" 2>/dev/null; do i=$((i + 1)); [ $i -gt 100 ] && fail "Alt+F4 did not end the program"; sleep 0.1; done
wait "$pid" || fail "the program ended with an error"
pid=
echo ok
