#!/usr/bin/env bash
# Running applications on a private X display with openbox: two real X programs started through
# desktop entries this test writes, activated in turn; the stored activation history and the
# open-applications menu show them newest first; choosing an entry activates it; hide-all
# iconifies both and leaves Pelora's own windows alone; choosing a hidden one brings it back;
# the applications menu brings a running application forward instead of starting another;
# Pelora itself in front is not recorded, though its launcher entry matches its windows.
# Usage: test_apps.sh <bundle dir> <artifact dir>. Exit 77 when a needed tool is missing.
set -uo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2eInit "$@" Xvfb openbox xdotool xwininfo xprop import gio xterm xlogo python3
source "$(dirname "${BASH_SOURCE[0]}")/apps_lib.sh"

# --- Pelora first, so that it sees every activation -------------------------------------
# With the launcher entry the run script installs, which Pelora's own windows match.
launcherEntry="$XDG_DATA_HOME/applications/pelora.desktop"
printf '[Desktop Entry]\nType=Application\nName=Pelora\nExec=%s\n' "$pelora" >"$launcherEntry"
startStrip
defaultsTool read >/dev/null 2>&1 || { echo "SKIP: this build has no defaults tool"; exit 77; }

# --- Two programs through their desktop entries -----------------------------------------
launchTestApps
terminal=$(appWindow "$terminalClass")
logo=$(appWindow "$logoClass")
[ -n "$terminal" ] && [ -n "$logo" ] || { fail "the test programs did not start"; finish; }
pass "terminal window $terminal, logo window $logo"

# --- The stored history ---------------------------------------------------------------
# "key|bundleIdentifier|displayName|bundlePath", newest first, without Pelora's own record.
storedOrder() {
    defaultsTool read PeloraRecentApplicationActivationRecords 2>/dev/null |
        /usr/bin/env python3 -c '
import json, re, sys
m = re.fullmatch(r"data <([0-9a-f]*)>", sys.stdin.read().strip())
records = json.loads(bytes.fromhex(m.group(1))) if m else {}
for key, r in sorted(records.items(), key=lambda kv: -kv[1]["lastActivatedAt"]):
    print(key, r.get("bundleIdentifier", "-"), r["displayName"], r["bundlePath"], sep="|")
' | grep -v "^$peloraId|"
}
stored() { storedOrder | grep -q "^$1|"; }
# Each activation is recorded before the next one (Pelora debounces the frontmost window).
xdotool windowactivate --sync "$terminal" 2>/dev/null
waitFor 50 stored "$terminalId" || fail "the terminal's activation was not recorded"
xdotool windowactivate --sync "$logo" 2>/dev/null
shot apps-1-both
expected="$logoId|$logoId|Test Logo|$logoEntry
$terminalId|$terminalId|Test Terminal|$terminalEntry"
storedAsExpected() { [ "$(storedOrder)" = "$expected" ]; }
if waitFor 30 storedAsExpected; then
    pass "stored history: logo, then terminal"
else
    fail "stored history: $(storedOrder)"
fi

# --- The open-applications menu lists them newest first ------------------------------
if menuJson windows >"$work/windows.json"; then
    /usr/bin/env python3 - "$work/windows.json" <<'EOF' && pass "menu windows --json order" ||
import json, sys
menu = json.load(open(sys.argv[1]))
titles = [i.get("title") if not i.get("separator") else "---" for i in menu["items"]]
assert menu["title"] == "Windows", menu["title"]
assert titles[1:3] == ["Test Logo", "Test Terminal"], titles
assert titles[-2] == "---", titles
assert "Pelora" not in titles, titles
EOF
        fail "windows menu: $(cat "$work/windows.json")"
else
    echo "note: no 'pelora menu' command in this build; the order is checked by choosing"
fi

# The second entry is the terminal: choosing it with the keyboard makes it active.
openMenuAt windows || fail "no menu after pressing the windows button"
shot apps-2-windows-menu
chooseWithKeys Down Down Return
terminalActive() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$terminal" ]; }
if waitFor 30 terminalActive; then
    pass "choosing the second entry activated the terminal"
else
    fail "active window $(xdotool getactivewindow 2>/dev/null), expected the terminal $terminal"
fi
menuGone || fail "the menu stayed open"

# --- Hide all ----------------------------------------------------------------------------
openMenuAt windows || fail "no menu after pressing the windows button again"
chooseWithKeys Up Return # the last item
bothIconic() { isIconic "$terminal" && isIconic "$logo"; }
if waitFor 30 bothIconic; then
    pass "hide-all iconified both programs"
else
    fail "after hide-all: terminal $(wmState "$terminal"), logo $(wmState "$logo")"
fi
xwininfo -id "$strip" | grep -q 'Map State: IsViewable' && pass "the strip stayed" ||
    fail "the strip was hidden too"
shot apps-3-hidden

# --- Choosing a hidden application brings it back -------------------------------------
# The terminal was activated last, through the menu: the logo is second now.
openMenuAt windows || fail "no menu after pressing the windows button a third time"
shot apps-4-windows-menu-hidden
chooseWithKeys Down Down Return
logoActive() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$logo" ]; }
if waitFor 30 logoActive && ! isIconic "$logo"; then
    pass "choosing the hidden logo program brought it back"
else
    fail "logo $(wmState "$logo"), active $(xdotool getactivewindow 2>/dev/null)"
fi
isIconic "$terminal" && pass "the terminal stayed hidden" || fail "the terminal came back too"
shot apps-5-unhidden

# --- The applications menu: recent applications, newest first; choosing a running one ------
# brings it to the front instead of starting it again.
openMenuAt applications || fail "no menu after pressing the applications button"
shot apps-6-applications-menu
chooseWithKeys Down Down Return # the terminal, second after the logo
if waitFor 30 terminalActive && ! isIconic "$terminal"; then
    pass "choosing the recent terminal brought the running one back"
else
    fail "terminal $(wmState "$terminal"), active $(xdotool getactivewindow 2>/dev/null)"
fi
terminals=$(xdotool search --onlyvisible --class "$terminalClass" | wc -l)
[ "$terminals" -eq 1 ] && pass "no second terminal was started" || fail "$terminals terminals"

# --- Pelora itself in front is not recorded ----------------------------------------------
DISPLAY='' timeout 10 "$pelora" settings || fail "pelora settings"
peloraInFront() { [ "$(xdotool getactivewindow getwindowpid 2>/dev/null)" = "$peloraPid" ]; }
waitFor 100 peloraInFront || fail "Pelora's settings window did not come to the front"
# An activation after Pelora's: once it is stored, Pelora's would have been too.
xdotool windowactivate --sync "$logo" 2>/dev/null
logoNewest() { storedOrder | head -n1 | grep -q "^$logoId|"; }
waitFor 50 logoNewest || fail "the logo's activation was not recorded: $(storedOrder)"
storedOrder | grep -qF "|$launcherEntry" && fail "Pelora was recorded: $(storedOrder)" ||
    pass "Pelora itself is not in the history"

finish
