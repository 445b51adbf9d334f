#!/usr/bin/python3
# A stand-in for lumbrik-decoder that speaks its protocol (decoder/Protocol.h) well or badly,
# as its one argument says, so that the viewer's side can be shown to refuse every bad answer.
import os, signal, socket, struct, sys, time, fcntl

FORMAT = "<IIIiiiddqq240s"  # decoder::Message
READY, OPEN, FACTS, DRAW, PIXELS, FAILED = 1, 2, 3, 4, 5, 6
SEALS = fcntl.F_SEAL_SHRINK | fcntl.F_SEAL_GROW | fcntl.F_SEAL_WRITE


def message(kind, width=0, height=0, stride=0, size=0, text=b""):
    return struct.pack(FORMAT, 0x4C4D4231, kind, 6, 1, width, height, 1000.0, 750.0,
                       stride, size, text)


def pixels(width, height, length, seals=SEALS):
    memory = os.memfd_create("pixels", os.MFD_ALLOW_SEALING)
    os.ftruncate(memory, length)
    os.pwrite(memory, b"\xa0\x50\x20\xff" * (length // 4), 0)
    if seals:
        fcntl.fcntl(memory, fcntl.F_ADD_SEALS, seals)
    return memory


mode = sys.argv[1]
peer = socket.socket(fileno=3)
peer.send(message(READY))
data, fds, _, _ = socket.recv_fds(peer, 400, 4)
if mode == "silent":
    time.sleep(60)
elif mode == "garbage":
    peer.send(b"hello")
elif mode == "too long a message":
    peer.send(message(FACTS) + b"x" * 4000)
elif mode == "refusing":
    peer.send(message(FAILED, text=b"bad.emf: the file is odd"))
else:
    peer.send(message(FACTS, 4, 3))
    draw = struct.unpack(FORMAT, peer.recv(400))
    width, height = draw[4], draw[5]
    stride, length = width * 4, width * 4 * height
    if mode == "dies after the size":
        sys.exit(0)
    if mode == "crashes mid-pixels":
        pixels(width, height, length // 2, 0)
        os.kill(os.getpid(), signal.SIGSEGV)
    answers = {
        "well behaved": (width, height, length, [pixels(width, height, length)]),
        "pixels of another size": (width + 1, height, length + 4 * height,
                                   [pixels(width + 1, height, length + 4 * height)]),
        "short answer": (width, height, length, [pixels(width, height, length - stride)]),
        "oversized answer": (width, height, length, [pixels(width, height, length + stride)]),
        "memory that can shrink": (width, height, length, [pixels(width, height, length, 0)]),
        "two descriptors": (width, height, length,
                            [pixels(width, height, length), pixels(width, height, length)]),
    }
    w, h, size, memories = answers[mode]
    socket.send_fds(peer, [message(PIXELS, w, h, w * 4, size)], memories)
    if mode == "memory that can shrink":
        os.ftruncate(memories[0], 0)
time.sleep(0.5 if mode != "silent" else 0)
