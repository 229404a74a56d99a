#!/usr/bin/env python3
"""One virtual keyboard for a whole run (a new keyboard makes sway hand the focused window the
keyboard again, which closes menus). Types each line read from standard input: keys named as
xdotool names them, "ctrl+alt+v" for a combination; prints "typed LINE" once they are sent.
"""
import os, sys

from wayland_wire import Connection

MODIFIERS = {"shift": (42, 1), "ctrl": (29, 4), "alt": (56, 8), "super": (125, 64)}
KEYS = dict(zip("qwertyuiop", range(16, 26))) | dict(zip("asdfghjkl", range(30, 39)))
KEYS |= dict(zip("zxcvbnm", range(44, 51))) | dict(zip("1234567890", range(2, 12)))
KEYS |= {"Escape": 1, "Tab": 15, "Return": 28, "space": 57, "Home": 102, "Up": 103,
         "Left": 105, "Right": 106, "End": 107, "Down": 108}
KEYMAP = b"""xkb_keymap { xkb_keycodes { include "evdev" }; xkb_types { include "complete" };
xkb_compat { include "complete" }; xkb_symbols { include "pc+us+inet(evdev)" }; };\0"""

wire = Connection()
if "zwp_virtual_keyboard_manager_v1" not in wire.found:
    sys.exit("no virtual-keyboard protocol")
seat, manager, keyboard = wire.bind("wl_seat"), wire.bind("zwp_virtual_keyboard_manager_v1"), next(wire.ids)
wire.send(manager, 0, seat, keyboard)  # create_virtual_keyboard
keymap = os.memfd_create("keymap")
os.write(keymap, KEYMAP)
wire.send(keyboard, 0, 1, len(KEYMAP), fd=keymap)  # keymap: XKB text, its size
key = lambda code, pressed: wire.send(keyboard, 1, 0, code, pressed)
for line in sys.stdin:
    for combination in line.split():
        *names, name = combination.split("+")
        held = [MODIFIERS[m.lower()] for m in names]
        for code, _ in held:
            key(code, 1)
        wire.send(keyboard, 2, sum(bit for _, bit in held), 0, 0, 0)  # modifiers, stated
        key(KEYS[name], 1)
        key(KEYS[name], 0)
        for code, _ in reversed(held):
            key(code, 0)
        wire.send(keyboard, 2, 0, 0, 0, 0)
        wire.roundtrip()
    print("typed", line.strip(), flush=True)
