#!/usr/bin/env python3
"""One virtual keyboard for a whole run (a new keyboard makes sway send the focused window the
keyboard again, which closes menus). Speaks the virtual-keyboard protocol on the bare wire and
types each line read from standard input: keys named as xdotool names them, "ctrl+alt+v" for a
combination. Prints "typed LINE" once the compositor has the keys.
"""
import os, socket, struct, sys

MODIFIERS = {"shift": (42, 1), "ctrl": (29, 4), "alt": (56, 8), "super": (125, 64)}
KEYS = dict(zip("qwertyuiop", range(16, 26))) | dict(zip("asdfghjkl", range(30, 39)))
KEYS |= dict(zip("zxcvbnm", range(44, 51))) | dict(zip("1234567890", range(2, 12)))
KEYS |= {"Escape": 1, "BackSpace": 14, "Tab": 15, "Return": 28, "space": 57, "Home": 102,
         "Up": 103, "Left": 105, "Right": 106, "End": 107, "Down": 108}
KEYMAP = b"""xkb_keymap { xkb_keycodes { include "evdev" }; xkb_types { include "complete" };
xkb_compat { include "complete" }; xkb_symbols { include "pc+us+inet(evdev)" }; };\0"""


def string(text):
    data = text.encode() + b"\0"
    return struct.pack("<I", len(data)) + data + b"\0" * (-len(data) % 4)


sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
sock.connect(os.path.join(os.environ["XDG_RUNTIME_DIR"], os.environ["WAYLAND_DISPLAY"]))
buffer, next_id = b"", 2


def send(obj, opcode, *words, tail=b"", fd=None):
    payload = struct.pack("<%dI" % len(words), *words) + tail
    message = struct.pack("<II", obj, (8 + len(payload)) << 16 | opcode) + payload
    ancillary = [(socket.SOL_SOCKET, socket.SCM_RIGHTS, struct.pack("i", fd))] if fd else []
    sock.sendmsg([message], ancillary)


def new_id():
    global next_id
    next_id += 1
    return next_id - 1


def roundtrip(on_event=lambda *event: None):
    global buffer
    callback = new_id()
    send(1, 0, callback)  # wl_display.sync
    while True:
        while len(buffer) >= 8 and len(buffer) >= struct.unpack_from("<II", buffer)[1] >> 16:
            obj, word = struct.unpack_from("<II", buffer)
            payload, buffer = buffer[8 : word >> 16], buffer[word >> 16 :]
            if obj == callback:
                return
            on_event(obj, word & 0xFFFF, payload)
        data = sock.recv(65536)
        if not data:
            sys.exit("the compositor closed the connection")
        buffer += data


registry, found = new_id(), {}
send(1, 1, registry)  # wl_display.get_registry
roundtrip(lambda obj, op, p: obj == registry and op == 0 and found.setdefault(p[8 : 7 + struct.unpack_from("<I", p, 4)[0]].decode(), p[:4]))
if "zwp_virtual_keyboard_manager_v1" not in found:
    sys.exit("no virtual-keyboard protocol")


def bind(interface):
    obj = new_id()
    send(registry, 0, tail=found[interface] + string(interface) + struct.pack("<II", 1, obj))
    return obj


seat, manager, keyboard = bind("wl_seat"), bind("zwp_virtual_keyboard_manager_v1"), new_id()
send(manager, 0, seat, keyboard)  # create_virtual_keyboard
keymap = os.memfd_create("keymap")
os.write(keymap, KEYMAP)
send(keyboard, 0, 1, len(KEYMAP), fd=keymap)  # keymap: xkb v1, the fd, its size
roundtrip()
print("ready", flush=True)
for line in sys.stdin:
    for combination in line.split():
        *mods, key = combination.split("+")
        held = [MODIFIERS[m.lower()] for m in mods]
        for code, _ in held:
            send(keyboard, 1, 0, code, 1)  # pressed
        send(keyboard, 2, sum(bit for _, bit in held), 0, 0, 0)  # a virtual keyboard states its modifiers
        send(keyboard, 1, 0, KEYS[key], 1)
        send(keyboard, 1, 0, KEYS[key], 0)  # released
        for code, _ in reversed(held):
            send(keyboard, 1, 0, code, 0)
        send(keyboard, 2, 0, 0, 0, 0)
        roundtrip()
    print("typed", line.strip(), flush=True)
