#!/usr/bin/python3
"""Fails on a PNG picture of one colour under the given folders: a capture
taken before a window was drawn, or of the wrong screen, is blank.

Usage: one_colour_images_test.py FOLDER...   (every *.png below each folder)
"""
import pathlib
import struct
import sys
import zlib

CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}  # by colour type
# Adam7 passes: first column and row, column and row steps.
ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def chunks(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG file")
    position = 8
    while position + 12 <= len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        if len(body) != length or zlib.crc32(kind + body) != struct.unpack(">I", data[position + 8 + length:][:4])[0]:
            raise ValueError("chunk %r is damaged" % kind)
        yield kind, body
        position += 12 + length


def unfiltered_rows(raw, width, height, bits_per_pixel):
    """The rows of one (sub-)image, filters undone; raw is consumed from the front."""
    stride = (width * bits_per_pixel + 7) // 8
    step = max(1, bits_per_pixel // 8)
    previous = bytearray(stride)
    for _ in range(height if width else 0):
        kind, row = raw[0], bytearray(raw[1:1 + stride])
        del raw[:1 + stride]
        for i in range(stride):
            left = row[i - step] if i >= step else 0
            up, up_left = previous[i], previous[i - step] if i >= step else 0
            if kind == 1:
                row[i] = (row[i] + left) & 0xFF
            elif kind == 2:
                row[i] = (row[i] + up) & 0xFF
            elif kind == 3:
                row[i] = (row[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - up_left
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - up_left)
                row[i] = (row[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else up_left)) & 0xFF
            elif kind != 0:
                raise ValueError("unknown filter %d" % kind)
        yield bytes(row)
        previous = row


def pixels(row, width, bit_depth, channels):
    if channels > 1 or bit_depth > 8:
        size = channels * bit_depth // 8
        return [row[i * size:(i + 1) * size] for i in range(width)]
    per_byte = 8 // bit_depth
    mask = (1 << bit_depth) - 1
    return [(row[i // per_byte] >> (8 - bit_depth * (i % per_byte + 1))) & mask for i in range(width)]


def colours(path):
    """The set of colours in the picture, stopping at the second one."""
    header, palette, data = None, None, b""
    for kind, body in chunks(path.read_bytes()):
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"PLTE":
            palette = body
        elif kind == b"IDAT":
            data += body
    width, height, bit_depth, colour_type, _, _, interlace = header
    channels = CHANNELS[colour_type]
    raw = bytearray(zlib.decompress(data))
    passes = ADAM7 if interlace else [(0, 0, 1, 1)]
    found = set()
    for column, row, column_step, row_step in passes:
        pass_width = (width - column + column_step - 1) // column_step
        pass_height = (height - row + row_step - 1) // row_step
        for line in unfiltered_rows(raw, pass_width, pass_height, bit_depth * channels):
            for pixel in pixels(line, pass_width, bit_depth, channels):
                found.add(palette[3 * pixel:3 * pixel + 3] if colour_type == 3 else pixel)
                if len(found) > 1:
                    return found
    return found


def main(folders):
    images = sorted(image for folder in folders for image in pathlib.Path(folder).rglob("*.png"))
    if not images:
        print("FAIL: no PNG pictures under %s" % " ".join(folders))
        return 1
    failures = 0
    for image in images:
        try:
            if len(colours(image)) < 2:
                print("FAIL: %s is of one colour" % image)
                failures += 1
        except (ValueError, KeyError, IndexError, TypeError, zlib.error) as error:
            print("FAIL: %s cannot be read: %s" % (image, error))
            failures += 1
    print("%d of %d pictures checked are of one colour or unreadable" % (failures, len(images)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
