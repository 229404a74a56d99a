"""Wayland's wire protocol, bare: enough for the small test clients beside it."""
import array, os, socket, struct, sys


def string(text):
    data = text.encode() + b"\0"
    return struct.pack("<I", len(data)) + data + b"\0" * (-len(data) % 4)


def unstring(payload, offset=0):
    (length,) = struct.unpack_from("<I", payload, offset)
    return payload[offset + 4 : offset + 3 + length].decode(errors="replace")


class Connection:
    def __init__(self):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(os.path.join(os.environ["XDG_RUNTIME_DIR"], os.environ["WAYLAND_DISPLAY"]))
        self.buffer, self.fds, self.ids = b"", [], iter(range(2, 1 << 20))
        self.registry, self.found = next(self.ids), {}
        self.send(1, 1, self.registry)  # wl_display.get_registry
        self.roundtrip(lambda obj, op, p: obj == self.registry and op == 0 and self.found.setdefault(unstring(p, 4), p[:4]))

    def send(self, obj, opcode, *words, tail=b"", fd=None):
        payload = struct.pack("<%dI" % len(words), *words) + tail
        ancillary = [(socket.SOL_SOCKET, socket.SCM_RIGHTS, struct.pack("i", fd))] if fd else []
        self.sock.sendmsg([struct.pack("<II", obj, (8 + len(payload)) << 16 | opcode) + payload], ancillary)

    def bind(self, interface):
        obj = next(self.ids)
        self.send(self.registry, 0, tail=self.found[interface] + string(interface) + struct.pack("<II", 1, obj))
        return obj

    def events(self):
        while True:
            while len(self.buffer) >= 8 and len(self.buffer) >= struct.unpack_from("<II", self.buffer)[1] >> 16:
                obj, word = struct.unpack_from("<II", self.buffer)
                payload, self.buffer = self.buffer[8 : word >> 16], self.buffer[word >> 16 :]
                yield obj, word & 0xFFFF, payload
            received = array.array("i")
            data, ancillary, _, _ = self.sock.recvmsg(65536, socket.CMSG_SPACE(16 * received.itemsize))
            if not data:
                sys.exit("the compositor closed the connection")
            for level, kind, items in ancillary:
                if (level, kind) == (socket.SOL_SOCKET, socket.SCM_RIGHTS):
                    received.frombytes(items[: len(items) - len(items) % received.itemsize])
            self.fds.extend(received)
            self.buffer += data

    def roundtrip(self, on_event=lambda *event: None):
        callback = next(self.ids)
        self.send(1, 0, callback)  # wl_display.sync
        for event in self.events():
            if event[0] == callback:
                return
            on_event(*event)
