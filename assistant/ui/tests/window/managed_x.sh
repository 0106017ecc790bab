#!/bin/sh
# The assistant under a window manager (openbox), as on a desktop, with real X input
# (xdotool): its window is a managed one, undecorated, where user32 put it, with the
# keyboard; the about box is its modal transient and takes the keys with the pointer
# elsewhere; a second copy brings the first to the front of another program's window and
# gives it the keyboard; the manager's Alt+F4 ends the program. Screens go to OUTDIR.
# usage: managed_x.sh QV_Assistant xscreenshot OUTDIR
set -u
program=$1 shot=$2 out=$3
mkdir -p "$out"
machine=$(mktemp -d) home=$(mktemp -d)
export QM_MACHINE="$machine" QM_PRESENT=gtk
pid= wm= cover=
cleanup() {
    for p in $pid $cover $wm; do kill "$p" 2>/dev/null; done
    rm -rf "$machine" "$home"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; "$shot" "$out/wm-failure.png"; exit 1; }
# Waits (up to 10 s) until the command succeeds.
until_ok() {
    i=0
    while ! "$@" 2>/dev/null; do i=$((i + 1)); [ $i -gt 100 ] && return 1; sleep 0.1; done
}

HOME=$home XDG_CONFIG_HOME=$home/.config openbox 2>/dev/null &
wm=$!
until_ok sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' || fail "no window manager"

active() { xprop -root _NET_ACTIVE_WINDOW | awk '{ print $NF }'; }
# The managed windows bottom to top; the id of the top one.
top() { xprop -root _NET_CLIENT_LIST_STACKING | tr -d ',' | awk '{ print $NF }'; }
hex() { printf '0x%x' "$1"; }
is_active() { [ "$(active)" = "$(hex "$1")" ]; }
is_top() { [ "$(top)" = "$(hex "$1")" ]; }
windows() { xdotool search --onlyvisible --class QV_Assistant 2>/dev/null; }
count() { [ "$(windows | wc -l)" -eq "$1" ]; }

"$program" &
pid=$!
until_ok count 1 || fail "the main window did not appear"
main=$(windows)
eval "$(xdotool getwindowgeometry --shell "$main")"
mx=$X my=$Y mw=$WIDTH mh=$HEIGHT
echo "main window $main at $mx,$my ${mw}x$mh"
xwininfo -id "$main" | grep -q 'Override Redirect State: no' || fail "the main window is a pop-up"
xprop -id "$main" WM_STATE | grep -q Normal || fail "the main window is not managed"
# Centred on the 1280 x 1024 screen, as the dialog asks, and no frame of the manager's.
off() { d=$(($1 * 2 + $2 - $3)); [ $d -ge -1 ] && [ $d -le 1 ]; }
off "$mx" "$mw" 1280 && off "$my" "$mh" 1024 || fail "not where user32 put it"
until_ok is_active "$main" || fail "the new window has no keyboard"
sleep 1
"$shot" "$out/wm-main.png"

# The about box through the system menu of the caption (right click, third row).
xdotool mousemove $((mx + 300)) $((my + 12)) sleep 0.2 click 3
until_ok count 2 || fail "no menu"
menu=$(windows | grep -v "^$main\$")
xwininfo -id "$menu" | grep -q 'Override Redirect State: yes' || fail "the menu is not a pop-up"
eval "$(xdotool getwindowgeometry --shell "$menu")"
xdotool mousemove $((X + 40)) $((Y + 2 + 22 + 9 + 12)) sleep 0.2 click 1
until_ok sh -c "xdotool search --onlyvisible --class QV_Assistant | grep -v '^$main\$' | grep -qv '^$menu\$'" ||
    fail "no about box"
about=$(windows | grep -v "^$main\$")
until_ok is_active "$about" || fail "the about box has no keyboard"
xprop -id "$about" WM_TRANSIENT_FOR | grep -q "$(hex "$main")" || fail "the about box is not the window's transient"
xprop -id "$about" _NET_WM_STATE | grep -q _NET_WM_STATE_MODAL || fail "the about box is not modal"
sleep 0.5
"$shot" "$out/wm-about.png"
# Escape with the pointer on the main window, away from the box.
xdotool mousemove $((mx + 30)) $((my + mh - 30)) sleep 0.2 key Escape
until_ok count 1 || fail "Escape did not close the about box"
until_ok is_active "$main" || fail "the keyboard did not come back to the window"

# Another program's window covers the assistant and has the keyboard; a second copy brings
# the first to the front and gives it the keyboard.
xmessage -geometry 700x500+250+250 "a window in front" &
cover=$!
until_ok sh -c 'xwininfo -root -tree | grep -q "\"xmessage\""' || fail "no cover"
coverid=$(xdotool search --sync --onlyvisible --class Xmessage | head -n 1)
until_ok is_active "$coverid" || fail "the cover has no keyboard"
is_top "$main" && fail "the cover is not in front"
"$shot" "$out/wm-covered.png"
"$program" || fail "the second copy failed"
until_ok is_top "$main" || fail "the first copy did not come to the front"
until_ok is_active "$main" || fail "the first copy did not get the keyboard"
sleep 0.5
"$shot" "$out/wm-second-copy.png"

# The manager's Alt+F4 closes the window, as the system menu's Close.
xdotool key alt+F4
until_ok sh -c "! kill -0 $pid" || fail "Alt+F4 did not end the program"
wait "$pid" || fail "the program ended with an error"
pid=
echo ok
