#!/usr/bin/env python3
"""A file system that stops answering, as a dead network share does: mounts FUSE at the given
folder, answers the kernel's INIT, then reads every later request and answers none. Writes
"ready" to the given file once it answered INIT, and each request's opcode to stdout. SIGTERM
unmounts (lazily) and ends it; the kernel then fails what is still waiting, which until then
waits even through signals."""
import ctypes
import os
import signal
import struct
import sys

FUSE_INIT = 26
MNT_DETACH = 2
MS_NOSUID, MS_NODEV = 2, 4
PR_SET_PDEATHSIG = 1

mountpoint, ready = sys.argv[1], sys.argv[2]
libc = ctypes.CDLL(None, use_errno=True)
fd = os.open("/dev/fuse", os.O_RDWR)
options = f"fd={fd},rootmode=40000,user_id=0,group_id=0".encode()
if libc.mount(b"silent", mountpoint.encode(), b"fuse", MS_NOSUID | MS_NODEV, options) != 0:
    sys.exit(f"mount: {os.strerror(ctypes.get_errno())}")


def stop(*_):
    libc.umount2(mountpoint.encode(), MNT_DETACH)
    os._exit(0)


signal.signal(signal.SIGTERM, stop)
libc.prctl(PR_SET_PDEATHSIG, signal.SIGTERM)  # the script that started it may be killed
while True:
    request = os.read(fd, 1 << 20)
    length, opcode, unique = struct.unpack_from("<IIQ", request)
    print(opcode, flush=True)
    if opcode == FUSE_INIT:
        # Version 7.31, 4 KiB writes; the rest left at zero.
        body = struct.pack("<IIIIHHII", 7, 31, 0, 0, 0, 0, 4096, 1).ljust(64, b"\0")
        os.write(fd, struct.pack("<IiQ", 16 + len(body), 0, unique) + body)
        with open(ready, "w") as f:
            f.write("ready\n")
