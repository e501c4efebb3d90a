#!/usr/bin/python3
"""Python's zipfile as a peer of the ZIP interop tests.

  zip_peer.py describe ARCHIVE
      one line per entry, tab-separated: name, method, DOS date and time,
      Unix mode (octal), UTF-8 flag (0/1), CRC-32 of the content read back
      (reading checks the stored CRC), size
  zip_peer.py list ARCHIVE
      one line per entry: name, tab, size (without reading the data)
  zip_peer.py write stored|deflated|zip64|streamed ARCHIVE FOLDER
      archives FOLDER with folder entries; zip64 forces Zip64 records on every
      file, streamed writes to an unseekable stream (data descriptors)
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
                      "%o" % (info.external_attr >> 16), "1" if info.flag_bits & 0x800 else "0",
                      "%08x" % crc, str(info.file_size)]
            sys.stdout.buffer.write(("\t".join(fields) + "\n").encode("utf-8", "surrogateescape"))


class Unseekable:
    def __init__(self, raw):
        self.raw = raw

    def write(self, data):
        return self.raw.write(data)

    def flush(self):
        self.raw.flush()


def write(kind, archive, folder):
    method = zipfile.ZIP_STORED if kind == "stored" else zipfile.ZIP_DEFLATED
    with open(archive, "wb") as raw:
        with zipfile.ZipFile(Unseekable(raw) if kind == "streamed" else raw, "w", method) as zf:
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
    if sys.argv[1] == "describe":
        describe(sys.argv[2])
    elif sys.argv[1] == "list":
        for info in zipfile.ZipFile(sys.argv[2]).infolist():
            print("%s\t%d" % (info.filename, info.file_size))
    else:
        write(sys.argv[2], sys.argv[3], sys.argv[4])
