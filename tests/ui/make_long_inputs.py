#!/usr/bin/env python3
"""Inputs that keep a job busy for seconds while costing almost nothing to
make, for stopping jobs through the real windows:
  big.bin     a sparse file of 3.5 GiB of zeros (to archive);
  huge.ezc    a container whose body is a sparse hole of almost 4 GiB, made
              from the small container given, with its length raised;
  long.zip    four entries of 3 GiB of zeros each, deflated in full-flush
              blocks that repeat (a few MB in all).
Usage: make_long_inputs.py SMALL_CONTAINER FOLDER"""
import os
import struct
import sys
import zlib

small_container, folder = sys.argv[1], sys.argv[2]

with open(os.path.join(folder, "big.bin"), "wb") as sparse:
    sparse.truncate(3584 << 20)

header_size, length_offset = 348, 4
plain_length = 0xFFFFFFF8  # the largest length of whole cipher blocks
with open(small_container, "rb") as source:
    header = bytearray(source.read(header_size))
header[length_offset:length_offset + 4] = struct.pack(">I", plain_length)
with open(os.path.join(folder, "huge.ezc"), "wb") as container:
    container.write(header)
    container.truncate(header_size + plain_length)

# A full flush resets the compressor, so every MiB of zeros compresses to the
# same bytes; the stream is that block repeated, then an empty final block.
mebibyte = bytes(1 << 20)
mebibytes = 3072
compressor = zlib.compressobj(1, zlib.DEFLATED, -15)
block = compressor.compress(mebibyte) + compressor.flush(zlib.Z_FULL_FLUSH)
assert block == compressor.compress(mebibyte) + compressor.flush(zlib.Z_FULL_FLUSH)
stream = block * mebibytes + compressor.flush(zlib.Z_FINISH)
crc = 0
for _ in range(mebibytes):
    crc = zlib.crc32(mebibyte, crc)
size = mebibytes << 20

central = bytearray()
with open(os.path.join(folder, "long.zip"), "wb") as archive:
    for number in range(1, 5):
        name = f"part{number}.bin".encode()
        offset = archive.tell()
        fields = struct.pack("<HHHHHIII", 20, 0, 8, 0, 0x21, crc, len(stream), size)
        archive.write(b"PK\x03\x04" + fields + struct.pack("<HH", len(name), 0) + name + stream)
        central += (b"PK\x01\x02" + struct.pack("<H", 0x0314) + fields +  # made on Unix
                    struct.pack("<HHHHHI", len(name), 0, 0, 0, 0, 0o100644 << 16) +
                    struct.pack("<I", offset) + name)
    directory_offset = archive.tell()
    archive.write(central)
    archive.write(b"PK\x05\x06" + struct.pack("<HHHHIIH", 0, 0, 4, 4, len(central), directory_offset, 0))
