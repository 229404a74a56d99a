# Shared by the applications and clipboard end-to-end tests, sourced after lib.sh's
# e2eInit: the installed bundle on a private display, two real X programs started through
# desktop entries written here, and the strip's menus pressed open.

e2eInstall
e2eStartDisplay

# The test programs are started by gio, not by us: close them by their windows, then stop
# what lib.sh started.
appsCleanup() {
    local w
    for w in $(xdotool search --class "${terminalClass:-none}" 2>/dev/null) \
        $(xdotool search --class "${logoClass:-none}" 2>/dev/null); do
        xdotool windowkill "$w" 2>/dev/null
    done
    e2eCleanup
}
trap appsCleanup EXIT
finish() { e2eFinish "$work/gio.log"; }

# The menu a press would show now, as JSON; fails when this build has no such command.
menuJson() { DISPLAY='' timeout 10 "$pelora" menu "$1" --json 2>/dev/null; }

# The strip's bottom-left origin is not stored yet: it sits at its default place, 12 in from the
# right edge and centred, 32 wide and 240 high on this screen.
stripX=1396
stripY=330
# Centre of a module's button, from the top of the vertical strip.
declare -A buttonOffset=([applications]=48 [folders]=80 [documents]=112 [clipboard]=149 [windows]=181)

# The strip must be at its default place for the presses to find its buttons.
startStrip() {
    startPelora
    [ -n "${strip:-}" ] || finish
    expectGeometry "strip" "$strip" "$stripX $stripY 32 240"
}

# The visible popup windows of Pelora (menus and submenus): the window manager leaves them
# alone (override-redirect), unlike the strip.
menuWindows() {
    local w
    for w in $(windowsOf "$peloraPid"); do
        xwininfo -id "$w" 2>/dev/null | grep -q 'Override Redirect State: yes' && echo "$w"
    done
}
menuShown() { [ -n "$(menuWindows)" ]; }
noMenu() { [ -z "$(menuWindows)" ]; }
menuGone() { waitFor 20 noMenu; }

# Presses a module's button on the strip and waits for its menu; the pointer then leaves the
# menu so that only the keyboard chooses.
openMenuAt() {
    xdotool mousemove "$((stripX + 16))" "$((stripY + buttonOffset[$1]))" click 1
    waitFor 30 menuShown
}

# Chooses in the open menu with the keyboard: the first key once the menu takes it, then the
# rest.
chooseWithKeys() {
    pressUntilAnswered "$(menuWindows | head -n1)" "$1" || fail "the menu does not answer the keyboard"
    shift
    xdotool key "$@"
}

# --- The two test programs and their desktop entries ---------------------------------
terminalClass=PeloraE2ETerm
terminalId=pelora-e2e-terminal.desktop
terminalEntry="$XDG_DATA_HOME/applications/$terminalId"
logoClass=XLogo
logoId=pelora-e2e-logo.desktop
logoEntry="$XDG_DATA_HOME/applications/$logoId"
peloraId=$(/usr/bin/env python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["CFBundleIdentifier"])' \
    "$HOME/Applications/Pelora.app/Contents/Info.json" 2>/dev/null)

# The terminal is found by its window class; the logo, which has no such hint, by the program
# its entry runs.
mkdir -p "$XDG_DATA_HOME/applications"
cat >"$terminalEntry" <<EOF
[Desktop Entry]
Type=Application
Name=Test Terminal
Exec=xterm -class $terminalClass -title Terminal -geometry 60x12+100+100
Icon=utilities-terminal
StartupWMClass=$terminalClass
EOF
cat >"$logoEntry" <<EOF
[Desktop Entry]
Type=Application
Name=Test Logo
Exec=xlogo -geometry 200x200+600+100
Icon=image-x-generic
EOF

appWindow() { xdotool search --onlyvisible --class "$1" 2>/dev/null | head -n1; }

launchTestApps() {
    gio launch "$terminalEntry" >>"$work/gio.log" 2>&1 || fail "gio launch $terminalId"
    gio launch "$logoEntry" >>"$work/gio.log" 2>&1 || fail "gio launch $logoId"
    waitFor 100 sh -c "[ -n \"\$(xdotool search --onlyvisible --class $terminalClass)\" ]" ||
        fail "no terminal window"
    waitFor 100 sh -c "[ -n \"\$(xdotool search --onlyvisible --class $logoClass)\" ]" ||
        fail "no logo window"
    settledGeometry "$(appWindow "$terminalClass")" >/dev/null
    settledGeometry "$(appWindow "$logoClass")" >/dev/null
}

wmState() { xprop -id "$1" WM_STATE 2>/dev/null | awk '/window state:/ {print $3}'; }
isIconic() { [ "$(wmState "$1")" = Iconic ]; }
