#!/usr/bin/python3
"""Python's zipfile as a peer of the ZIP interop tests.

describe ARCHIVE: a line per entry, tab-separated: name, method, DOS date and time, external
    attributes (hex), UTF-8 flag (0/1), CRC-32 of the content read back (which checks the stored CRC), size
write stored|deflated|zip64|streamed ARCHIVE FOLDER: archives FOLDER with folder entries; zip64 forces
    Zip64 records on every file, streamed writes to an unseekable stream (data descriptors)
"""
import os
import sys
import zipfile
import zlib


def describe(archive):
    with zipfile.ZipFile(archive) as zf:
        for info in zf.infolist():
            crc = 0
            with zf.open(info) as entry:
                for piece in iter(lambda: entry.read(1 << 20), b""):
                    crc = zlib.crc32(piece, crc)
            fields = [info.filename, str(info.compress_type), "%04d-%02d-%02d %02d:%02d:%02d" % info.date_time,
                      "%08x" % info.external_attr, "1" if info.flag_bits & 0x800 else "0", "%08x" % crc,
                      str(info.file_size)]
            sys.stdout.buffer.write(("\t".join(fields) + "\n").encode("utf-8", "surrogateescape"))


class Unseekable:  # no tell or seek: zipfile writes data descriptors
    def __init__(self, raw):
        self.write, self.flush = raw.write, raw.flush


def write(kind, archive, folder):
    method = zipfile.ZIP_STORED if kind == "stored" else zipfile.ZIP_DEFLATED
    with open(archive, "wb") as raw, zipfile.ZipFile(Unseekable(raw) if kind == "streamed" else raw, "w", method) as zf:
        for parent, folders, files in os.walk(folder):
            folders.sort()
            for name in sorted(folders + files):
                path = os.path.join(parent, name)
                arcname = os.path.relpath(path, folder)
                if kind == "zip64" and os.path.isfile(path):
                    info = zipfile.ZipInfo.from_file(path, arcname)
                    info.compress_type = method
                    with open(path, "rb") as source, zf.open(info, "w", force_zip64=True) as target:
                        target.write(source.read())
                else:
                    zf.write(path, arcname)


if __name__ == "__main__":
    describe(sys.argv[2]) if sys.argv[1] == "describe" else write(sys.argv[2], sys.argv[3], sys.argv[4])
