# Shared start-up of the end-to-end tests, sourced by the test_*.sh scripts:
#   source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
#   e2eInit "$@" Xvfb openbox xdotool ...  # arguments, tools (exit 77 when one is missing)
#   e2eInstall                             # a private home with the bundle in ~/Applications
#   e2eStartDisplay                        # Xvfb 1440x900 with openbox, DISPLAY exported
#   ... checks with pass/fail, startPelora/stopPelora, shot, geometry ...
#   e2eFinish                              # prints the logs and exits 1 when a check failed
# Everything started through these helpers is stopped by pid when the script exits.

# Arguments: <bundle dir> <artifact dir>, then the tools the script needs.
e2eInit() {
    bundle=${1:?bundle dir}
    artifacts=${2:?artifact dir}
    shift 2
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || {
            echo "SKIP: $tool is missing"
            exit 77
        }
    done
    [ -x "$bundle/Contents/MacOS/pelora" ] || {
        echo "FAIL: no bundle at $bundle"
        exit 1
    }
    mkdir -p "$artifacts"
    rm -f "$artifacts"/*.png
    work=$(mktemp -d)
    started=()
    failures=0
    trap e2eCleanup EXIT
}

e2eCleanup() {
    local i pid
    for ((i = ${#started[@]} - 1; i >= 0; i--)); do
        pid=${started[i]}
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    rm -rf "$work"
}

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

# Waits up to $1 tenths of a second for the command to succeed.
waitFor() {
    local tenths=$1 t
    shift
    for ((t = 0; t < tenths; t++)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# A private home and XDG folders under the work folder, and the bundle installed into
# ~/Applications; $pelora is its executable.
e2eInstall() {
    export HOME="$work/home"
    export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share"
    export XDG_CACHE_HOME="$HOME/.cache" XDG_RUNTIME_DIR="$work/runtime"
    mkdir -p "$HOME/Applications" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" \
        "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    unset WAYLAND_DISPLAY QT_QPA_PLATFORM SESSION_MANAGER XDG_CURRENT_DESKTOP
    cp -a "$bundle" "$HOME/Applications/Pelora.app"
    pelora="$HOME/Applications/Pelora.app/Contents/MacOS/pelora"
}

# A private 1440x900 display with openbox as the window manager.
e2eStartDisplay() {
    Xvfb -displayfd 3 -screen 0 1440x900x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    started+=($!)
    # The whole line: a display number read half-written would name another display.
    waitFor 300 sh -c '[ "$(wc -l <"$1")" -ge 1 ]' _ "$work/display" || {
        echo "FAIL: Xvfb did not start"
        cat "$work/xvfb.log"
        exit 1
    }
    export DISPLAY=":$(head -n1 "$work/display")"
    openbox --sm-disable >"$work/openbox.log" 2>&1 &
    started+=($!)
    waitFor 300 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"' || {
        echo "FAIL: openbox did not start"
        cat "$work/openbox.log" "$work/xvfb.log"
        exit 1
    }
}

shot() { import -window root "$artifacts/$1.png" && echo "screenshot $artifacts/$1.png"; }

# The visible windows of a process, one id a line.
windowsOf() { xdotool search --onlyvisible --pid "$1" 2>/dev/null; }

# "x y width height" of a window, from the X server.
geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
        /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
}

# "x y width height" of a window once it is viewable and reads the same twice in a row, a tenth
# of a second apart: the window manager has placed it. Waits up to $2 tenths (default 100).
settledGeometry() {
    local window=$1 tenths=${2:-100} last="" now t
    for ((t = 0; t < tenths; t++)); do
        now=$(xwininfo -id "$window" 2>/dev/null | awk '/Map State/ {m=$NF}
            /Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
            /Width:/ {w=$NF} /Height:/ {h=$NF} END {if (m == "IsViewable") print x, y, w, h}')
        if [ -n "$now" ] && [ "$now" = "$last" ]; then
            echo "$now"
            return 0
        fi
        last=$now
        sleep 0.1
    done
    return 1
}

expectGeometry() { # what, window, expected "x y w h"
    local got
    got=$(geometry "$2")
    if [ "$got" = "$3" ]; then pass "$1: $got"; else fail "$1: expected $3, got $got"; fi
}

# Starts the installed program and waits for its strip: $peloraPid, $strip.
startPelora() {
    "$pelora" >>"$work/pelora.log" 2>&1 &
    peloraPid=$!
    started+=($peloraPid)
    waitFor 100 sh -c "xdotool search --onlyvisible --pid $peloraPid >/dev/null 2>&1" ||
        fail "no strip window appeared"
    strip=$(windowsOf "$peloraPid" | head -n1)
    settledGeometry "$strip" >/dev/null || fail "the strip did not settle"
}

stopPelora() {
    kill "$peloraPid" 2>/dev/null
    wait "$peloraPid" 2>/dev/null
}

# The program's defaults tool, asked with a time limit and without a display (an older build
# would start the application instead).
defaultsTool() {
    DISPLAY= QT_QPA_PLATFORM=offscreen timeout 10 "$pelora" defaults "$@"
}

# Ends the script: the logs named (and the program's) when a check failed.
e2eFinish() {
    if ((failures > 0)); then
        echo "--- logs"
        cat "$work/pelora.log" "$@" 2>/dev/null
        echo "$failures check(s) failed"
        exit 1
    fi
    echo "all checks passed"
    exit 0
}

# A digest of what a window shows now.
pictureOf() { import -window "$1" rgb:- 2>/dev/null | md5sum; }

# Presses the key until the window's picture changes: a menu that has just appeared may not
# hold the keyboard yet, and a key pressed before that goes elsewhere. Later keys reach it.
pressUntilAnswered() { # window key
    local before="" now tries
    # A picture that no longer changes by itself, so a change tells the key was taken.
    for tries in $(seq 50); do
        now=$(pictureOf "$1")
        [ "$now" = "$before" ] && break
        before=$now
        sleep 0.1
    done
    for tries in 1 2 3; do
        xdotool key --clearmodifiers "$2"
        waitFor 30 sh -c "[ \"\$(import -window $1 rgb:- 2>/dev/null | md5sum)\" != '$before' ]" &&
            return 0
    done
    return 1
}

# --- Wayland (sway) ------------------------------------------------------------------------

# sway refuses to run as root. As root: checks the tools, runs the script again as a throw-away
# user with copies of the bundle and the scripts, copies its artifacts back, removes the user,
# and exits with the script's status. Otherwise returns at once.
# Arguments: <script> <bundle dir> <artifact dir> <tools...>
e2eRerunAsUser() {
    [ "$(id -u)" -eq 0 ] || return 0
    local script=$1 bundle=$2 artifacts=$3 tool
    shift 3
    for tool in "$@" useradd userdel runuser; do
        command -v "$tool" >/dev/null || {
            echo "SKIP: $tool is missing"
            exit 77
        }
    done
    local user="pelora-e2e-$$" home status
    home=$(mktemp -d /tmp/pelora-e2e.XXXXXX)
    useradd --no-create-home --home-dir "$home" --shell /bin/bash "$user" || {
        echo "FAIL: cannot create the user $user"
        exit 1
    }
    cp -a "$bundle" "$home/Pelora.app"
    cp -a "$(dirname "$script")" "$home/e2e"
    mkdir -p "$home/artifacts" "$artifacts"
    chown -R "$user:" "$home"
    runuser -u "$user" -- env -i PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 HOME="$home" \
        bash "$home/e2e/$(basename "$script")" "$home/Pelora.app" "$home/artifacts"
    status=$?
    cp -a "$home/artifacts/." "$artifacts/" 2>/dev/null
    userdel -f "$user" 2>/dev/null
    rm -rf "$home"
    exit $status
}

# A headless sway session (1440x900, XWayland on): WAYLAND_DISPLAY, SWAYSOCK and DISPLAY
# exported. Needs e2eInstall first (XDG_RUNTIME_DIR).
e2eStartSway() {
    printf '%s\n' 'xwayland enable' 'output * resolution 1440x900 position 0 0' \
        >"$work/sway.conf"
    env -u DISPLAY -u WAYLAND_DISPLAY WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 \
        sway -c "$work/sway.conf" >"$work/sway.log" 2>&1 &
    started+=($!)
    swayReady() { compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*.sock" >/dev/null &&
        compgen -G "$XDG_RUNTIME_DIR/wayland-*.lock" >/dev/null; }
    waitFor 100 swayReady || {
        echo "FAIL: sway did not start"
        cat "$work/sway.log"
        exit 1
    }
    local lock
    lock=$(compgen -G "$XDG_RUNTIME_DIR/wayland-*.lock" | head -n1)
    WAYLAND_DISPLAY=$(basename "$lock" .lock)
    SWAYSOCK=$(compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*.sock" | head -n1)
    export WAYLAND_DISPLAY SWAYSOCK
    # XWayland's display is in sway's environment only.
    swaymsg exec "printf %s \"\$DISPLAY\" >'$work/xdisplay'" >/dev/null
    waitFor 100 test -s "$work/xdisplay" || {
        echo "FAIL: sway has no XWayland display"
        exit 1
    }
    DISPLAY=$(cat "$work/xdisplay")
    export DISPLAY
}

# sway's windows, one a line: pid|app_id|class|focused|x|y|width|height|workspace
swayWindows() {
    swaymsg -t get_tree | /usr/bin/python3 -c '
import json, sys
def walk(node, workspace):
    if node.get("type") == "workspace":
        workspace = node.get("name")
    if node.get("pid"):
        rect = node["rect"]
        props = node.get("window_properties") or {}
        print(node["pid"], node.get("app_id") or "", props.get("class", ""), node.get("focused"),
              rect["x"], rect["y"], rect["width"], rect["height"], workspace, sep="|")
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        walk(child, workspace)
walk(json.load(sys.stdin), "")'
}
