# Shared by the applications and clipboard end-to-end tests (sourced, not run): a private X
# display with openbox, the installed bundle in a private home, Pelora started on it, two real
# X programs started through desktop entries written here, and the strip's menus pressed open.
# Expects $bundle and $artifacts; defines pass/fail/finish and the helpers below.

mkdir -p "$artifacts"
rm -f "$artifacts"/*.png
work=$(mktemp -d)
started=()
failures=0

cleanup() {
    local pid w
    # The test programs were started by gio, not by us: close them by their windows.
    if [ -n "${DISPLAY:-}" ]; then
        for w in $(xdotool search --class "${terminalClass:-none}" 2>/dev/null) \
            $(xdotool search --class "${logoClass:-none}" 2>/dev/null); do
            xdotool windowkill "$w" 2>/dev/null
        done
    fi
    for ((i = ${#started[@]} - 1; i >= 0; i--)); do
        pid=${started[i]}
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

finish() {
    if ((failures > 0)); then
        echo "--- pelora log"
        cat "$work/pelora.log" 2>/dev/null
        echo "$failures check(s) failed"
        exit 1
    fi
    echo "all checks passed"
    exit 0
}

# Waits up to $1 tenths of a second for the command (or function) to succeed.
waitFor() {
    local tenths=$1
    shift
    for ((t = 0; t < tenths; t++)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

export HOME="$work/home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share"
export XDG_CACHE_HOME="$HOME/.cache" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME/Applications" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME/applications" \
    "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM SESSION_MANAGER
cp -a "$bundle" "$HOME/Applications/Pelora.app"
pelora="$HOME/Applications/Pelora.app/Contents/MacOS/pelora"

Xvfb -displayfd 3 -screen 0 1440x900x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
started+=($!)
waitFor 100 test -s "$work/display" || { echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
openbox --sm-disable >"$work/openbox.log" 2>&1 &
started+=($!)
waitFor 100 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"' ||
    { echo "FAIL: openbox did not start"; exit 1; }

shot() { import -window root "$artifacts/$1.png" && echo "screenshot $artifacts/$1.png"; }
windowsOf() { xdotool search --onlyvisible --pid "$1" 2>/dev/null; }

# The defaults tool and the menu command run without a display and with a time limit.
defaultsTool() { DISPLAY='' QT_QPA_PLATFORM=offscreen timeout 10 "$pelora" defaults "$@"; }
# The menu a press would show now, as JSON; fails when this build has no such command.
menuJson() { DISPLAY='' timeout 10 "$pelora" menu "$1" --json 2>/dev/null; }

# The strip's bottom-left origin is not stored yet: it sits at its default place, 12 in from the
# right edge and centred, 32 wide and 240 high on this screen.
stripX=1396
stripY=330
# Centre of a module's button, from the top of the vertical strip.
declare -A buttonOffset=([applications]=48 [folders]=80 [documents]=112 [clipboard]=149 [windows]=181)

startPelora() {
    "$pelora" >>"$work/pelora.log" 2>&1 &
    peloraPid=$!
    started+=($peloraPid)
    waitFor 100 sh -c "xdotool search --onlyvisible --pid $peloraPid >/dev/null 2>&1" ||
        { fail "no strip window appeared"; finish; }
    strip=$(windowsOf "$peloraPid" | head -n1)
    sleep 0.5 # let the window manager settle the window
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
    waitFor 30 menuShown || return 1
    sleep 0.3
    return 0
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
    sleep 0.3
}

wmState() { xprop -id "$1" WM_STATE 2>/dev/null | awk '/window state:/ {print $3}'; }
isIconic() { [ "$(wmState "$1")" = Iconic ]; }
