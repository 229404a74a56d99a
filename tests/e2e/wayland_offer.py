#!/usr/bin/env python3
"""Sets the Wayland clipboard to exactly the given types, as a program offering several
representations at once would (wl-copy offers one type plus text aliases). Speaks the
compositor's data-control protocol on the bare wire, serves every read (printing "sent TYPE"),
and exits when another program takes the clipboard.

Usage: wayland_offer.py [--stall] TYPE VALUE [TYPE VALUE]...
With --stall it never answers a read (printing "stalled TYPE"), as a hung program would.
"""
import array, os, socket, struct, sys


def string(text):
    data = text.encode() + b"\0"
    return struct.pack("<I", len(data)) + data + b"\0" * (-len(data) % 4)


def unstring(payload, offset=0):
    (length,) = struct.unpack_from("<I", payload, offset)
    return payload[offset + 4 : offset + 3 + length].decode(errors="replace")


sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
sock.connect(os.path.join(os.environ["XDG_RUNTIME_DIR"], os.environ["WAYLAND_DISPLAY"]))
buffer, fds, ids = b"", [], iter(range(2, 1 << 20))


def send(obj, opcode, *words, tail=b""):
    payload = struct.pack("<%dI" % len(words), *words) + tail
    sock.sendall(struct.pack("<II", obj, (8 + len(payload)) << 16 | opcode) + payload)


def events():
    global buffer
    while True:
        while len(buffer) >= 8 and len(buffer) >= struct.unpack_from("<II", buffer)[1] >> 16:
            obj, word = struct.unpack_from("<II", buffer)
            payload, buffer = buffer[8 : word >> 16], buffer[word >> 16 :]
            yield obj, word & 0xFFFF, payload
        received = array.array("i")
        data, ancillary, _, _ = sock.recvmsg(65536, socket.CMSG_SPACE(16 * received.itemsize))
        if not data:
            sys.exit("the compositor closed the connection")
        for level, kind, items in ancillary:
            if (level, kind) == (socket.SOL_SOCKET, socket.SCM_RIGHTS):
                received.frombytes(items[: len(items) - len(items) % received.itemsize])
        fds.extend(received)
        buffer += data


def roundtrip(on_event=lambda *event: None):
    callback = next(ids)
    send(1, 0, callback)  # wl_display.sync
    for event in events():
        if event[0] == callback:
            return
        on_event(*event)


args = sys.argv[1:]
stall = args[:1] == ["--stall"]
offers = dict(zip(args[stall::2], args[stall + 1 :: 2]))
registry, found = next(ids), {}
send(1, 1, registry)  # wl_display.get_registry
roundtrip(lambda obj, op, p: obj == registry and op == 0 and found.setdefault(unstring(p, 4), p[:4]))
prefix = next((p for p in ("ext_data_control", "zwlr_data_control") if p + "_manager_v1" in found), None)
if prefix is None or "wl_seat" not in found:
    sys.exit("no data-control protocol")


def bind(interface):
    obj = next(ids)
    send(registry, 0, tail=found[interface] + string(interface) + struct.pack("<II", 1, obj))
    return obj


seat, manager, source, device = bind("wl_seat"), bind(prefix + "_manager_v1"), next(ids), next(ids)
send(manager, 0, source)  # create_data_source
for mime in offers:
    send(source, 0, tail=string(mime))  # offer
send(manager, 1, device, seat)  # get_data_device
send(device, 0, source)  # set_selection
held = []
for obj, opcode, payload in events():
    if obj == source and opcode == 0:  # send: every fd arrives with its message, in order
        mime, fd = unstring(payload), fds.pop(0)
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
