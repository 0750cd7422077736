#!/usr/bin/env python3
"""Sets the time stamp in a PE file's COFF header, and its checksum when it has one:
    set-pe-time.py <file> <seconds since 1970>
For tools that stamp their output with a time of their own."""
import struct
import sys


def pe_checksum(data: bytes, checksum_offset: int) -> int:
    # The image checksum: 16-bit words added with end-around carry, the checksum field taken as
    # zero, plus the file's length.
    length = len(data)
    data = data[:checksum_offset] + b"\0\0\0\0" + data[checksum_offset + 4 :]
    if length % 2:
        data += b"\0"
    total = 0
    for (word,) in struct.iter_unpack("<H", data):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return (total + length) & 0xFFFFFFFF


def main() -> int:
    path, seconds = sys.argv[1], int(sys.argv[2])
    with open(path, "rb") as f:
        data = bytearray(f.read())
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    if data[:2] != b"MZ" or data[pe : pe + 4] != b"PE\0\0":
        sys.exit(f"{path}: not a PE file")
    struct.pack_into("<I", data, pe + 8, seconds)
    checksum_offset = pe + 24 + 64
    (checksum,) = struct.unpack_from("<I", data, checksum_offset)
    if checksum:
        struct.pack_into("<I", data, checksum_offset, pe_checksum(bytes(data), checksum_offset))
    with open(path, "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
