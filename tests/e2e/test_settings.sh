#!/usr/bin/env bash
# The settings, update, About and licence windows on a private X display with openbox and
# trayer: the settings open from the tray menu in front; switching tabs fits the height and
# keeps the window's top edge; the strip switch closes the strip and brings it back where it
# was; a manual check finds a newer version on a local web server and shows the update window;
# About opens from the command line and closes with Ctrl+W; the licence opens from the
# settings window's Help menu; with automatic checks off nothing is asked at launch, and with
# them on the launch check shows the update window by itself.
# Usage: test_settings.sh <bundle dir> <artifact dir>. Exit 77 when a needed tool is missing.
set -uo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2eInit "$@" Xvfb openbox trayer xdotool xwininfo xprop import convert /usr/bin/python3
e2eInstall
# The tray is trayer's, over XEmbed: no StatusNotifierItem host of this machine's session.
unset DBUS_SESSION_BUS_ADDRESS
python=/usr/bin/python3

# --- The maker's web server, here: a version document newer than the bundle -------------
mkdir -p "$work/web/version_checking"
cat >"$work/web/version_checking/Pelora.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<pelora>
  <lastversion>99.0</lastversion>
  <downloadurl>https://pelora.example.org/download/</downloadurl>
  <titletext><english>Pelora 99.0 is available</english></titletext>
  <infotext><english>This version was served by the end-to-end test.</english></infotext>
</pelora>
XML
"$python" -u -m http.server 0 --bind 127.0.0.1 --directory "$work/web" \
    >"$work/web.out" 2>"$work/web.log" &
started+=($!)
waitFor 100 grep -q "port" "$work/web.out" || { echo "FAIL: the web server did not start"; exit 1; }
port=$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$work/web.out" | head -n1)
documentRequests() { grep -c 'GET /version_checking/Pelora.xml' "$work/web.log"; }

# Only a build with tests enabled reads this key; it points the check at the local server.
defaultsTool write PeloraTestVersionDocumentURL -string \
    "http://127.0.0.1:$port/version_checking/Pelora.xml" ||
    { echo "FAIL: the defaults tool could not write"; exit 1; }

e2eStartDisplay
trayer --edge top --align right --widthtype pixel --width 200 --height 32 \
    --SetDockType true --SetPartialStrut true >"$work/trayer.log" 2>&1 &
started+=($!)

# Pelora's visible window titled exactly $1.
windowNamed() {
    local w
    for w in $(windowsOf "$peloraPid"); do
        [ "$(xprop -id "$w" WM_NAME 2>/dev/null | sed -n 's/^WM_NAME([^)]*) = "\(.*\)"$/\1/p')" = "$1" ] &&
            echo "$w" && return 0
    done
    return 1
}
activeName() { xdotool getactivewindow getwindowname 2>/dev/null; }
stripWindow() {
    local w
    for w in $(windowsOf "$peloraPid"); do
        xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_UTILITY &&
            echo "$w" && return 0
    done
    return 1
}
noStrip() { ! stripWindow >/dev/null; }
trayIcon() {
    local w x y width height
    for w in $(windowsOf "$peloraPid"); do
        read -r x y width height <<<"$(geometry "$w")"
        [ -n "$height" ] && ((y >= 0 && y + height <= 32 && x >= 1440 - 200)) && echo "$w"
    done
}
cmd() { DISPLAY='' timeout 20 "$pelora" "$@"; }
# Brings a window to the front with the keyboard's focus, as a click on it would.
focus() { xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"; }

# With the tray running the icon may be the first window: wait for the strip itself.
startPelora() {
    "$pelora" >>"$work/pelora.log" 2>&1 &
    peloraPid=$!
    started+=($peloraPid)
    waitFor 100 stripWindow >/dev/null || fail "no strip window appeared"
}
quitPelora() {
    cmd quit || fail "pelora quit"
    if waitFor 100 sh -c "! kill -0 $peloraPid 2>/dev/null"; then
        wait "$peloraPid"
        code=$?
        [ "$code" -eq 0 ] && pass "quit" || fail "exit $code after quit"
    else
        fail "still running after pelora quit"
    fi
}
# Waits for the update window of the served document, screenshots it and closes it with
# Escape.
expectUpdateWindow() {
    if waitFor 100 windowNamed "Pelora 99.0 is available" >/dev/null; then
        pass "$1 showed the update window"
        update=$(windowNamed "Pelora 99.0 is available")
        read -r _ _ uw uh <<<"$(geometry "$update")"
        [ "$uw $uh" = "480 220" ] && pass "update window 480x220" ||
            fail "update window ${uw}x${uh}"
        shot "$2"
        focus "$update"
        xdotool key Escape
        waitFor 50 sh -c "! xprop -id $update WM_STATE 2>/dev/null | grep -q Normal" ||
            fail "Escape did not close the update window"
    else
        fail "no update window after $1"
    fi
}

# --- With automatic checks off, nothing is asked at launch ---------------------------------
defaultsTool write PeloraAutoCheckForUpdates -bool false
startPelora
# A check at launch would be asked within a moment.
requested() { [ "$(documentRequests)" -gt 0 ]; }
if waitFor 10 requested; then
    fail "$(documentRequests) requests at launch with automatic checks off"
else
    pass "no check at launch while automatic checks are off"
fi

# --- The settings from the tray menu ----------------------------------------------------
waitFor 100 sh -c "[ -n \"\$(xdotool search --onlyvisible --pid $peloraPid 2>/dev/null |
    while read -r w; do xwininfo -id \$w | awk '/Absolute upper-left Y/ {y=\$NF}
    /Height:/ {h=\$NF} END {if (y >= 0 && y + h <= 32) print \"in\"}'; done)\" ]" ||
    fail "no icon in the tray"
icon=$(trayIcon | head -n1)
settings=""
if [ -n "$icon" ]; then
    read -r ix iy iw ih <<<"$(geometry "$icon")"
    xdotool mousemove $((ix + iw / 2)) $((iy + ih / 2)) click 1
    trayMenu() {
        local w
        for w in $(windowsOf "$peloraPid"); do
            xwininfo -id "$w" 2>/dev/null | grep -q 'Override Redirect State: yes' &&
                [ "$w" != "$icon" ] && echo "$w"
        done | head -n1
    }
    menuUp() { [ -n "$(trayMenu)" ]; }
    waitFor 50 menuUp || fail "no tray menu"
    # Five module entries, then the settings entry (the separator is skipped).
    pressUntilAnswered "$(trayMenu)" Down || fail "the tray menu does not answer the keyboard"
    xdotool key Down Down Down Down Down Return
    if waitFor 100 windowNamed General >/dev/null; then
        settings=$(windowNamed General)
        pass "the tray's settings entry opened the settings"
    else
        fail "no settings window from the tray menu"
    fi
fi
if [ -z "$settings" ]; then
    cmd settings || fail "pelora settings"
    waitFor 100 windowNamed General >/dev/null && settings=$(windowNamed General)
fi
[ -n "$settings" ] || { echo "FAIL: no settings window at all"; cat "$work/pelora.log"; exit 1; }
waitFor 30 sh -c '[ "$(xdotool getactivewindow getwindowname 2>/dev/null)" = General ]' &&
    pass "the settings window is in front with the focus" ||
    fail "the active window is \"$(activeName)\", not the settings"
read -r sx sy sw sh <<<"$(settledGeometry "$settings")"
shot settings-1-general

# --- Tabs: the top edge stays put --------------------------------------------------------
# The two tab buttons sit side by side in the middle of the bar below the menu bar.
tabY=$((sy + 52))
xdotool mousemove $((sx + sw / 2 + 40)) "$tabY" click 1
if waitFor 50 windowNamed Updates >/dev/null; then
    resized() { read -r _ _ _ uh <<<"$(settledGeometry "$settings")" && [ "$uh" -ne "$sh" ]; }
    waitFor 50 resized
    read -r ux uy uw uh <<<"$(settledGeometry "$settings")"
    [ "$uy" -eq "$sy" ] && pass "top edge kept at $sy" || fail "top edge moved: $sy -> $uy"
    [ "$uh" -ne "$sh" ] && pass "height fitted to the Updates tab: $sh -> $uh" ||
        fail "height unchanged on the Updates tab: $uh"
    shot settings-2-updates
    stored=$(defaultsTool read settingsSelectedTab)
    [ "$stored" = "int 1" ] && pass "selected tab stored" || fail "settingsSelectedTab: $stored"
else
    fail "the Updates tab did not open"
fi
xdotool mousemove $((sx + sw / 2 - 40)) "$tabY" click 1
waitFor 50 windowNamed General >/dev/null || fail "back to the General tab failed"
firstSize() { read -r gx gy gw gh <<<"$(settledGeometry "$settings")" && [ "$gy $gh" = "$sy $sh" ]; }
waitFor 50 firstSize
read -r gx gy gw gh <<<"$(settledGeometry "$settings")"
[ "$gy $gh" = "$sy $sh" ] && pass "General again at its first size" ||
    fail "General again: $gx $gy $gw $gh, first $sx $sy $sw $sh"

# --- The strip switch: off, then on at the same place -------------------------------------
stripBefore=$(geometry "$(stripWindow)")
# The switch that is on (blue) in the window's right margin is the show-strip switch.
import -window root -crop "60x${gh}+$((gx + gw - 70))+${gy}" "$work/switches.png"
switchY=$(convert "$work/switches.png" txt:- | awk '
    match($0, /srgba?\([0-9]+,[0-9]+,[0-9]+/) {
        split(substr($0, RSTART, RLENGTH), c, /[(,]/)
        split($1, p, ",")
        if (c[4] > 150 && c[4] > c[2] + 60) { sum += p[2]; n++ }
    }
    END { if (n > 20) print int(sum / n) }')
if [ -n "$switchY" ]; then
    switchX=$((gx + gw - 70 + 30))
    xdotool mousemove "$switchX" $((gy + switchY)) click 1
    if waitFor 50 noStrip; then
        pass "the switch closed the strip"
        stored=$(defaultsTool read PeloraStripVisible)
        [ "$stored" = "bool false" ] && pass "PeloraStripVisible false" ||
            fail "PeloraStripVisible after the switch: $stored"
        shot settings-3-strip-off
        xdotool mousemove "$switchX" $((gy + switchY)) click 1
        if waitFor 50 stripWindow >/dev/null; then
            stripAfter=$(settledGeometry "$(stripWindow)")
            [ "$stripAfter" = "$stripBefore" ] && pass "the strip came back where it was" ||
                fail "the strip came back at $stripAfter, was $stripBefore"
        else
            fail "the switch did not bring the strip back"
        fi
    else
        fail "the strip stayed after the switch"
    fi
else
    fail "no switch that is on in the General tab"
fi

# --- A manual check: the update window -----------------------------------------------------
cmd check-updates || fail "pelora check-updates"
expectUpdateWindow "pelora check-updates" settings-4-update-window
[ "$(documentRequests)" -eq 1 ] && pass "the manual check asked the server once" ||
    fail "$(documentRequests) requests after the manual check"

# --- About, and Ctrl+W --------------------------------------------------------------------
cmd about || fail "pelora about"
if waitFor 100 windowNamed "About Pelora" >/dev/null; then
    about=$(windowNamed "About Pelora")
    read -r _ _ aw ah <<<"$(geometry "$about")"
    [ "$aw $ah" = "500 600" ] && pass "About window 500x600" || fail "About window ${aw}x${ah}"
    settledGeometry "$about" >/dev/null
    shot settings-5-about
    focus "$about"
    xdotool key ctrl+w
    waitFor 50 sh -c "! xdotool search --onlyvisible --name '^About Pelora\$' >/dev/null 2>&1" &&
        pass "Ctrl+W closed the About window" || fail "Ctrl+W left the About window open"
else
    fail "no About window"
fi

# --- The licence, from the settings window's Help menu --------------------------------------
focus "$settings"
xdotool key alt+h
helpMenu() {
    local w
    for w in $(windowsOf "$peloraPid"); do
        xwininfo -id "$w" 2>/dev/null | grep -q 'Override Redirect State: yes' &&
            [ "$(awk '/Absolute upper-left Y/ {print $NF}' < <(xwininfo -id "$w"))" -gt 32 ] && echo "$w"
    done | head -n1
}
helpUp() { [ -n "$(helpMenu)" ]; }
waitFor 50 helpUp || fail "no Help menu"
shot settings-6-help-menu
# The menu opens with its first entry active: help, support, then the licence.
pressUntilAnswered "$(helpMenu)" Down || fail "the Help menu does not answer the keyboard"
xdotool key Down Return
if waitFor 100 windowNamed "License Agreement" >/dev/null; then
    license=$(windowNamed "License Agreement")
    read -r _ _ lw lh <<<"$(geometry "$license")"
    ((lw >= 560 && lh >= 420)) && pass "licence window ${lw}x${lh}" ||
        fail "licence window ${lw}x${lh}"
    settledGeometry "$license" >/dev/null
    shot settings-7-license
    focus "$license"
    xdotool key Return # the close button is the default one
    waitFor 50 sh -c "! xdotool search --onlyvisible --name '^License Agreement\$' >/dev/null 2>&1" ||
        fail "the licence window's close button did not close it"
else
    fail "no licence window from the Help menu"
fi

quitPelora

# --- Automatic checks on (the key absent): the launch check shows the update window ---------
defaultsTool delete PeloraAutoCheckForUpdates
startPelora
expectUpdateWindow "the launch check" settings-8-update-at-launch
[ "$(documentRequests)" -eq 2 ] && pass "the launch check asked the server" ||
    fail "$(documentRequests) requests after the second launch"
quitPelora

e2eFinish
