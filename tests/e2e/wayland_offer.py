#!/usr/bin/env python3
"""Sets the Wayland clipboard to exactly the given types, as a program offering several
representations at once would (wl-copy offers one type plus text aliases). Speaks the
compositor's data-control protocol on the bare wire, serves every read (printing "sent TYPE"),
and exits when another program takes the clipboard.

Usage: wayland_offer.py [--stall] TYPE VALUE [TYPE VALUE]...
With --stall it never answers a read (printing "stalled TYPE"), as a hung program would.
"""
import os, sys

from wayland_wire import Connection, string, unstring

wire = Connection()
args = sys.argv[1:]
stall = args[:1] == ["--stall"]
offers = dict(zip(args[stall::2], args[stall + 1 :: 2]))
prefix = next((p for p in ("ext_data_control", "zwlr_data_control") if p + "_manager_v1" in wire.found), None)
if prefix is None or "wl_seat" not in wire.found:
    sys.exit("no data-control protocol")
seat, manager = wire.bind("wl_seat"), wire.bind(prefix + "_manager_v1")
source, device = next(wire.ids), next(wire.ids)
wire.send(manager, 0, source)  # create_data_source
for mime in offers:
    wire.send(source, 0, tail=string(mime))  # offer
wire.send(manager, 1, device, seat)  # get_data_device
wire.send(device, 0, source)  # set_selection
held = []
for obj, opcode, payload in wire.events():
    if obj == source and opcode == 0:  # send: every fd arrives with its message, in order
        mime, fd = unstring(payload), wire.fds.pop(0)
        if stall:
            held.append(fd)  # open and silent
            print("stalled", mime, flush=True)
            continue
        try:
            os.write(fd, offers.get(mime, "").encode())
        except OSError:
            pass
        os.close(fd)
        print("sent", mime, flush=True)
    elif obj == source and opcode == 1:  # cancelled
        break
