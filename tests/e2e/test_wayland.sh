#!/usr/bin/env bash
# Pelora in a headless sway session with XWayland, run twice: as it starts by default (through
# XWayland) and forced native (QT_QPA_PLATFORM=wayland). Each time, with a Wayland-native
# terminal (foot) in front: ten wl-copy texts in a row reach the clipboard menu; a copy offered
# only as UTF-8-labelled text is kept; a copy marked secret is not; a program that never
# answers a read holds nothing up; the terminal is listed in
# the windows menu. Through XWayland also: the strip shows at its stored place, choosing a
# clipboard entry puts it back for wl-paste, choosing the terminal gives it the focus, hiding
# all applications hides it, a program started from the applications menu does not inherit
# Pelora's choice of Qt platform, and no menu becomes a window of sway's tree. Natively (where no
# place can be known) the stored place is never overwritten.
# Usage: test_wayland.sh <bundle dir> <artifact dir>. Exit 77 when a needed tool is missing.
# As root, runs itself again as a throw-away user (sway refuses root).
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/lib.sh"
tools=(sway swaymsg Xwayland foot wl-copy wl-paste xdotool /usr/bin/python3)
e2eRerunAsUser "$here/test_wayland.sh" "$@" "${tools[@]}"
e2eInit "$@" "${tools[@]}"
e2eInstall
e2eStartSway

# The stored place: x 100, bottom edge 500 up from the screen's bottom (y upward).
storedFrame="{{100, 500}, {75, 240}}"
mode=""

peloraWindows() { swayWindows | awk -F'|' -v pid="$peloraPid" '$1 == pid'; }
focusedAppId() { swayWindows | awk -F'|' '$4 == "True" {print $2}'; }
focusIs() { [ "$(focusedAppId)" = "$1" ]; }
hasPeloraWindow() { [ -n "$(peloraWindows)" ]; }
terminalsShown() { [ "$(swayWindows | awk -F'|' '$2 == "foot" || $2 == "org.example.Other"' | wc -l)" = "$1" ]; }
pasteIs() { [ "$(wl-paste -n 2>/dev/null)" = "$1" ]; }
# Whether a window of the app id is visible (not minimised, not in the scratchpad).
shown() {
    swaymsg -t get_tree | /usr/bin/python3 -c '
import json, sys
def shown(n):
    return (n.get("app_id") == sys.argv[1] and n.get("visible")) or any(
        shown(c) for c in n.get("nodes", []) + n.get("floating_nodes", []))
sys.exit(0 if shown(json.load(sys.stdin)) else 1)' "$1"
}
menuJson() { timeout 10 "$pelora" menu "$1" --json; }
# The clipboard menu as lines "group|entry", in menu order.
clipboardEntries() {
    menuJson clipboard | /usr/bin/python3 -c '
import json, sys
for item in json.load(sys.stdin)["items"]:
    for entry in item.get("submenu", {}).get("items", []):
        print(item["title"], entry.get("title"), sep="|")'
}
firstEntryIs() { [ "$(clipboardEntries 2>/dev/null | head -n1)" = "$1" ]; }
# Keys for the menu that is open (through XWayland).
keys() { xdotool key "$@"; }
# Opens a module's menu and checks that sway does not list it as a window.
popupMenu() {
    timeout 10 "$pelora" popup "$1" || fail "$mode: pelora popup $1"
    local count
    count=$(peloraWindows | wc -l)
    [ "$count" -le 1 ] || fail "$mode: the $1 menu is a window in sway's tree: $(peloraWindows)"
}

runMode() {
    mode=$1
    rm -rf "$XDG_CONFIG_HOME/pelora"
    defaultsTool write PeloraStripWindowFrame -string "$storedFrame" >/dev/null
    if [ "$mode" = native ]; then
        QT_QPA_PLATFORM=wayland "$pelora" >>"$work/pelora.log" 2>&1 &
    else
        "$pelora" >>"$work/pelora.log" 2>&1 &
    fi
    peloraPid=$!
    started+=($peloraPid)
    waitFor 100 hasPeloraWindow ||
        fail "$mode: no strip in sway's tree"
    waitFor 100 sh -c "timeout 5 '$pelora' menu windows >/dev/null 2>&1" ||
        fail "$mode: Pelora does not answer"

    if [ "$mode" = xwayland ]; then
        stripAtStoredPlace() {
            local x y h
            IFS='|' read -r _ _ _ _ x y _ h _ < <(peloraWindows | head -n1)
            [ "$x" = 100 ] && [ "$((y + h))" = 400 ]
        }
        waitFor 50 stripAtStoredPlace && pass "$mode: the strip is at its stored place" ||
            fail "$mode: the strip is at $(peloraWindows | head -n1), not at 100, 400 - height"
    fi

    foot --app-id=org.example.Other >/dev/null 2>&1 &
    started+=($!)
    foot >/dev/null 2>&1 &
    started+=($!)
    waitFor 100 terminalsShown 2 ||
        fail "$mode: the terminals did not start"
    swaymsg '[app_id="^foot$"] focus' >/dev/null
    waitFor 50 focusIs foot || fail "$mode: the terminal has no focus"

    # Ten copies in a row, each seen while the terminal keeps the focus.
    local i missed=0
    for i in $(seq 1 10); do
        wl-copy "Copy $i"
        waitFor 50 firstEntryIs "Foot|Copy $i" || missed=$((missed + 1))
    done
    [ "$(focusedAppId)" = foot ] || fail "$mode: the terminal lost the focus: $(focusedAppId)"
    ((missed == 0)) && pass "$mode: ten copies in a row" ||
        fail "$mode: $missed of ten copies missing: $(clipboardEntries | head -n 12)"

    /usr/bin/python3 "$here/wayland_offer.py" 'text/plain;charset=utf-8' "Only UTF-8" \
        >"$work/offer-utf8.log" 2>&1 &
    started+=($!)
    waitFor 50 firstEntryIs "Foot|Only UTF-8" && pass "$mode: UTF-8-labelled text" ||
        fail "$mode: UTF-8-labelled text missing: $(clipboardEntries | head -n 3)"

    /usr/bin/python3 "$here/wayland_offer.py" text/plain "Secret 42" \
        x-kde-passwordManagerHint secret >"$work/offer-secret.log" 2>&1 &
    started+=($!)
    # Pelora asks for the marker with the rest of the copy, and keeps none of it.
    waitFor 50 grep -q 'sent x-kde-passwordManagerHint' "$work/offer-secret.log" ||
        fail "$mode: Pelora did not look at the secret copy"
    wl-copy "After the secret"
    waitFor 50 firstEntryIs "Foot|After the secret" || fail "$mode: no copy after the secret"
    if clipboardEntries | grep -q "Secret 42"; then
        fail "$mode: the secret was kept"
    else
        pass "$mode: the secret was skipped"
    fi

    # A program that never answers a read costs one bounded wait; Pelora keeps answering and
    # sees the next copy.
    /usr/bin/python3 "$here/wayland_offer.py" --stall text/plain "Never sent" \
        >"$work/offer-stall.log" 2>&1 &
    started+=($!)
    waitFor 50 grep -q 'stalled text/plain' "$work/offer-stall.log" ||
        fail "$mode: Pelora did not ask the hung program"
    timeout 5 "$pelora" menu clipboard >/dev/null || fail "$mode: no answer while a read hangs"
    wl-copy "After the hang"
    waitFor 150 firstEntryIs "Foot|After the hang" && pass "$mode: a hung program is outwaited" ||
        fail "$mode: no copy after the hung one: $(clipboardEntries | head -n 3)"

    if [ "$mode" = xwayland ]; then
        # Newest first: After the hang, After the secret, Only UTF-8, Copy 10, Copy 9.
        popupMenu clipboard
        keys Down Right Down Down Down Down Return
        waitFor 50 pasteIs "Copy 9" &&
            pass "$mode: the chosen entry is back" ||
            fail "$mode: wl-paste reads $(wl-paste -n 2>&1 | head -c 100)"
    fi

    # The windows menu: the terminal by its desktop entry's name.
    swaymsg '[app_id="org.example.Other"] focus' >/dev/null
    waitFor 50 focusIs org.example.Other || fail "$mode: the other terminal has no focus"
    local downs
    downs=$(menuJson windows | /usr/bin/python3 -c '
import json, sys
enabled = [i["title"] for i in json.load(sys.stdin)["items"] if i.get("enabled")]
print(enabled.index("Foot") + 1 if "Foot" in enabled else 0)')
    if [ "$downs" -gt 0 ]; then
        pass "$mode: the terminal is listed"
    else
        fail "$mode: no Foot in the windows menu: $(menuJson windows)"
    fi
    # Natively the menus are not driven: Qt 6.4 opens a Wayland popup only after Pelora had
    # input from a device, and sway 1.7 sends a popup's keys to the focused window.
    if [ "$mode" = xwayland ] && [ "$downs" -gt 0 ]; then
        popupMenu windows
        keys $(printf 'Down %.0s' $(seq 1 "$downs")) Return
        waitFor 50 focusIs foot &&
            pass "$mode: choosing the terminal gives it the focus" ||
            fail "$mode: the focus is on $(focusedAppId)"

        # Hide all: the last entry of the windows menu (Up from nothing selected).
        popupMenu windows
        keys Up Return
        waitFor 50 eval "! shown foot" &&
            pass "$mode: hide all hid the terminal" || fail "$mode: the terminal is still shown"
    fi

    # The terminals go with the mode.
    swaymsg '[app_id="^(foot|org.example.Other)$"] kill' >/dev/null
    waitFor 50 terminalsShown 0

    if [ "$mode" = xwayland ]; then
        # A program Pelora starts gets the user's environment, not the platform chosen for
        # Pelora itself.
        downs=$(menuJson applications | /usr/bin/python3 -c '
import json, sys
enabled = [i["title"] for i in json.load(sys.stdin)["items"] if i.get("enabled")]
print(enabled.index("Foot") + 1 if "Foot" in enabled else 0)')
        if [ "$downs" -gt 0 ]; then
            popupMenu applications
            keys $(printf 'Down %.0s' $(seq 1 "$downs")) Return
            if waitFor 50 terminalsShown 1; then
                local launched
                launched=$(swayWindows | awk -F'|' '$2 == "foot" {print $1}' | head -n1)
                if tr '\0' '\n' <"/proc/$launched/environ" | grep -q '^QT_QPA_PLATFORM='; then
                    fail "$mode: the launched terminal got Pelora's QT_QPA_PLATFORM"
                else
                    pass "$mode: the launched terminal has the user's environment"
                fi
            else
                fail "$mode: choosing Foot in the applications menu started nothing"
            fi
            swaymsg '[app_id="^foot$"] kill' >/dev/null
            waitFor 50 terminalsShown 0
        else
            fail "$mode: no Foot among the recent applications: $(menuJson applications)"
        fi
    fi

    timeout 10 "$pelora" quit
    wait "$peloraPid" 2>/dev/null
    local stored
    stored=$(defaultsTool read PeloraStripWindowFrame)
    if [ "$mode" = native ]; then
        [[ "$stored" == *"$storedFrame"* ]] && pass "$mode: the stored place is kept" ||
            fail "$mode: the stored place became $stored"
    fi
}

runMode xwayland
runMode native
e2eFinish "$work/sway.log"
