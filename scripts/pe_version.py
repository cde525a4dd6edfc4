#!/usr/bin/env python3
"""Reads the version resource of a Windows DLL or program, without Windows.

Usage: pe_version.py FILE [NAME=VALUE]...
Prints the fixed file and product versions and every string of the resource,
one NAME=VALUE a line. With NAME=VALUE arguments it checks those instead and
exits 1 when one differs or the file has no version resource.
"""
import struct
import sys

RT_VERSION = 16


def resource_bytes(image):
    """The first resource of type RT_VERSION, or None."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    sections, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    rsrc_rva, rsrc_size = struct.unpack_from("<II", image, directories + 2 * 8)
    if rsrc_size == 0:
        return None
    table = []
    for i in range(sections):
        size, rva, raw_size, raw = struct.unpack_from("<IIII", image, optional + optional_size + 40 * i + 8)
        table.append((rva, max(size, raw_size), raw))

    def offset(rva):
        for start, size, raw in table:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError("RVA %#x outside every section" % rva)

    base = offset(rsrc_rva)

    def entries(directory):
        named, ids = struct.unpack_from("<HH", image, base + directory + 12)
        for i in range(named + ids):
            yield struct.unpack_from("<II", image, base + directory + 16 + 8 * i)

    for name, target in entries(0):
        if name != RT_VERSION or not target & 0x80000000:
            continue
        node = target & 0x7FFFFFFF
        # Down the first name and the first language to the data entry.
        while True:
            child = next(entries(node), None)
            if child is None:
                return None
            if not child[1] & 0x80000000:
                data_rva, data_size = struct.unpack_from("<II", image, base + child[1])
                start = offset(data_rva)
                return image[start:start + data_size]
            node = child[1] & 0x7FFFFFFF
    return None


def parse_block(data, at):
    """One node of the version tree: (key, value, children, end)."""
    length, value_length, kind = struct.unpack_from("<HHH", data, at)
    end = at + length
    key_end = at + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[at + 6:key_end].decode("utf-16-le")
    value_at = (key_end + 2 + 3) & ~3
    if kind == 1:  # text, its length in units with the NUL
        value = data[value_at:value_at + 2 * value_length].decode("utf-16-le").rstrip("\0")
        value_length *= 2
    else:
        value = data[value_at:value_at + value_length]
    children = []
    child_at = (value_at + value_length + 3) & ~3
    while child_at < end:
        child = parse_block(data, child_at)
        children.append(child)
        child_at = (child[3] + 3) & ~3
    return key, value, children, end


def version_values(data):
    key, fixed, children, _ = parse_block(data, 0)
    if key != "VS_VERSION_INFO" or struct.unpack_from("<I", fixed, 0)[0] != 0xFEEF04BD:
        raise ValueError("not a version resource")
    file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIII", fixed, 8)
    dotted = lambda ms, ls: "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    values = {"FILEVERSION": dotted(file_ms, file_ls),
              "PRODUCTVERSION": dotted(product_ms, product_ls)}
    for child in children:
        if child[0] == "StringFileInfo":
            for table in child[2]:
                for name, text, _, _ in table[2]:
                    values[name] = text
    return values


def main(args):
    if not args:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    with open(args[0], "rb") as f:
        image = f.read()
    data = resource_bytes(image)
    if data is None:
        print("%s: no version resource" % args[0], file=sys.stderr)
        return 1
    values = version_values(data)
    if len(args) == 1:
        for name, text in values.items():
            print("%s=%s" % (name, text))
        return 0
    status = 0
    for expected in args[1:]:
        name, _, text = expected.partition("=")
        if values.get(name) != text:
            print("%s: %s is %r, not %r" % (args[0], name, values.get(name), text), file=sys.stderr)
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
