"""What the tests read of a PE file: its headers, sections and resources."""

import struct
from pathlib import Path


class PeFile:
    """A PE file's file header, sections and resources."""

    def __init__(self, path):
        self.data = data = Path(path).read_bytes()
        (offset,) = struct.unpack_from("<I", data, 0x3C)
        if data[offset:offset + 4] != b"PE\0\0":
            raise ValueError(f"{path} is not a PE file")
        (self.machine, count, self.timestamp, self.symbol_table, self.symbol_count,
         optional_size) = struct.unpack_from("<HHIIIH", data, offset + 4)
        optional = offset + 24
        (magic,) = struct.unpack_from("<H", data, optional)
        directories = optional + (96 if magic == 0x10B else 112)
        (self.resource_rva,) = struct.unpack_from("<I", data, directories + 2 * 8)
        table = optional + optional_size
        # (name, virtual size, virtual address, raw size, raw offset)
        self.sections = [struct.unpack_from("<8sIIII", data, table + 40 * i) for i in range(count)]

    def section_names(self):
        names = []
        strings = self.symbol_table + 18 * self.symbol_count
        for name, *_ in self.sections:
            name = name.rstrip(b"\0").decode("ascii")
            if name.startswith("/"):  # a long name, in the string table
                start = strings + int(name[1:])
                name = self.data[start:self.data.index(b"\0", start)].decode("ascii")
            names.append(name)
        return names

    def offset(self, rva):
        for _, size, start, raw_size, raw in self.sections:
            if start <= rva < start + max(size, raw_size):
                return raw + rva - start
        raise ValueError(f"address {rva:#x} is in no section")

    def resources(self):
        """{(type, name, language): data} of every resource; names are numbers or strings."""
        found = {}
        if not self.resource_rva:
            return found
        base = self.offset(self.resource_rva)

        def walk(table, path):
            named, numbered = struct.unpack_from("<HH", self.data, base + table + 12)
            for index in range(named + numbered):
                key, value = struct.unpack_from("<II", self.data, base + table + 16 + 8 * index)
                if key & 0x80000000:
                    start = base + (key & 0x7FFFFFFF)
                    (length,) = struct.unpack_from("<H", self.data, start)
                    key = self.data[start + 2:start + 2 + 2 * length].decode("utf-16-le")
                if value & 0x80000000:
                    walk(value & 0x7FFFFFFF, path + (key,))
                else:
                    rva, size = struct.unpack_from("<II", self.data, base + value)
                    found[path + (key,)] = self.data[self.offset(rva):self.offset(rva) + size]

        walk(0, ())
        return found


def version_blocks(data, offset=0):
    """A version resource's block at offset as (key, value, children)."""
    def aligned(position):
        return (position + 3) & ~3

    length, value_length, kind = struct.unpack_from("<HHH", data, offset)
    key_end = offset + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[offset + 6:key_end].decode("utf-16-le")
    start = aligned(key_end + 2)
    size = 2 * value_length if kind == 1 else value_length  # text counts UTF-16 units
    value = data[start:start + size]
    if kind == 1:
        value = value.decode("utf-16-le").rstrip("\0")
    children = []
    child = aligned(start + size)
    while child < offset + length:
        children.append(version_blocks(data, child))
        child = aligned(child + struct.unpack_from("<H", data, child)[0])
    return key, value, children


def message_table(data):
    """A message table resource as {ID: text}."""
    (blocks,) = struct.unpack_from("<I", data, 0)
    messages = {}
    for block in range(blocks):
        low, high, offset = struct.unpack_from("<III", data, 4 + 12 * block)
        for message in range(low, high + 1):
            length, flags = struct.unpack_from("<HH", data, offset)
            text = data[offset + 4:offset + length]
            messages[message] = (text.decode("utf-16-le") if flags & 1
                                 else text.decode("latin-1")).rstrip("\0")
            offset += length
    return messages
