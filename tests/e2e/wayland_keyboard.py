#!/usr/bin/env python3
"""One virtual keyboard for a whole run (a new one hands the focused window the keyboard again):
types each line read, keys named as xdotool names them ("ctrl+alt+v"), and prints "typed LINE"."""
import os, sys

from wayland_wire import Connection

MODIFIERS = {"shift": (42, 1), "ctrl": (29, 4), "alt": (56, 8), "super": (125, 64)}
KEYS = dict(zip("qwertyuiopasdfghjklzxcvbnm", [*range(16, 26), *range(30, 39), *range(44, 51)]))
KEYS |= {"Escape": 1, "Return": 28, "Home": 102, "Up": 103, "Left": 105, "Right": 106, "End": 107, "Down": 108}
KEYMAP = b"""xkb_keymap { xkb_keycodes { include "evdev" }; xkb_types { include "complete" };
xkb_compat { include "complete" }; xkb_symbols { include "pc+us+inet(evdev)" }; };\0"""

wire = Connection()
seat, manager, keyboard = wire.bind("wl_seat"), wire.bind("zwp_virtual_keyboard_manager_v1"), next(wire.ids)
wire.send(manager, 0, seat, keyboard)  # create_virtual_keyboard
os.write(keymap := os.memfd_create("keymap"), KEYMAP)
wire.send(keyboard, 0, 1, len(KEYMAP), fd=keymap)  # keymap: XKB text, its size
key = lambda code, pressed: wire.send(keyboard, 1, 0, code, pressed)
for line in sys.stdin:
    for combination in line.split():
        *names, name = combination.split("+")
        held = [MODIFIERS[m.lower()] for m in names]
        [key(code, 1) for code, _ in held]
        wire.send(keyboard, 2, sum(bit for _, bit in held), 0, 0, 0)  # modifiers, stated
        key(KEYS[name], 1)
        key(KEYS[name], 0)
        [key(code, 0) for code, _ in reversed(held)]
        wire.send(keyboard, 2, 0, 0, 0, 0)
        wire.roundtrip()
    print("typed", line.strip(), flush=True)
