#!/usr/bin/env python3
"""Sets the Wayland clipboard to exactly the given types, as a program that offers several
representations at once would (wl-copy offers one type plus text aliases). Speaks the
compositor's data-control protocol on the bare wire, prints "ready" once the selection is set,
serves every read (printing "sent TYPE"), and exits when another program takes the clipboard.

Usage: wayland_offer.py [--stall] TYPE VALUE [TYPE VALUE]...
With --stall it never answers a read, as a hung program would.
"""
import array
import os
import socket
import struct
import sys


def pack_string(text):
    data = text.encode() + b"\0"
    return struct.pack("<I", len(data)) + data + b"\0" * (-len(data) % 4)


def unpack_string(payload, offset):
    (length,) = struct.unpack_from("<I", payload, offset)
    text = payload[offset + 4 : offset + 4 + length - 1].decode(errors="replace")
    return text, offset + 4 + length + (-length % 4)


class Connection:
    def __init__(self):
        path = os.path.join(os.environ["XDG_RUNTIME_DIR"], os.environ["WAYLAND_DISPLAY"])
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(path)
        self.buffer = b""
        self.fds = []
        self.next_id = 2

    def new_id(self):
        self.next_id += 1
        return self.next_id - 1

    def send(self, obj, opcode, payload=b""):
        self.sock.sendall(struct.pack("<II", obj, (8 + len(payload)) << 16 | opcode) + payload)

    def events(self):
        while True:
            while len(self.buffer) >= 8:
                obj, word = struct.unpack_from("<II", self.buffer)
                size = word >> 16
                if len(self.buffer) < size:
                    break
                payload, self.buffer = self.buffer[8:size], self.buffer[size:]
                yield obj, word & 0xFFFF, payload
            fds = array.array("i")
            data, ancillary, _, _ = self.sock.recvmsg(65536, socket.CMSG_SPACE(16 * fds.itemsize))
            if not data:
                sys.exit("the compositor closed the connection")
            for level, kind, items in ancillary:
                if level == socket.SOL_SOCKET and kind == socket.SCM_RIGHTS:
                    fds.frombytes(items[: len(items) - len(items) % fds.itemsize])
            self.fds.extend(fds)
            self.buffer += data

    def roundtrip(self, on_event=lambda *event: None):
        callback = self.new_id()
        self.send(1, 0, struct.pack("<I", callback))  # wl_display.sync
        for obj, opcode, payload in self.events():
            if obj == callback:
                return
            on_event(obj, opcode, payload)


def main():
    args = sys.argv[1:]
    stall = args[:1] == ["--stall"]
    args = args[1:] if stall else args
    offers = list(zip(args[0::2], args[1::2]))
    held = []
    wl = Connection()
    registry = wl.new_id()
    wl.send(1, 1, struct.pack("<I", registry))  # wl_display.get_registry
    globals_ = {}

    def on_global(obj, opcode, payload):
        if obj == registry and opcode == 0:
            (name,) = struct.unpack_from("<I", payload)
            interface, _ = unpack_string(payload, 4)
            globals_.setdefault(interface, name)

    wl.roundtrip(on_global)
    prefix = next((p for p in ("ext_data_control", "zwlr_data_control")
                   if p + "_manager_v1" in globals_), None)
    if prefix is None or "wl_seat" not in globals_:
        sys.exit("no data-control protocol")

    def bind(interface, version):
        obj = wl.new_id()
        wl.send(registry, 0, struct.pack("<I", globals_[interface]) + pack_string(interface)
                + struct.pack("<II", version, obj))
        return obj

    seat = bind("wl_seat", 1)
    manager = bind(prefix + "_manager_v1", 1)
    source = wl.new_id()
    wl.send(manager, 0, struct.pack("<I", source))  # create_data_source
    for mime, _ in offers:
        wl.send(source, 0, pack_string(mime))  # offer
    device = wl.new_id()
    wl.send(manager, 1, struct.pack("<II", device, seat))  # get_data_device
    wl.send(device, 0, struct.pack("<I", source))  # set_selection
    wl.roundtrip()
    print("ready", flush=True)
    values = dict(offers)
    for obj, opcode, payload in wl.events():
        # Every fd arrives with its message, in order: only a source's send carries one.
        if obj == source and opcode == 0:
            mime, _ = unpack_string(payload, 0)
            fd = wl.fds.pop(0)
            if stall:
                held.append(fd)  # open and silent
                print("stalled", mime, flush=True)
                continue
            try:
                os.write(fd, values.get(mime, "").encode())
            except OSError:
                pass
            os.close(fd)
            print("sent", mime, flush=True)
        elif obj == source and opcode == 1:  # cancelled
            return


if __name__ == "__main__":
    main()
