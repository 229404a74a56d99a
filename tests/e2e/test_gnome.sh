#!/usr/bin/env bash
# Pelora under GNOME Shell on Wayland, through XWayland as users get it, with Pelora's GNOME
# Shell extension installed as scripts/run installs it. Headless: GTK 3 and GTK 4 windows
# (native Wayland) and an X11 window are listed under their entries' names; choosing one
# activates it; the recent applications follow the focus; a closed window leaves the list; a
# call from another program is refused; disabling the extension falls back to the X11 window
# and tells the user, enabling it brings every window back, with Pelora running throughout;
# Hide All minimises every window. Nested on Xvfb (the headless seat has no keyboard, and only
# a focused Wayland client may copy): the clipboard shortcut opens and closes its menu, also
# over a native window, where the menu takes the keyboard and gives it back; a
# password manager's secret copy is not kept, neither while its program runs nor once the
# shell's clipboard manager has taken it over.
# As root it runs as a throw-away user in private mount, network and process namespaces, so
# that XWayland's display sockets cannot collide with other X servers' and nothing outlives it.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/lib.sh"
tools=(gnome-shell dbus-daemon dbus-send dbus-monitor gsettings gnome-extensions Xwayland Xvfb xdotool xclip xprop)
installer="$here/../../gnome-extension/install-user.sh"
[ -f "$installer" ] || installer="$here/install-user.sh" # the copy made for the user
if [ "$(id -u)" -eq 0 ]; then
    needs "${tools[@]}" useradd userdel runuser unshare
    user="pelora-gnome-$$" home=$(mktemp -d /tmp/pelora-gnome.XXXXXX)
    useradd --no-create-home --home-dir "$home" --shell /bin/bash "$user" || exit 1
    cp -a "$1" "$home/Pelora.app" && cp -a "$here" "$home/e2e" && cp "$installer" "$home/e2e/"
    [ -x "${PELORA_SECRET_COPIER:-}" ] && cp "$PELORA_SECRET_COPIER" "$home/e2e/secret-copier"
    mkdir -p "$home/artifacts" "$2"
    chown -R "$user:" "$home"
    unshare -m -n -p -f --mount-proc --propagation private bash -c '
        ip link set lo up 2>/dev/null
        mount -t tmpfs -o mode=1777 tmpfs /tmp/.X11-unix ||
            { echo "SKIP: no private folder for X sockets"; exit 77; }
        exec runuser -u "$1" -- env -i PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 \
            HOME="$2" PELORA_SECRET_COPIER="$2/e2e/secret-copier" \
            bash "$2/e2e/test_gnome.sh" "$2/Pelora.app" "$2/artifacts"' _ "$user" "$home"
    status=$?
    cp -a "$home/artifacts/." "$2/"
    # XWayland's lock files name a process of the namespace that has gone: left, they would
    # use up the display numbers of later runs.
    find /tmp -maxdepth 1 -name '.X*-lock' -user "$user" -delete 2>/dev/null
    userdel -f "$user" 2>/dev/null
    rm -rf "$home"
    exit $status
fi
e2eInit "$@" "${tools[@]}"
for version in 3.0 4.0; do
    /usr/bin/python3 -c "import gi; gi.require_version('Gtk', '$version')" 2>/dev/null ||
        { echo "SKIP: GTK $version for Python is missing"; exit 77; }
done
apps="$XDG_DATA_HOME/applications"
for name in Three Four Copier; do
    printf '[Desktop Entry]\nType=Application\nName=Example %s\nExec=true\n' "$name" \
        >"$apps/org.example.$name.desktop"
done
export XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=pelora-gnome
major=$(gnome-shell --version | grep -o '[0-9]*' | head -n1)
uuid=$( ((major >= 45)) && echo pelora@pelora.org || echo pelora-classic@pelora.org)

# The shell, on buses of its own (it aborts without a system bus), with the extension installed
# and enabled before it starts. $1: headless or nested.
startShell() {
    rm -rf "$XDG_RUNTIME_DIR"/* && mkdir -p "$XDG_RUNTIME_DIR/bus"
    local bus
    for bus in system session; do
        dbus-daemon --session --nofork --address="unix:path=$XDG_RUNTIME_DIR/bus/$bus" \
            >>"$work/dbus.log" 2>&1 &
        started+=($!)
    done
    export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus/system"
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus/session"
    waitFor 50 eval '[ -S "$XDG_RUNTIME_DIR/bus/system" ] && [ -S "$XDG_RUNTIME_DIR/bus/session" ]'
    bash "$installer" "$HOME/Applications/Pelora.app" >>"$work/install.log" 2>&1 ||
        { fail "the extension does not install"; cat "$work/install.log"; }
    local display=()
    if [ "$1" = nested ]; then
        e2eStartDisplay
        hostDisplay=$DISPLAY # where the keyboard is
        display=(--nested)
    else
        unset DISPLAY
        display=(--headless --virtual-monitor 1440x900)
    fi
    gnome-shell --wayland "${display[@]}" --wayland-display="$WAYLAND_DISPLAY" \
        >"$work/shell-$1.log" 2>&1 &
    shellPid=$!
    started+=($shellPid)
    # XWayland's display is the one after those the shell found taken.
    xwayland() { pgrep -n -u "$(id -u)" -a Xwayland | grep -o ' :[0-9]*' | head -n1 | tr -d ' '; }
    extensionUp() { dbus-send --print-reply --dest=org.freedesktop.DBus / \
        org.freedesktop.DBus.NameHasOwner string:org.pelora.Pelora.Windows 2>/dev/null | grep -q true; }
    if ! waitFor 600 eval '[ -n "$(xwayland)" ] && extensionUp' || ! kill -0 "$shellPid"; then
        local xwayland
        xwayland=$(xwayland)
        grep -q "Failed to start X Wayland\|Failed to open display\|Failed to create backend" \
            "$work/shell-$1.log" && { echo "SKIP: GNOME Shell cannot start here ($1)"; exit 77; }
        echo "FAIL: GNOME Shell ($1) did not start with Pelora's extension" \
            "(XWayland: ${xwayland:-none}, extension: $(extensionUp && echo up || echo down))"
        gsettings get org.gnome.shell enabled-extensions
        cat "$work/install.log" "$work/shell-$1.log"
        exit 1
    fi
    export DISPLAY XAUTHORITY
    DISPLAY=$(xwayland)
    XAUTHORITY=$(compgen -G "$XDG_RUNTIME_DIR/.mutter-Xwaylandauth.*" | head -n1)
}
stopShell() {
    kill "$shellPid" && wait "$shellPid" 2>/dev/null
}

# A native window whose app id names an installed entry.
window() { # GTK version, name
    GDK_BACKEND=wayland /usr/bin/python3 -c '
import sys, gi
gi.require_version("Gtk", sys.argv[1] + ".0")
from gi.repository import Gtk, GLib
GLib.set_prgname("org.example." + sys.argv[2])
w = Gtk.Window(title=sys.argv[2])
w.show() if sys.argv[1] == "3" else w.present()
GLib.MainLoop().run()' "$@" >>"$work/helpers.log" 2>&1 &
    windowPid=$!
    started+=($windowPid)
}
titles() { menuTitles "$1" 2>/dev/null | paste -sd'|'; }
listed() { [[ "|$(titles windows)|" == *"|$1|"* ]]; }
firstRecent() { [[ "$(titles applications)" == "$1|"* ]]; }
downsTo() { printf 'Down %.0s' $(seq "$(menuTitles "$1" | grep -nx "$2" | cut -d: -f1)"); }
choose() { # module, title
    local downs
    downs=$(downsTo "$1" "$2")
    closeMenus
    cmd popup "$1" && waitFor 50 menusOpen && chooseWithKeys $downs Return
}
startPelora() {
    "$pelora" >>"$work/pelora.log" 2>&1 &
    peloraPid=$!
    started+=($peloraPid)
    waitFor 150 answers || fail "the program does not answer"
}
# Calls the extension as a program other than Pelora would; prints the D-Bus error's name.
otherCaller() {
    /usr/bin/python3 -c '
from gi.repository import Gio, GLib
bus = Gio.bus_get_sync(Gio.BusType.SESSION)
try:
    bus.call_sync("org.pelora.Pelora.Windows", "/org/pelora/Pelora/Windows",
                  "org.pelora.Pelora.Windows", "GetWindows", None, None, 0, 5000)
    print("answered")
except GLib.Error as e:
    print(Gio.DBusError.get_remote_error(e))'
}

# ---- headless
startShell headless
dbus-monitor --session "interface='org.freedesktop.Notifications',member='Notify'" \
    >"$work/notifications.log" 2>&1 &
started+=($!)
window 3 Three
window 4 Four
fourPid=$windowPid
spawn xterm -T "X Terminal"
startPelora
everyWindow() { listed "Example Three" && listed "Example Four" && listed XTerm; }
waitFor 200 everyWindow && pass "native GTK 3 and GTK 4 windows and an X11 window are listed" ||
    fail "the windows menu holds $(titles windows)"
check "a call from another program is refused" \
    eval '[ "$(otherCaller)" = org.freedesktop.DBus.Error.AccessDenied ]'

# The headless seat has no keyboard, so the window itself never learns it is active: the
# shell's focus signal, which the recent applications follow, tells. Another window first,
# so that the chosen one's activation is a change whichever had the focus at start; twice at
# most, as a window mapped late may still take the focus in between.
chosen() { choose windows XTerm && choose windows "Example Three" && waitFor 30 firstRecent "Example Three"; }
chosen || chosen && pass "choosing a window activates it" ||
    fail "after choosing Example Three the recent applications are $(titles applications)"
# The focus moves without Pelora (the overview the shell starts with is gone by now).
xdotool search --name "^X Terminal$" windowactivate >/dev/null 2>&1
waitFor 10 firstRecent XTerm && pass "the recent applications follow the focus within a second" ||
    fail "the recent applications are $(titles applications)"

kill "$fourPid"
check "a closed window leaves the list" waitFor 50 eval '! listed "Example Four"'

gnome-extensions disable "$uuid"
onlyX11() { [ "$(titles windows)" = "XTerm|Hide All Applications" ]; }
check "without the extension, the X11 window is listed" waitFor 50 onlyX11
check "the user is told how to enable the extension" \
    waitFor 50 grep -q "gnome-extensions enable $uuid" "$work/notifications.log"
gnome-extensions enable "$uuid"
check "enabling the extension brings every window back" \
    waitFor 50 eval 'listed "Example Three" && listed XTerm'

choose windows "Hide All Applications"
hidden() { xprop -name "X Terminal" _NET_WM_STATE 2>/dev/null | grep -q HIDDEN; }
check "Hide All minimises the X11 window" waitFor 50 hidden
cmd quit
wait "$peloraPid" 2>/dev/null
# Pelora gone, its name is free: take it to ask the extension what it minimised.
allMinimized() {
    /usr/bin/python3 -c '
from gi.repository import Gio, GLib
bus = Gio.bus_get_sync(Gio.BusType.SESSION)
bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
              "RequestName", GLib.Variant("(su)", ("org.pelora.Pelora", 4)), None, 0, 5000)
reply = bus.call_sync("org.pelora.Pelora.Windows", "/org/pelora/Pelora/Windows",
                      "org.pelora.Pelora.Windows", "GetWindows", None, None, 0, 5000)
windows = reply.unpack()[0]
native = [w for w in windows if w["app"] == "org.example.Three.desktop"]
exit(0 if native and all(w["minimized"] for w in windows) else 1)'
}
check "Hide All minimises the native window too" waitFor 50 allMinimized
check "the shell logs nothing about the extension" \
    eval '! grep "pelora.org" "$work/shell-headless.log"'
stopShell

# ---- nested
if [ -x "${PELORA_SECRET_COPIER:-}" ]; then
    startShell nested
    startPelora
    # The extension binds the default clipboard shortcut with the shell's own key handling.
    shortcut() { DISPLAY=$hostDisplay xdotool key --clearmodifiers super+shift+v; }
    check "nested: the clipboard shortcut opens its menu" waitFor 5 eval 'shortcut && waitFor 10 menusOpen'
    check "nested: pressed again, it closes the menu" eval 'shortcut && waitFor 50 eval "! menusOpen"'
    # Over a native window, whose keys the shell never hands to XWayland: the extension lends
    # the strip the keyboard while the menu shows, then gives it back (the strip's focus is
    # told to Pelora as none).
    dbus-monitor --session "member='FocusChanged'" >"$work/focus.log" 2>&1 &
    started+=($!)
    spawn xterm -T "X Terminal"
    window 3 Three
    waitFor 200 eval 'listed XTerm && listed "Example Three"' && choose windows "Example Three" &&
        waitFor 50 firstRecent "Example Three" || fail "nested: Example Three has not the focus"
    lastFocus() { grep -o "uint64 [0-9]*" "$work/focus.log" | tail -n1; }
    lent() { [ "$(lastFocus)" = "uint64 0" ]; }
    waitFor 50 eval '! lent'
    native=$(lastFocus)
    key() { DISPLAY=$hostDisplay xdotool key --clearmodifiers "$@"; }
    # A press can be lost, as above.
    opened() { waitFor 5 eval 'shortcut && waitFor 20 menusOpen' && waitFor 50 lent; }
    check "nested: over a native window, the shortcut opens its menu with the keyboard" opened
    check "nested: Escape closes it" eval 'key Escape && waitFor 50 eval "! menusOpen"'
    check "nested: the native window has the focus back" \
        waitFor 50 eval '[ "$(lastFocus)" = "$native" ]'
    opened
    xdotool search --name "^X Terminal$" windowactivate >/dev/null 2>&1
    check "nested: another window taking the focus closes the menu" waitFor 50 eval '! menusOpen'
    QT_QPA_PLATFORM=wayland "$PELORA_SECRET_COPIER" "Secret 43" Copier >"$work/copier.log" 2>&1 &
    copierPid=$!
    started+=($copierPid)
    waitFor 200 listed "Example Copier" || fail "nested: no copier window in $(titles windows)"
    choose windows "Example Copier"
    waitFor 50 grep -q copied "$work/copier.log" || fail "nested: the secret was not copied"
    check "Pelora reads the secret copy's marker" \
        waitFor 50 grep -q "sent x-kde-passwordManagerHint" "$work/copier.log"
    secretKept() { cmd menu clipboard | grep -q "Secret 43"; }
    # The text read by the shell's clipboard manager and by Pelora (unread, Pelora takes the
    # next copy of the same kinds for its takeover).
    waitFor 50 eval '[ "$(grep -c "sent text/plain" "$work/copier.log")" -ge 2 ]'
    # The program quits; the shell's clipboard manager keeps the text, without the marker.
    kill "$copierPid"
    takenOver() { [ "$(xclip -o -selection clipboard 2>/dev/null)" = "Secret 43" ]; }
    waitFor 50 takenOver || fail "nested: the shell did not take the copy over"
    check "the secret is not kept, nor once taken over" eval '! waitFor 30 secretKept'
    echo "After the secret" | xclip -selection clipboard
    check "a copy after the secret is kept" \
        waitFor 50 eval 'cmd menu clipboard | grep -q "After the secret"'
    check "the secret is still not kept" eval '! secretKept'
    stopShell
else
    echo "note: no secret-copier helper; the nested checks are left out"
fi
e2eFinish "$work/shell-headless.log" "$work/shell-nested.log" "$work/install.log"
