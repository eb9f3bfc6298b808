#!/usr/bin/env python3
"""Writes the seed corpora of the ADS reply and simulator request fuzz targets: the frames a
real session exchanges (mailbox traffic, PLC stop and run, a short download), so the fuzzers
start from streams that reach deep into the code. Run it again only to change the seeds."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
ADS_DIR = os.path.join(HERE, "..", "ads", "corpus")
SIM_DIR = os.path.join(HERE, "corpus")

CONTROLLER = bytes([127, 0, 0, 1, 1, 1])
HOST = bytes([127, 0, 0, 1, 1, 1])
GROUP = 0x4020


def frame(cmd, invoke, data=b"", flags=0x0004, error=0, target_port=800, source_port=32768,
          to_controller=True):
    target = (CONTROLLER if to_controller else HOST) + struct.pack("<H", target_port)
    source = (HOST if to_controller else CONTROLLER) + struct.pack("<H", source_port)
    ams = target + source + struct.pack("<HHIII", cmd, flags, len(data), error, invoke)
    return struct.pack("<HI", 0, 32 + len(data)) + ams + data


def read_req(offset, length):
    return struct.pack("<III", GROUP, offset, length)


def write_req(offset, data):
    return struct.pack("<III", GROUP, offset, len(data)) + data


def mailbox(code, sequence, pid=0, value=b"\0\0\0\0"):
    rec = struct.pack("<H", code) + b"\0" * 4 + struct.pack("<IH", sequence, pid) + value
    return rec + b"\0" * (32 - len(rec))


def control(state):
    return struct.pack("<HHI", state, 0, 0)


def reply(cmd, invoke, data, error=0):
    return frame(cmd, invoke, data, flags=0x0005, error=error, target_port=32768,
                 source_port=800, to_controller=False)


def write(dirname, name, content):
    with open(os.path.join(dirname, name), "wb") as f:
        f.write(content)


def sim_seeds():
    # byte 0: receive-size seed, byte 1: fault bits, then the stream.
    session = b"".join([
        frame(4, 1),
        frame(1, 2),
        frame(2, 3, read_req(164, 28)),
        frame(3, 4, write_req(100, mailbox(8, 1, 10))),
        frame(2, 5, read_req(132, 60)),
        frame(3, 6, write_req(100, mailbox(13, 2, 127, bytes([0, 1, 0, 0])))),  # host 127.0.0.1
        frame(3, 7, write_req(100, mailbox(7, 3, 4, struct.pack("<f", 1234.0)))),
        frame(3, 8, write_req(100, mailbox(15, 4))),
        frame(2, 9, read_req(132, 60)),
    ])
    write(SIM_DIR, "session", bytes([3, 0]) + session)
    write(SIM_DIR, "session_faults", bytes([9, 0x0F]) + session)
    download = b"".join([
        frame(5, 1, control(6)),
        frame(0x5001, 1, b"\x01\x00", flags=0),
        frame(0x5001, 2, b"\x02\x00", flags=0),
        frame(0x5006, 0, b"CORVANE!", flags=0),
        frame(0x5001, 6, b"\x06\x00", flags=0),
        frame(0x5001, 7, b"\x07\x00", flags=0),
        frame(0x5001, 8, b"\x08\x00", flags=0),
        frame(5, 2, control(5)),
        frame(2, 3, read_req(164, 28)),
    ])
    write(SIM_DIR, "download", bytes([1, 0]) + download)
    write(SIM_DIR, "download_rejected", bytes([200, 0x40 | 0x80]) + download)
    odd = b"".join([
        frame(2, 1, read_req(4090, 100)),
        frame(2, 2, struct.pack("<III", 0x4021, 0, 4)),
        frame(3, 3, struct.pack("<III", GROUP, 0, 99) + b"ab"),
        frame(7, 4),
        frame(4, 5, target_port=851),
        frame(2, 6, read_req(0, 4), flags=0x0005),
    ])
    write(SIM_DIR, "odd_requests", bytes([17, 0]) + odd)
    write(SIM_DIR, "hostile_length", bytes([0, 0]) + struct.pack("<HI", 0, 0xFFFFFFF0) + b"x" * 20)


def ads_seeds():
    # byte 0: receive-size seed, byte 1: Read size choice, then the stream.
    status = struct.pack("<hhI", 1, 0, 0) + b"\0" * 20
    poll = reply(2, 3, struct.pack("<II", 0, 60) + mailbox(8, 1, 10, b"\x03\x01\0\0") + status)
    write(ADS_DIR, "poll_reply", bytes([5, 6]) + poll)
    write(ADS_DIR, "status_reply", bytes([1, 4]) + reply(2, 1, struct.pack("<II", 0, 28) + status))
    write(ADS_DIR, "write_replies",
          bytes([40, 0]) + reply(3, 1, struct.pack("<I", 0)) + reply(5, 2, struct.pack("<I", 0x701)))
    write(ADS_DIR, "read_error", bytes([2, 4]) + reply(2, 4, struct.pack("<I", 0x705)))
    write(ADS_DIR, "ams_error", bytes([2, 3]) + reply(2, 5, b"", error=0x745))
    write(ADS_DIR, "short_length", bytes([7, 4]) + reply(2, 6, struct.pack("<II", 0, 4) + b"\1\2\3\4"))
    write(ADS_DIR, "state_reply", bytes([3, 2]) + reply(4, 7, struct.pack("<IHH", 0, 5, 0)))
    write(ADS_DIR, "hostile_length", bytes([0, 0]) + struct.pack("<HI", 0, 0x7FFFFFFF) + b"\0" * 40)
    write(ADS_DIR, "bad_reserved", bytes([9, 1]) + struct.pack("<HI", 1, 32) + b"\0" * 32)


os.makedirs(ADS_DIR, exist_ok=True)
os.makedirs(SIM_DIR, exist_ok=True)
sim_seeds()
ads_seeds()
