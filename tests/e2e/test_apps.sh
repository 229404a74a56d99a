#!/usr/bin/env bash
# Running applications and the clipboard on a private X display with openbox, with two X programs
# started through desktop entries: their activations are stored and listed newest first;
# choosing one activates it, hide-all iconifies both and leaves the strip, choosing a hidden one
# brings it back, the applications menu brings a running one forward, Pelora in front is not
# recorded. Text, a picture and a file list copied with each in front or none are grouped by
# source; choosing each puts it back for xclip and adds nothing.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2eInit "$@" Xvfb openbox xdotool xwininfo xprop import convert identify gio xterm xlogo xclip \
    python3
apps="$XDG_DATA_HOME/applications"
# Pelora's own launcher entry, which its windows match.
printf '[Desktop Entry]\nType=Application\nName=Pelora\nExec=%s\n' "$pelora" >"$apps/pelora.desktop"
printf '[Desktop Entry]\nType=Application\nName=Test Terminal\nExec=xterm -class PeloraE2ETerm -geometry 60x12+100+100\nStartupWMClass=PeloraE2ETerm\n' \
    >"$apps/test-terminal.desktop"
# The logo has no class hint of its own: it is found by the program its entry runs.
printf '[Desktop Entry]\nType=Application\nName=Test Logo\nExec=xlogo -geometry 200x200+600+100\n' \
    >"$apps/test-logo.desktop"

e2eStartDisplay
startPelora
for entry in terminal logo; do gio launch "$apps/test-$entry.desktop" >>"$work/helpers.log" 2>&1; done
appWindow() { xdotool search --onlyvisible --class "$1" 2>/dev/null | head -n1; }
waitFor 100 appWindow PeloraE2ETerm && waitFor 100 appWindow XLogo || fail "the test programs did not start"
terminal=$(appWindow PeloraE2ETerm) logo=$(appWindow XLogo)
settled "$terminal" >/dev/null && settled "$logo" >/dev/null
active() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]; }
iconic() { xprop -id "$1" WM_STATE | grep -q 'window state: Iconic'; }
# The desktop entries of the stored activations, newest first.
storedOrder() {
    cmd defaults read PeloraRecentApplicationActivationRecords 2>/dev/null | "$python" -c '
import json, re, sys
m = re.fullmatch(r"data <([0-9a-f]*)>", sys.stdin.read().strip())
records = json.loads(bytes.fromhex(m.group(1))) if m else {}
for key, r in sorted(records.items(), key=lambda kv: -kv[1]["lastActivatedAt"]):
    print(key)'
}
stored() { [ "$(storedOrder | head -n "$(wc -w <<<"$1")" | paste -sd' ')" = "$1" ]; } # newest

titles() { menuTitles "$1" | head -n "$2" | paste -sd'|'; }
# The clipboard menu as "group|entry" lines, in menu order.
clipboardEntries() {
    cmd menu clipboard --json | "$python" -c '
import json, sys
for item in json.load(sys.stdin)["items"]:
    for entry in item.get("submenu", {}).get("items", []):
        print(item["title"], entry.get("title"), sep="|")'
}
entriesMatch() { [[ "$(clipboardEntries)" == $1 ]]; } # a glob
copy() { spawn xclip -selection clipboard -quiet -t "$1" -i "$2"; } # served until replaced

# --- Activations, each with a copy while the program is in front ---------------------------
text="Words copied in the terminal"
printf %s "$text" >"$work/text.txt"
convert -size 720x360 xc:orange "$work/picture.png"
focus "$terminal"
check "the terminal's activation is stored newest" waitFor 50 stored test-terminal.desktop
copy text/plain "$work/text.txt"
check "text copied in the terminal is listed under it" waitFor 100 entriesMatch "Test Terminal|$text"
focus "$logo"
check "stored newest first" waitFor 50 stored "test-logo.desktop test-terminal.desktop"
copy image/png "$work/picture.png"
check "a picture from the logo program" waitFor 100 entriesMatch "Test Logo|*720*360*
Test Terminal|$text"
check "the open-applications menu lists them newest first, without Pelora" \
    eval '[ "$(titles windows 2)" = "Test Logo|Test Terminal" ] && ! menuTitles windows | grep -qx Pelora'

# --- The open-applications menu: choose, hide all, bring back ------------------------------
check "choosing the terminal activates it" chooseUntil 'active $terminal' windows Down Down Return
openMenuAt windows && chooseWithKeys Up Return # hide all, the last entry
bothIconic() { iconic "$terminal" && iconic "$logo"; }
check "hide-all iconifies both programs" waitFor 30 bothIconic
check "the strip stays" eval 'xwininfo -id "$strip" | grep -q IsViewable'
shot apps-1-hidden
nothingActive() { xprop -root _NET_ACTIVE_WINDOW | grep -q ' 0x0$'; }
waitFor 20 nothingActive || fail "a window is still active: $(xprop -root _NET_ACTIVE_WINDOW)"
printf 'file://%s\r\nfile://%s\r\n' "$work/text.txt" "$work/picture.png" >"$work/files.uri"
copy text/uri-list "$work/files.uri"
check "a file list from no application, groups newest first" waitFor 100 entriesMatch "*|*2*
Test Logo|*720*360*
Test Terminal|$text"
check "choosing the hidden logo program, second now, brings it back" \
    chooseUntil 'active $logo' windows Down Down Return
check "the terminal stays hidden" iconic "$terminal"
check "the applications menu brings the running terminal forward" \
    chooseUntil 'active $terminal' applications Down Down Return # recent: logo, terminal
check "no second terminal" [ "$(xdotool search --onlyvisible --class PeloraE2ETerm | wc -l)" -eq 1 ]

# --- Each clipboard group's entry chosen with the keyboard is back for xclip ---------------
before=$(clipboardEntries)
chooseGroup() {
    openMenuAt clipboard && chooseWithKeys $(printf 'Down %.0s' $(seq "$1")) Right
    waitFor 50 menusOpen 2 && xdotool key Return
}
filesBack() { [[ "$(xclip -selection clipboard -o -t text/uri-list)" == *text.txt*picture.png* ]]; }
pictureBack() { [ "$(xclip -selection clipboard -o -t image/png | identify -format %wx%h -)" = 720x360 ]; }
textBack() { [ "$(xclip -selection clipboard -o)" = "$text" ]; }
chooseGroup 1 && check "the chosen file list is back" waitFor 30 filesBack 2>/dev/null
chooseGroup 2 && check "the chosen picture is back" waitFor 30 pictureBack 2>/dev/null
chooseGroup 3 && check "the chosen text is back" waitFor 30 textBack 2>/dev/null
changed() { [ "$(clipboardEntries)" != "$before" ]; }
waitFor 15 changed && fail "pasting back changed the history: $(clipboardEntries)"

# --- Pelora itself in front is not recorded ------------------------------------------------
cmd settings
peloraInFront() { [ "$(xdotool getactivewindow getwindowpid 2>/dev/null)" = "$peloraPid" ]; }
waitFor 100 peloraInFront || fail "the settings window did not come to the front"
focus "$logo" # recorded after Pelora's would have been
logoNewest() { storedOrder | head -n1 | grep -q '^test-logo'; }
check "Pelora itself in front is not recorded" eval 'waitFor 50 logoNewest && ! storedOrder | grep -qi pelora'
e2eFinish "$work/helpers.log"
