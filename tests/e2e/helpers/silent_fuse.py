#!/usr/bin/env python3
"""A dead network share: mounts FUSE at argv[1], answers INIT (then writes argv[2]) and no later
request, printing each one's opcode. SIGTERM, or its parent's end, unmounts it lazily."""
import ctypes, os, signal, struct, sys

mountpoint, ready = sys.argv[1].encode(), sys.argv[2]
libc = ctypes.CDLL(None, use_errno=True)
fd = os.open("/dev/fuse", os.O_RDWR)
options = f"fd={fd},rootmode=40000,user_id=0,group_id=0".encode()
if libc.mount(b"silent", mountpoint, b"fuse", 2 | 4, options): sys.exit("mount failed")  # nosuid|nodev
signal.signal(signal.SIGTERM, lambda *_: (libc.umount2(mountpoint, 2), os._exit(0)))  # detach
libc.prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG
while True:
    request = os.read(fd, 1 << 20)
    _, opcode, unique = struct.unpack_from("<IIQ", request)
    print(opcode, flush=True)
    if opcode == 26:  # INIT: version 7.31, 4 KiB writes
        body = struct.pack("<IIIIHHII", 7, 31, 0, 0, 0, 0, 4096, 1).ljust(64, b"\0")
        os.write(fd, struct.pack("<IiQ", 16 + len(body), 0, unique) + body)
        open(ready, "w").close()
