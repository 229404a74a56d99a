# Shared steps of the end-to-end scripts: e2eInit "$@" TOOLS... (exit 77 when one is missing; a
# private home with the bundle in ~/Applications), e2eStartDisplay (Xvfb 1440x900 with openbox),
# startPelora (its strip in $strip), checks, e2eFinish [logs]. What is started here is stopped
# by pid when the script exits; every wait polls a condition against a deadline. Each script
# takes <bundle dir> <artifact dir>.
set -uo pipefail

# Skips the script (exit 77) unless every tool named is there.
needs() {
    local t
    for t; do command -v "$t" >/dev/null || { echo "SKIP: $t is missing"; exit 77; }; done
}
e2eInit() {
    bundle=${1:?bundle dir} artifacts=${2:?artifact dir}
    needs "${@:3}"
    mkdir -p "$artifacts" && rm -f "$artifacts"/*.png
    work=$(mktemp -d) started=() failures=0 python=/usr/bin/python3
    trap 'for ((i = ${#started[@]} - 1; i >= 0; i--)); do kill ${started[i]} 2>/dev/null; done
        wait 2>/dev/null; rm -rf "$work"' EXIT
    export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime"
    export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share"
    export XDG_CACHE_HOME="$HOME/.cache"
    mkdir -p "$HOME/Applications" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME/applications" \
        "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR" "$HOME/Documents"
    chmod 700 "$XDG_RUNTIME_DIR"
    unset WAYLAND_DISPLAY QT_QPA_PLATFORM SESSION_MANAGER XDG_CURRENT_DESKTOP DBUS_SESSION_BUS_ADDRESS
    cp -a "$bundle" "$HOME/Applications/Pelora.app"
    pelora="$HOME/Applications/Pelora.app/Contents/MacOS/pelora"
}

# As root, runs the script again in private mount and network namespaces, so that the XWayland
# its compositor starts cannot collide with other X servers' displays.
privateXDisplays() { # script, its arguments...
    [ "$(id -u)" -eq 0 ] && [ -z "${PELORA_PRIVATE_X:-}" ] || return 0
    needs unshare
    exec unshare -m -n --propagation private env PELORA_PRIVATE_X=1 bash -c '
        ip link set lo up 2>/dev/null
        mount -t tmpfs -o mode=1777 tmpfs /tmp/.X11-unix ||
            { echo "SKIP: no private folder for X sockets"; exit 77; }
        exec bash "$@"' _ "$@"
}
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
check() { if "${@:2}" >/dev/null; then pass "$1"; else fail "$1"; fi; } # what, command...
# Waits up to $1 tenths of a second for the command to succeed.
waitFor() {
    local t
    for ((t = 0; t < $1; t++)); do "${@:2}" && return 0; sleep 0.1; done
    return 1
}
# Starts a background helper, stopped when the script ends.
spawn() { "$@" >>"$work/helpers.log" 2>&1 & started+=($!); }
# A request to the running instance, or the defaults tool: no display needed.
cmd() { DISPLAY= timeout 20 "$pelora" "$@"; }
storedIs() { [ "$(cmd defaults read "$1" 2>/dev/null)" = "$2" ]; } # key, value
# A default handler of the given types that writes its arguments to $1, a line each.
recorder() { # log, field code, types...
    printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s"\n' "$1" >"$work/recorder" && chmod +x "$work/recorder"
    printf '[Desktop Entry]\nType=Application\nName=Recorder\nExec=%s %s\nNoDisplay=true\n' \
        "$work/recorder" "$2" >"$XDG_DATA_HOME/applications/recorder.desktop"
    xdg-mime default recorder.desktop "${@:3}"
}
# A reference as the program stores its favorites: path and identity (given, or the item's).
reference() { # path [device inode]
    "$python" -c 'import os, struct, sys
p = sys.argv[1]; b = p.encode(); dev, ino = map(int, sys.argv[2:]) if sys.argv[2:] else os.stat(p)[2:0:-1]
flags = 1 | (2 if not sys.argv[2:] and os.path.isdir(p) else 0)
print((b"PLBK" + struct.pack(">HHQQI", 1, flags, dev, ino, len(b)) + b).hex())' "$@"
}
shot() { import -window root "$artifacts/$1.png" && echo "screenshot $artifacts/$1.png"; }

e2eStartDisplay() {
    Xvfb -displayfd 3 -screen 0 1440x900x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    started+=($!)
    # The whole line: a display number read half-written would name another display.
    lineWritten() { [ "$(wc -l <"$work/display" 2>/dev/null)" -ge 1 ] 2>/dev/null; }
    waitFor 300 lineWritten || { echo "FAIL: no Xvfb"; exit 1; }
    export DISPLAY=":$(head -n1 "$work/display")"
    wmUp() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }
    local try
    for try in 1 2 3; do # again should it have ended early (a second one leaves by itself)
        spawn openbox --sm-disable
        waitFor 100 wmUp && return 0
    done
    echo "FAIL: no openbox"
    cat "$work/helpers.log" "$work/xvfb.log"
    exit 1
}

windowsOf() { xdotool search --onlyvisible --pid "${1:-$peloraPid}" 2>/dev/null; }
# "x y width height" of a window, from the X server.
geometry() {
    xwininfo -id "$1" 2>/dev/null | awk '/Absolute upper-left X/ {x=$NF}
        /Absolute upper-left Y/ {y=$NF} /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
}
# The geometry once the window is viewable and reads the same twice a tenth apart.
settled() {
    local last="" now t
    for ((t = 0; t < 100; t++)); do
        now=$(xwininfo -id "$1" 2>/dev/null | grep -q IsViewable && geometry "$1")
        [ -n "$now" ] && [ "$now" = "$last" ] && { echo "$now"; return 0; }
        last=$now && sleep 0.1
    done
    return 1
}
# The stored frame of the strip in this window: bottom-left origin on the 900-high screen.
frameOf() {
    local x y w h
    read -r x y w h <<<"$(geometry "$1")"
    echo "string \"{{$x, $((900 - y - h))}, {$w, $h}}\""
}
# Pelora's visible window titled exactly $1; waitWindow waits up to five seconds for it.
windowNamed() { xdotool search --all --onlyvisible --pid "$peloraPid" --name "^$1\$" 2>/dev/null | head -n1; }
hasWindow() { [ -n "$(windowNamed "$1")" ]; }
windowGone() { ! hasWindow "$1"; }
waitWindow() { waitFor 50 hasWindow "$1" && windowNamed "$1"; }
activeName() { xdotool getactivewindow getwindowname 2>/dev/null; }
focus() { xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"; }
stripWindow() {
    local w
    for w in $(windowsOf); do
        xprop -id "$w" _NET_WM_WINDOW_TYPE | grep -q UTILITY && echo "$w" && return 0
    done 2>/dev/null
    return 1
}

answers() { cmd menu windows >/dev/null 2>&1; }
# The program, once it answers commands and shows its strip (unless told it is hidden).
startPelora() { # [env assignments...]
    env "$@" "$pelora" >>"$work/pelora.log" 2>&1 &
    peloraPid=$!
    started+=($peloraPid)
    waitFor 150 answers || fail "the program does not answer"
    strip=""
    [ -z "${SWAYSOCK:-}" ] || return 0
    storedIs PeloraStripVisible "bool false" && return 0
    waitFor 100 stripWindow >/dev/null && strip=$(stripWindow) && settled "$strip" >/dev/null ||
        fail "no strip"
}
# Runs the action and expects the program to end with status 0 within ten seconds.
expectQuit() { # what, action...
    "${@:2}"
    waitFor 100 sh -c "! kill -0 $peloraPid 2>/dev/null" || { fail "still running after $1"; return; }
    wait "$peloraPid"
    check "$1 ends the program with status 0" [ $? -eq 0 ]
}

# The alerts are titled with the program's name, as the strip is: told apart by their type.
alertWindow() {
    local w
    for w in $(xdotool search --all --onlyvisible --pid "$peloraPid" --name '^Pelora$'); do
        xprop -id "$w" _NET_WM_WINDOW_TYPE | grep -q DIALOG && echo "$w" && return 0
    done 2>/dev/null
    return 1
}
noAlert() { ! alertWindow >/dev/null; }
# Open menus: Pelora's override-redirect windows that are children of the root (a tray icon is
# override-redirect too, but inside the tray).
menuWindows() {
    local w info
    for w in $(windowsOf); do
        info=$(xwininfo -children -id "$w"; xwininfo -id "$w")
        grep -q "Override Redirect State: yes" <<<"$info" &&
            [ "$(awk '/Root window id/ {print $4}' <<<"$info")" = \
                "$(awk '/Parent window id/ {print $4}' <<<"$info")" ] && echo "$w"
    done 2>/dev/null
}
menusOpen() { [ "$(menuWindows | wc -l)" -ge "${1:-1}" ]; }
# Escape, again while a menu stays: one that has just appeared may not hold the keyboard yet.
escapeMenus() { ! menusOpen || { xdotool key Escape && false; }; }
closeMenus() { waitFor 50 escapeMenus; }
# The centre of a module's button (or the settings button) along the vertical strip.
declare -A buttonAt=([applications]=48 [folders]=80 [documents]=112 [clipboard]=149 [windows]=181
    [settings]=218)
pressButton() {
    local x y w h
    read -r x y w h <<<"$(geometry "$strip")"
    xdotool mousemove $((x + w / 2)) $((y + ${buttonAt[$1]})) click 1
}
# The pointer then leaves, so that only the keyboard chooses.
openMenuAt() { pressButton "$1" && xdotool mousemove 700 890 && waitFor 50 menusOpen; }
# Chooses in the open menu with the keyboard: keys pressed until the menu shows it took the
# first one (it may not hold the keyboard at once), then the rest.
answered() { # the menu closed or shows something else
    ! xwininfo -id "$menu" 2>/dev/null | grep -q IsViewable ||
        [ "$(timeout 3 import -window "$menu" rgb:- 2>/dev/null | md5sum)" != "$before" ]
}
chooseWithKeys() {
    local menu before="" now t same=0
    menu=$(menuWindows | head -n1)
    for ((t = 0; t < 50 && same < 3; t++)); do # a picture that no longer changes by itself
        now=$(timeout 3 import -window "$menu" rgb:- 2>/dev/null | md5sum)
        [ "$now" = "$before" ] && same=$((same + 1)) || same=0
        before=$now
        sleep 0.1
    done
    for t in 1 2 3; do
        xdotool key --clearmodifiers "$1"
        waitFor 30 answered &&
            { (($# < 2)) || xdotool key --clearmodifiers "${@:2}"; return 0; }
    done
    fail "the menu does not answer the keyboard"
    return 1
}
# Chooses in a module's menu until the condition holds (twice at most: under load a key can
# still reach the window behind a menu that looked ready).
chooseUntil() { # condition, module, keys...
    local try
    for try in 1 2; do
        closeMenus && openMenuAt "$2" && chooseWithKeys "${@:3}" && waitFor 30 eval "$1" && return 0
    done
    return 1
}
# The enabled top-level titles of a module's menu, a line each.
menuTitles() {
    cmd menu "$1" --json | "$python" -c 'import json, sys
print("\n".join(i["title"] for i in json.load(sys.stdin)["items"] if i.get("enabled")))'
}

e2eFinish() {
    ((failures == 0)) && { echo "all checks passed"; exit 0; }
    echo "--- logs"
    cat "$work/pelora.log" "$@" 2>/dev/null
    echo "$failures check(s) failed"
    exit 1
}
# Milliseconds from the action to one more window of Pelora's (its menu): reported, not asserted.
menuDelay() { # action...
    local t before=$(windowsOf | wc -l) t0=$(date +%s%N); "$@" >/dev/null || return 1
    for ((t = 0; t < 1000; t++)); do
        (($(windowsOf | wc -l) > before)) && echo $((($(date +%s%N) - t0) / 1000000)) && return 0
    done
    return 1
}
