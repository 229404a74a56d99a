#!/usr/bin/env bash
# Pelora in a headless sway, through XWayland and natively (QT_QPA_PLATFORM=wayland), with foot
# in front: ten wl-copy texts in a row reach the clipboard menu; text offered only as UTF-8 is
# kept, a copy marked secret is not; a program that never answers a read holds nothing up; the
# terminal is listed in the windows menu; the window list and the clipboard follow sway again
# once a title and a type name too long for sway to send are gone. Through XWayland also: the
# strip at its stored place, a chosen clipboard entry back for wl-paste (keeping its place), an
# X11 copy while a Wayland window has the focus, choosing the terminal focuses it, hide-all hides
# it and an xterm and brings it back tiled, a program started from the applications menu does not
# inherit Pelora's Qt platform, no menu is a window of sway's tree. Natively (no place can be
# known) the stored place is never overwritten. With one virtual keyboard and foot focused: the
# default shortcut opens the clipboard menu, which answers to typing and Escape and hands the
# focus back; quitting removes the binding.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/lib.sh"
tools=(sway swaymsg Xwayland foot wl-copy wl-paste xdotool xterm xclip python3)
# sway refuses root: as root, run again as a throw-away user with copies of the bundle and the
# scripts, and hand back its artifacts and status.
if [ "$(id -u)" -eq 0 ]; then
    needs "${tools[@]}" useradd userdel runuser
    user="pelora-e2e-$$" home=$(mktemp -d /tmp/pelora-e2e.XXXXXX)
    useradd --no-create-home --home-dir "$home" --shell /bin/bash "$user" || exit 1
    cp -a "$1" "$home/Pelora.app" && cp -a "$here" "$home/e2e" && mkdir -p "$home/artifacts" "$2"
    chown -R "$user:" "$home"
    runuser -u "$user" -- env -i PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 HOME="$home" \
        bash "$home/e2e/test_wayland.sh" "$home/Pelora.app" "$home/artifacts"
    status=$?
    cp -a "$home/artifacts/." "$2/"
    userdel -f "$user" 2>/dev/null
    rm -rf "$home"
    exit $status
fi
e2eInit "$@" "${tools[@]}"

# A headless sway (1440x900) with XWayland, whose X display is in sway's environment only.
printf '%s\n' 'xwayland enable' 'output * resolution 1440x900 position 0 0' >"$work/sway.conf"
env -u DISPLAY WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 sway -c "$work/sway.conf" \
    >"$work/sway.log" 2>&1 &
started+=($!)
swayUp() { compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*.sock" && compgen -G "$XDG_RUNTIME_DIR/wayland-*.lock"; }
waitFor 100 swayUp >/dev/null || { echo "FAIL: no sway"; cat "$work/sway.log"; exit 1; }
SWAYSOCK=$(compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*.sock")
WAYLAND_DISPLAY=$(basename "$(compgen -G "$XDG_RUNTIME_DIR/wayland-*.lock")" .lock)
export SWAYSOCK WAYLAND_DISPLAY
swaymsg exec "printf %s \"\$DISPLAY\" >'$work/xdisplay'" >/dev/null
waitFor 100 test -s "$work/xdisplay" || { echo "FAIL: no XWayland"; exit 1; }
export DISPLAY=$(cat "$work/xdisplay")

# sway's windows, one a line: pid|app_id (X11: class)|focused|x|y|height|visible|type
swayWindows() {
    swaymsg -t get_tree | "$python" -c '
import json, sys
def walk(n):
    if n.get("pid"):
        r, app = n["rect"], n.get("app_id") or n.get("window_properties", {}).get("class", "")
        print(n["pid"], app, n.get("focused"), r["x"], r["y"], r["height"], n.get("visible"), n["type"], sep="|")
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        walk(c)
walk(json.load(sys.stdin))'
}
peloraWindows() { swayWindows | grep "^$peloraPid|"; }
focusIs() { swayWindows | grep -q "^[0-9]*|$1|True|"; }
terminals() { [ "$(swayWindows | grep -c '|\(foot\|org.example.Other\)|')" = "$1" ]; }
shown() { swayWindows | grep -q "^[0-9]*|$1|.*|True|"; }
pasteIs() { [ "$(wl-paste -n 2>/dev/null)" = "$1" ]; }
# The clipboard entry at $1 (0 the newest) of the first group is "Foot|$2".
entryIs() {
    [ "$(cmd menu clipboard --json | "$python" -c '
import json, sys
item = [i for i in json.load(sys.stdin)["items"] if i.get("submenu")][0]
print(item["title"], item["submenu"]["items"][int(sys.argv[1])]["title"], sep="|")' "$1" 2>/dev/null)" = "Foot|$2" ]
}
newestIs() { entryIs 0 "$1"; }
# Pops a module's menu up and checks that sway does not list it as a window.
popupMenu() {
    cmd popup "$1"
    [ "$(peloraWindows | wc -l)" -le 1 ] || fail "$mode: the $1 menu is in sway's tree"
}
offer() { spawn "$python" "$here/wayland_offer.py" "$@"; }
downsTo() { printf 'Down %.0s' $(seq "$(menuTitles "$1" | grep -nx Foot | cut -d: -f1)"); }

storedFrame="{{100, 500}, {75, 240}}" # x 100, bottom edge 500 up from the screen's bottom
runMode() {
    mode=$1
    rm -rf "$XDG_CONFIG_HOME/pelora"
    : >"$work/helpers.log"
    cmd defaults write PeloraStripWindowFrame -string "$storedFrame"
    if [ "$mode" = native ]; then startPelora QT_QPA_PLATFORM=wayland; else startPelora; fi
    atStoredPlace() { [ "$(peloraWindows | awk -F'|' '{print $4, $5 + $6}' | head -n1)" = "100 400" ]; }
    [ "$mode" = native ] || check "$mode: the strip at its stored place" waitFor 50 atStoredPlace
    spawn foot --app-id=org.example.Other
    spawn foot
    waitFor 100 terminals 2 || fail "$mode: the terminals did not start"
    swaymsg '[app_id="^foot$"] focus' >/dev/null
    waitFor 50 focusIs foot || fail "$mode: the terminal has no focus"

    local i missed=0
    for i in $(seq 10); do
        wl-copy "Copy $i"
        waitFor 50 newestIs "Copy $i" || missed=$((missed + 1))
    done
    check "$mode: ten copies in a row while the terminal keeps the focus" \
        eval '((missed == 0)) && focusIs foot'
    offer 'text/plain;charset=utf-8' "Only UTF-8"
    check "$mode: text offered only as UTF-8-labelled" waitFor 50 newestIs "Only UTF-8"
    offer text/plain "Secret 42" x-kde-passwordManagerHint secret
    # Pelora asks for the marker with the rest of the copy, and keeps none of it.
    waitFor 50 grep -q 'sent x-kde-passwordManagerHint' "$work/helpers.log" ||
        fail "$mode: Pelora did not look at the secret copy"
    wl-copy "After the secret"
    waitFor 150 newestIs "After the secret" || fail "$mode: no copy after the secret"
    check "$mode: the secret is not kept" eval '! cmd menu clipboard | grep -q "Secret 42"'
    offer --stall text/plain "Never sent"
    waitFor 150 grep -q 'stalled text/plain' "$work/helpers.log" || fail "$mode: no read of the hung copy"
    wl-copy "After the hang"
    check "$mode: a program that never answers holds nothing up" waitFor 150 newestIs "After the hang"

    if [ "$mode" = xwayland ]; then
        # Newest first: After the hang, After the secret, Only UTF-8, Copy 10, Copy 9.
        popupMenu clipboard
        xdotool key Down Right Down Down Down Down Return
        check "$mode: the chosen entry is back for wl-paste" waitFor 50 pasteIs "Copy 9"
        # sway gives it to X11 programs too, which is no copy of its own; and an X11 program's
        # copy while a Wayland window has the focus, which sway keeps from Wayland, is one.
        waitFor 50 eval '[ "$(xclip -o -selection clipboard 2>/dev/null)" = "Copy 9" ]'
        spawn sh -c "printf 'From X11' | exec xclip -quiet -selection clipboard"
        check "$mode: an X11 copy with a Wayland window in front" waitFor 50 newestIs "From X11"
        check "$mode: the chosen entry keeps its place, each copy kept once" eval \
            '[ "$(cmd menu clipboard | grep -c "From X11\|Copy 9\|After the hang")" = 3 ] && entryIs 1 "After the hang"'
    fi
    swaymsg '[app_id="org.example.Other"] focus' >/dev/null
    waitFor 50 focusIs org.example.Other || fail "$mode: the other terminal has no focus"
    check "$mode: the terminal is listed by its entry's name" eval 'menuTitles windows | grep -qx Foot'
    # sway ends a connection rather than send a message longer than libwayland allows: the
    # window list's for a long title, the clipboard's for a long type name an X11 program offers
    # while it has the focus (replaced before a Wayland window gets the focus, which sway would
    # cut off too). Once they are gone, Pelora follows sway again.
    local many
    many=$(head -c 6000 /dev/zero | tr '\0' x)
    spawn xterm -T "$many" -e sleep 600
    local long=$!
    waitFor 100 eval 'swayWindows | grep -q "^$long|.*|True|"' || fail "$mode: no window titled at length"
    spawn sh -c "printf x | exec xclip -quiet -selection clipboard -t text/x-$many"
    waitFor 100 eval '! menuTitles windows | grep -qx Foot' # found cut off
    spawn sh -c "printf 'After a long type' | exec xclip -quiet -selection clipboard"
    waitFor 50 eval '[ "$(xclip -o -selection clipboard 2>/dev/null)" = "After a long type" ]'
    kill "$long"
    spawn foot --app-id=org.example.Later
    check "$mode: the windows list follows sway again after a title too long for it" \
        waitFor 100 eval 'menuTitles windows | grep -qx org.example.Later'
    check "$mode: copies are kept again after a type name too long for sway to send" \
        waitFor 100 eval 'cmd menu clipboard | grep -q "After a long type"'
    # Natively the menus are not driven: Qt 6.4 opens a Wayland popup only after input from a
    # device, and sway 1.7 sends a popup's keys to the focused window.
    if [ "$mode" = xwayland ]; then
        local downs
        downs=$(downsTo windows)
        popupMenu windows
        xdotool key $downs Return
        check "$mode: choosing the terminal focuses it" waitFor 50 focusIs foot
        spawn xterm -e sleep 600
        waitFor 100 shown XTerm || fail "$mode: no xterm"
        popupMenu windows
        xdotool key Up Return # hide all, the last entry
        check "$mode: hide-all hides the terminal" waitFor 50 eval '! shown foot'
        check "$mode: hide-all hides an X11 window too" waitFor 50 eval '! shown XTerm'
        downs=$(downsTo windows)
        popupMenu windows
        xdotool key $downs Return
        check "$mode: a terminal hidden from the tiles comes back tiled" \
            waitFor 50 eval 'swayWindows | grep -q "|foot|True|.*|True|con$"'
        swaymsg '[class="^XTerm$"] kill' >/dev/null
    fi
    swaymsg '[app_id="^(foot|org.example.(Other|Later))$"] kill' >/dev/null
    waitFor 50 terminals 0

    if [ "$mode" = xwayland ]; then
        # A program Pelora starts gets the user's environment, not Pelora's Qt platform.
        downs=$(downsTo applications)
        popupMenu applications
        xdotool key $downs Return
        check "$mode: choosing Foot in the applications menu starts it" waitFor 50 terminals 1
        userEnvironment() { ! tr '\0' '\n' <"/proc/$1/environ" | grep -q '^QT_QPA_PLATFORM='; }
        check "$mode: the launched terminal has the user's environment" \
            userEnvironment "$(swayWindows | grep '|foot|' | cut -d'|' -f1)"
        swaymsg '[app_id="^foot$"] kill' >/dev/null
        waitFor 50 terminals 0
    fi
    expectQuit "$mode: pelora quit" cmd quit
    [ "$mode" = xwayland ] || check "$mode: the stored place is kept" eval \
        '[[ "$(cmd defaults read PeloraStripWindowFrame)" == *"$storedFrame"* ]]'
}

# --- Shortcuts: real keys from one virtual keyboard while a native window has the focus -----
runShortcuts() {
    rm -rf "$XDG_CONFIG_HOME/pelora"
    startPelora
    spawn foot
    waitFor 100 terminals 1 && swaymsg '[app_id="^foot$"] focus' >/dev/null &&
        waitFor 50 focusIs foot || fail "keys: the terminal has no focus"
    wl-copy "First" && waitFor 50 newestIs "First" && wl-copy "Second" &&
        waitFor 50 newestIs "Second" || fail "keys: no copies"
    mkfifo "$work/keys" && { "$python" "$here/wayland_keyboard.py" <"$work/keys" >"$work/keyboard.log" 2>&1 & }
    started+=($!) && exec {keys}>"$work/keys"
    typed() { grep -c '^typed' "$work/keyboard.log"; }
    press() { local n=$(typed); echo "$*" >&"$keys" && waitFor 50 eval '(($(typed) > n))'; }
    press super+shift+v
    check "keys: the default shortcut opens the clipboard menu over foot" waitFor 50 menusOpen
    # Typed: Foot's group, into it, the copy starting with "f".
    press f Right && waitFor 50 menusOpen 2 && press f Return
    check "keys: the menu answers to keys; foot gets the focus back" \
        waitFor 50 eval 'pasteIs First && ! menusOpen && focusIs foot'
    keyMs=$(menuDelay press super+shift+v) || fail "keys: no menu the second time"
    press Escape
    check "keys: Escape closes it" waitFor 50 eval '! menusOpen && focusIs foot'
    popupMs=$(menuDelay cmd popup clipboard) && press Escape
    echo "timing (sway): key press to menu ${keyMs:-?} ms, pelora popup to menu ${popupMs:-?} ms"
    expectQuit "keys: pelora quit" cmd quit
    check "keys: quitting removes the binding" eval '! swaymsg unbindsym Mod4+Shift+v'
}

runMode xwayland
runMode native

# Natively a menu from the command line is a popup of the strip (an xdg_popup), as a press on
# its button gives, also before any press has reached Pelora: not a window of its own.
rm -rf "$XDG_CONFIG_HOME/pelora"
startPelora QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=client
stripUp() { [ "$(peloraWindows | wc -l)" = 1 ]; }
popups() { grep -c 'xdg_surface@[0-9]*\.get_popup(' "$work/pelora.log"; }
waitFor 100 stripUp || fail "native: no strip"
before=$(popups)
cmd popup windows || fail "native: pelora popup windows"
check "native: the command's menu is an xdg_popup" waitFor 50 eval '(($(popups) > before))'
check "native: the command's menu is no window of sway's" stripUp
expectQuit "native: pelora quit after the popup" cmd quit

runShortcuts
e2eFinish "$work/sway.log" "$work/helpers.log"
