#!/usr/bin/env bash
# The installed strip on a private 1440x900 X display with openbox: its size and default place,
# a drag by the handle, the stored frame, a restart, the orientation switched from outside, and
# the critical alert of a bundle outside the Applications folders.
# Usage: test_strip.sh <bundle dir> <artifact dir>. Exit 77 when a needed tool is missing.
set -uo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2eInit "$@" Xvfb openbox xdotool xwininfo xprop import
e2eInstall
mkdir -p "$HOME/Downloads"
cp -a "$bundle" "$HOME/Downloads/Pelora.app"
stray="$HOME/Downloads/Pelora.app/Contents/MacOS/pelora"
e2eStartDisplay

hasDefaultsTool=false
if defaultsTool read >/dev/null 2>&1; then
    hasDefaultsTool=true
else
    echo "note: this build has no 'pelora defaults' tool; stored-frame checks are skipped"
fi

# --- First run: default size and place -------------------------------------------------
startPelora
[ "$(windowsOf "$peloraPid" | wc -l)" -eq 1 ] || fail "expected exactly one window"
# 12 in from the right edge, centred: 1440 - 32 - 12 = 1396, (900 - 240) / 2 = 330.
expectGeometry "default place" "$strip" "1396 330 32 240"
states=$(xprop -id "$strip" _NET_WM_STATE)
for state in _NET_WM_STATE_SKIP_TASKBAR _NET_WM_STATE_SKIP_PAGER _NET_WM_STATE_ABOVE; do
    grep -q "$state" <<<"$states" || fail "strip window lacks $state ($states)"
done
xprop -id "$strip" _NET_WM_DESKTOP | grep -q 4294967295 || fail "strip is not on all desktops"
xprop -id "$strip" WM_HINTS | grep -q 'Client accepts input or input focus: False' ||
    fail "strip window accepts keyboard focus"
shot strip-1-default

# --- A click on the handle without motion leaves the window manager in its normal state -
xdotool mousemove 1412 349 click 1
xdotool mousemove 700 500
settledGeometry "$strip" >/dev/null
expectGeometry "after a click on the handle" "$strip" "1396 330 32 240"

# --- Drag by the handle ----------------------------------------------------------------
# The handle is the top 8..30 of the vertical strip; grab it at its middle.
xdotool mousemove 1412 349 mousedown 1
for step in 5 15 40 80 160 240 300; do
    xdotool mousemove $((1412 - step)) $((349 - step / 3))
done
# The button stays down until the window manager has taken the drag: the window follows the
# pointer (nudged, so a drag taken late sees it move again).
followsThePointer() {
    xdotool mousemove 1113 249 mousemove 1112 249
    [ "$(geometry "$strip")" = "1096 230 32 240" ]
}
waitFor 100 followsThePointer || fail "the window manager did not take the drag"
xdotool mouseup 1
settledGeometry "$strip" >/dev/null
expectGeometry "after the drag" "$strip" "1096 230 32 240"
# A drag on a module button does not move the strip.
xdotool mousemove 1112 278 mousedown 1 mousemove 1000 300 mouseup 1
settledGeometry "$strip" >/dev/null
expectGeometry "after a drag on a button" "$strip" "1096 230 32 240"
shot strip-2-dragged

if $hasDefaultsTool; then
    # Bottom-left origin: 900 - 230 - 240 = 430.
    stored=$(defaultsTool read PeloraStripWindowFrame)
    [ "$stored" = 'string "{{1096, 430}, {32, 240}}"' ] && pass "stored frame $stored" ||
        fail "stored frame: $stored"
fi

# --- Restart: the strip comes back where it was left ----------------------------------
stopPelora
if $hasDefaultsTool; then
    startPelora
    expectGeometry "after a restart" "$strip" "1096 230 32 240"
    shot strip-3-restarted

    stopPelora

    # --- The orientation switched from outside, while it runs ---------------------------
    # From the default place at the right edge. Each switch keeps the top-left corner, pulled
    # back so the strip stays whole on the screen; the window and the stored frame agree.
    defaultsTool delete PeloraStripWindowFrame
    startPelora
    placedAndStored() { # expected "x y w h"
        local got x y w h
        got=$(geometry "$strip")
        read -r x y w h <<<"$got"
        [ "$got" = "$1" ] &&
            [ "$(defaultsTool read PeloraStripWindowFrame)" = "string \"{{$x, $((900 - y - h))}, {$w, $h}}\"" ]
    }
    for orientation in horizontal vertical horizontal vertical horizontal vertical; do
        if [ "$orientation" = horizontal ]; then expected="1200 330 240 32"; else expected="1200 330 32 240"; fi
        defaultsTool write stripOrientation "$orientation"
        if waitFor 50 placedAndStored "$expected"; then
            pass "$orientation: placed and stored at $expected"
        else
            fail "$orientation: window $(geometry "$strip"), stored $(defaultsTool read PeloraStripWindowFrame), expected $expected"
        fi
        [ "$orientation" = horizontal ] && [ ! -e "$artifacts/strip-4-horizontal.png" ] &&
            shot strip-4-horizontal
    done
    stopPelora
fi

# --- Outside the Applications folders: the critical alert, then quitting ---------------
"$stray" >>"$work/pelora-stray.log" 2>&1 &
strayPid=$!
started+=($strayPid)
waitFor 100 sh -c "xdotool search --onlyvisible --pid $strayPid >/dev/null 2>&1" ||
    fail "no alert appeared"
settledGeometry "$(windowsOf "$strayPid" | head -n1)" >/dev/null
alertWindows=$(windowsOf "$strayPid")
[ "$(wc -l <<<"$alertWindows")" -eq 1 ] || fail "expected the alert only, got: $alertWindows"
alert=$(head -n1 <<<"$alertWindows")
read -r _ _ aw ah <<<"$(geometry "$alert")"
((aw > 200 && ah > 80)) || fail "the alert is too small to be the alert: ${aw}x${ah}"
shot alert
xdotool windowactivate --sync "$alert" 2>/dev/null || xdotool windowfocus --sync "$alert"
xdotool key --clearmodifiers Return
if waitFor 50 sh -c "! kill -0 $strayPid 2>/dev/null"; then
    wait "$strayPid"
    code=$?
    [ "$code" -eq 0 ] && pass "quit after the alert" || fail "exit code $code after the alert"
else
    fail "still running after the alert's button was pressed"
fi

e2eFinish "$work/pelora-stray.log"
