#!/usr/bin/env python3
"""Reference reader of the Palm databases (.pdb) the engine writes.

    palm_database_check.py FILE.pdb [--views N] [--preview PAGE=IMAGE ...] [--dump]

Reads the whole database and checks every rule of its layout: the header, the
record list, the index record, the row tables, every coded row, the link
records, the annotation lists and texts and the document information. Exits
with 0 when the database is sound and 1 (printing what is wrong) when not.

--views N      the database exports N views: 2N page records, every view
               followed by its overview, which fits 160 x 160 pixels.
--preview P=F  page record P (1-based) decodes to the device values of the
               preview picture F (PNG or binary PPM), read back through the
               device's preview colours.
--dump         prints the name, the record count, the pages (with the rows
               of each image record), links, annotations and the
               information texts, one item a line.

Standard library only.
"""

import argparse
import json
import struct
import sys
import zlib

DATE = 0x06D144AE
HEADER_SIZE = 78
MAX16 = 65535

# Preview colours: 16 levels by 15 - device value, 4 levels by device value.
PREVIEW16 = [(0, 0, 0), (8, 8, 0), (16, 16, 8), (24, 28, 16), (33, 36, 24), (41, 44, 24),
             (49, 56, 33), (57, 65, 41), (66, 83, 49), (74, 85, 49), (82, 93, 57),
             (90, 101, 66), (99, 113, 74), (107, 121, 74), (115, 130, 82), (123, 140, 99)]
PREVIEW4 = [(123, 140, 90), (82, 94, 60), (41, 47, 30), (0, 0, 0)]


class Bad(Exception):
    pass


def need(condition, message):
    if not condition:
        raise Bad(message)


def u16(data, at):
    return struct.unpack_from(">H", data, at)[0]


def decode_row(coded, expected):
    """A coded row: every byte is output; a byte equal to the one before it
    is followed by a count of further copies, and after a count the next
    byte starts afresh (a pair ending the row has no count)."""
    out = bytearray()
    previous = None
    i = 0
    while i < len(coded):
        b = coded[i]
        i += 1
        out.append(b)
        if previous is not None and b == previous:
            if i < len(coded):
                out.extend(bytes([b]) * coded[i])
                i += 1
            previous = None
        else:
            previous = b
    need(len(out) == expected, "row decodes to %d bytes, not %d" % (len(out), expected))
    return bytes(out)


def terminated_texts(data, count, what):
    parts = data.split(b"\0")
    need(len(parts) == count + 1 and parts[-1] == b"",
         "%s holds %d terminated texts, not %d" % (what, len(parts) - 1, count))
    return [p.decode("latin-1") for p in parts[:-1]]


class Database:
    def __init__(self, data):
        self.data = data
        need(len(data) >= HEADER_SIZE, "file shorter than the header")
        (name, attributes, version, created, modified, backup, modnum, appinfo, sortinfo,
         dbtype, creator, seed, nextlist, count) = struct.unpack_from(
             ">32sHHIIIIII4s4sIIH", data, 0)
        need(b"\0" in name, "name has no terminating zero inside its 32 bytes")
        self.name = name.split(b"\0")[0].decode("latin-1")
        need(attributes == 0 and version == 0, "attributes or version not 0")
        need(created == DATE and modified == DATE, "dates not 0x06D144AE")
        need((backup, modnum, appinfo, sortinfo, seed, nextlist) == (0,) * 6,
             "backup date, modification number, info offsets, seed or next list not 0")
        need(dbtype == b"READ" and creator == b"READ", "type or creator not READ")
        need(count >= 1, "no records")
        self.count = count
        list_end = HEADER_SIZE + 8 * count
        need(len(data) >= list_end, "record list runs past the end of the file")
        offsets = []
        for i in range(count):
            offset, attr, id_high, id_low = struct.unpack_from(">IBBH", data, HEADER_SIZE + 8 * i)
            need(attr == 0x40, "record %d: attributes 0x%02x" % (i, attr))
            need(id_high == 0x6F and id_low == (0x8000 + i) & 0xFFFF,
                 "record %d: unique id 0x%06x" % (i, id_high << 16 | id_low))
            offsets.append(offset)
        need(offsets[0] == list_end, "record 0 at %d, not %d" % (offsets[0], list_end))
        for i in range(1, count):
            need(offsets[i] >= offsets[i - 1], "record %d starts before record %d" % (i, i - 1))
        need(offsets[-1] <= len(data), "last record starts past the end of the file")
        ends = offsets[1:] + [len(data)]
        self.records = [data[a:b] for a, b in zip(offsets, ends)]
        self.used = [False] * count

    def record(self, index, what):
        need(0 < index < self.count, "%s names record %d of %d" % (what, index, self.count))
        need(not self.used[index], "record %d used twice (%s)" % (index, what))
        self.used[index] = True
        return self.records[index]


def read_database(data):
    db = Database(data)
    index = db.records[0]
    db.used[0] = True
    need(len(index) >= 4, "index record shorter than 4 bytes")
    pages, info_index = struct.unpack_from(">HH", index, 0)
    need(len(index) == 4 + 12 * pages, "index record of %d bytes for %d pages" % (len(index), pages))
    need(info_index in (0, db.count - 1), "information record index %d" % info_index)
    entries = [struct.unpack_from(">6H", index, 4 + 12 * i) for i in range(pages)]

    # Row tables and image records: each page's records follow the previous
    # page's, from the record after the last row table.
    next_image = pages + 1
    result = {"name": db.name, "records": db.count, "pages": [], "info": None}
    for i, (width, height, bpp, table, links, annotations) in enumerate(entries):
        what = "page %d" % (i + 1)
        need(width >= 1 and height >= 1, "%s: size %dx%d" % (what, width, height))
        need(bpp in (2, 4), "%s: %d bits per pixel" % (what, bpp))
        need(table == i + 1, "%s: row table in record %d" % (what, table))
        rows = db.record(table, what + " row table")
        need(len(rows) == 6 * height and len(rows) <= MAX16,
             "%s: row table of %d bytes" % (what, len(rows)))
        row_bytes = (width * bpp + 7) // 8
        pixels = []
        record, position, images = None, 0, []
        for r in range(height):
            index_r, offset, length = struct.unpack_from(">3H", rows, 6 * r)
            if index_r != record:
                if record is not None:
                    need(position == len(db.records[record]),
                         "%s: image record %d ends at %d, its rows at %d"
                         % (what, record, len(db.records[record]), position))
                need(index_r == next_image,
                     "%s row %d: image record %d, expected %d" % (what, r, index_r, next_image))
                db.record(index_r, what + " image")
                need(len(db.records[index_r]) <= MAX16,
                     "%s: image record %d of %d bytes" % (what, index_r, len(db.records[index_r])))
                record, position, next_image = index_r, 0, next_image + 1
                images.append(0)
            need(offset == position,
                 "%s row %d: offset %d, expected %d" % (what, r, offset, position))
            coded = db.records[record][offset:offset + length]
            need(len(coded) == length, "%s row %d runs past its record" % (what, r))
            pixels.append(decode_row(coded, row_bytes))
            position += length
            images[-1] += 1
        need(position == len(db.records[record]),
             "%s: image record %d ends at %d, its rows at %d"
             % (what, record, len(db.records[record]), position))
        result["pages"].append({"width": width, "height": height, "bpp": bpp, "rows": pixels,
                                "images": images,
                                "links_record": links, "annotations_record": annotations,
                                "links": [], "annotations": []})

    for i, page in enumerate(result["pages"]):
        if page["links_record"]:
            data = db.record(page["links_record"], "page %d links" % (i + 1))
            need(data and len(data) % 28 == 0, "page %d: link record of %d bytes" % (i + 1, len(data)))
            for at in range(0, len(data), 28):
                link = struct.unpack_from(">7i", data, at)
                need(0 <= 2 * link[4] < pages,
                     "page %d: link to view %d of %d pages" % (i + 1, link[4], pages))
                page["links"].append(link)
    text_records = []
    for i, page in enumerate(result["pages"]):
        if page["annotations_record"]:
            data = db.record(page["annotations_record"], "page %d annotations" % (i + 1))
            need(len(data) % 10 == 0, "page %d: annotation list of %d bytes" % (i + 1, len(data)))
            for at in range(0, len(data), 10):
                x, y, w, h, text = struct.unpack_from(">5H", data, at)
                need(x == 0 or x + w <= page["width"], "page %d: annotation at x %d" % (i + 1, x))
                need(y == 0 or y + h <= page["height"], "page %d: annotation at y %d" % (i + 1, y))
                text_records.append(text)
                page["annotations"].append([x, y, w, h, text])
    for i, page in enumerate(result["pages"]):
        for a in page["annotations"]:
            caption, text = terminated_texts(db.record(a[4], "annotation text"), 2,
                                             "annotation text record %d" % a[4])
            a[4:] = [caption, text]
    if info_index:
        result["info"] = terminated_texts(db.record(info_index, "information"), 8,
                                          "information record")
    unused = [i for i in range(db.count) if not db.used[i]]
    need(not unused, "records not named by the index: %s" % unused[:10])
    return result


def read_png(data):
    need(data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG file")
    at, idat, header = 8, b"", None
    while at < len(data):
        length, kind = struct.unpack_from(">I4s", data, at)
        body = data[at + 8:at + 8 + length]
        at += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    width, height, depth, colour, _, _, interlace = header
    need(depth == 8 and colour in (2, 6) and interlace == 0,
         "PNG of depth %d, colour type %d, interlace %d" % (depth, colour, interlace))
    step = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * step
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            a = line[x - step] if x >= step else 0
            b = previous[x]
            c = previous[x - step] if x >= step else 0
            if kind == 1:
                line[x] = (line[x] + a) & 255
            elif kind == 2:
                line[x] = (line[x] + b) & 255
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[x * step:x * step + 3]) for x in range(width)])
        previous = line
    return width, height, rows


def read_ppm(data):
    fields, at = [], 2
    while len(fields) < 3:
        while data[at:at + 1].isspace():
            at += 1
        start = at
        while not data[at:at + 1].isspace():
            at += 1
        fields.append(int(data[start:at]))
    width, height, maxval = fields
    need(maxval == 255, "PPM of maximum %d" % maxval)
    pixels = data[at + 1:]
    return width, height, [[tuple(pixels[(y * width + x) * 3:(y * width + x) * 3 + 3])
                            for x in range(width)] for y in range(height)]


def device_values(row, width, bpp):
    per_byte = 8 // bpp
    mask = (1 << bpp) - 1
    return [(row[x // per_byte] >> (8 - bpp * (x % per_byte + 1))) & mask for x in range(width)]


def check_preview(page, path, number):
    with open(path, "rb") as f:
        data = f.read()
    width, height, rows = read_ppm(data) if data[:2] == b"P6" else read_png(data)
    need((width, height) == (page["width"], page["height"]),
         "page %d is %dx%d, its preview %dx%d" % (number, page["width"], page["height"],
                                                  width, height))
    if page["bpp"] == 2:
        to_value = {c: v for v, c in enumerate(PREVIEW4)}
    else:
        to_value = {c: 15 - r for r, c in enumerate(PREVIEW16)}
    for y in range(height):
        values = device_values(page["rows"][y], width, page["bpp"])
        for x in range(width):
            colour = rows[y][x]
            need(colour in to_value, "page %d preview (%d, %d): %s is no device colour"
                 % (number, x, y, colour))
            need(to_value[colour] == values[x], "page %d (%d, %d): device value %d, preview %d"
                 % (number, x, y, values[x], to_value[colour]))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("database")
    parser.add_argument("--views", type=int)
    parser.add_argument("--preview", action="append", default=[])
    parser.add_argument("--dump", action="store_true")
    args = parser.parse_args()
    try:
        with open(args.database, "rb") as f:
            result = read_database(f.read())
        pages = result["pages"]
        if args.views is not None:
            need(len(pages) == 2 * args.views,
                 "%d page records for %d views" % (len(pages), args.views))
            for i in range(1, len(pages), 2):
                need(pages[i]["width"] <= 160 and pages[i]["height"] <= 160,
                     "overview %d is %dx%d" % (i // 2 + 1, pages[i]["width"], pages[i]["height"]))
            for page in pages:
                for link in page["links"]:
                    need(link[4] < args.views, "link to view %d of %d" % (link[4], args.views))
        for item in args.preview:
            number, path = item.split("=", 1)
            number = int(number)
            need(1 <= number <= len(pages), "no page record %d" % number)
            check_preview(pages[number - 1], path, number)
    except (Bad, struct.error, zlib.error, ValueError, TypeError, OSError) as e:
        print("%s: %s" % (args.database, e))
        return 1
    if args.dump:
        print("name %s" % json.dumps(result["name"]))
        print("records %d" % result["records"])
        for i, page in enumerate(pages):
            print("page %d %dx%d bpp %d images %s links %d annotations %d" % (
                i + 1, page["width"], page["height"], page["bpp"],
                ",".join(str(n) for n in page["images"]), page["links_record"],
                page["annotations_record"]))
            for link in page["links"]:
                print("link %d %s" % (i + 1, " ".join(str(v) for v in link)))
            for a in page["annotations"]:
                print("annotation %d %d %d %d %d %s %s" % (
                    i + 1, a[0], a[1], a[2], a[3], json.dumps(a[4]), json.dumps(a[5])))
        if result["info"] is not None:
            print("info %s" % " ".join(json.dumps(t) for t in result["info"]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
