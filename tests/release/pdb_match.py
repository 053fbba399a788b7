#!/usr/bin/env python3
"""Checks that PDB files describe exactly the binaries they ship with.

    pdb_match.py BIN_DIR PDB_DIR

Every .dll and .exe in BIN_DIR must name a PDB in its debug directory
(a CodeView RSDS record); PDB_DIR must hold a PDB of that name whose info
stream carries the same GUID and age, and whose DBI stream the same age.
Every PDB in PDB_DIR must belong to one of the binaries. This is the match a
debugger makes before it trusts a PDB for a crash dump.
"""
import os
import struct
import sys

MSF_MAGIC = b"Microsoft C/C++ MSF 7.00\r\n\x1aDS\0\0\0"
IMAGE_DEBUG_TYPE_CODEVIEW = 2


class Bad(Exception):
    pass


def need(data, off, n, what):
    if off < 0 or off >= len(data) or len(data) - off < n:
        raise Bad(f"{what}: got {len(data)} bytes, expected {n} at offset {off}")


def u16(data, off, what):
    need(data, off, 2, what)
    return struct.unpack_from("<H", data, off)[0]


def u32(data, off, what):
    need(data, off, 4, what)
    return struct.unpack_from("<I", data, off)[0]


def codeview(path):
    """(guid bytes, age, pdb name) from a PE file's CodeView debug entry."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"MZ":
        raise Bad("got no MZ header, expected a PE file")
    pe = u32(data, 0x3C, "e_lfanew")
    need(data, pe, 24, "PE header")
    if data[pe:pe + 4] != b"PE\0\0":
        raise Bad("got no PE signature, expected PE\\0\\0")
    sections = u16(data, pe + 6, "NumberOfSections")
    optional_size = u16(data, pe + 20, "SizeOfOptionalHeader")
    optional = pe + 24
    if u16(data, optional, "Magic") != 0x20B:
        raise Bad("got a PE32 optional header, expected PE32+")
    directories = u32(data, optional + 108, "NumberOfRvaAndSizes")
    if directories <= 6:
        raise Bad(f"got {directories} data directories, expected a debug directory (7th)")
    debug_rva = u32(data, optional + 112 + 6 * 8, "debug directory RVA")
    debug_size = u32(data, optional + 112 + 6 * 8 + 4, "debug directory size")
    if debug_rva == 0 or debug_size == 0:
        raise Bad("got no debug directory, expected one naming the PDB")

    table = optional + optional_size

    def file_offset(rva, n):
        for i in range(sections):
            s = table + 40 * i
            vsize = u32(data, s + 8, "section VirtualSize")
            vaddr = u32(data, s + 12, "section VirtualAddress")
            raw_size = u32(data, s + 16, "section SizeOfRawData")
            raw = u32(data, s + 20, "section PointerToRawData")
            if vaddr <= rva and rva - vaddr < max(vsize, raw_size) and rva - vaddr + n <= raw_size:
                return raw + rva - vaddr
        raise Bad(f"RVA {rva:#x} (+{n}) lies in no section's file data")

    start = file_offset(debug_rva, debug_size)
    found = None
    for i in range(debug_size // 28):
        entry = start + 28 * i
        if u32(data, entry + 12, "debug entry type") != IMAGE_DEBUG_TYPE_CODEVIEW:
            continue
        size = u32(data, entry + 16, "debug entry size")
        raw = u32(data, entry + 24, "debug entry PointerToRawData")
        need(data, raw, size, "CodeView record")
        record = data[raw:raw + size]
        if len(record) < 25 or record[:4] != b"RSDS":
            raise Bad(f"got CodeView record {record[:4]!r}, expected RSDS")
        name = record[24:].split(b"\0", 1)[0].decode("utf-8", "replace")
        if found is not None:
            raise Bad("got two CodeView records, expected one")
        found = (record[4:20], struct.unpack_from("<I", record, 20)[0], name)
    if found is None:
        raise Bad("got no CodeView entry in the debug directory, expected one")
    return found


def pdb_identity(path):
    """(guid bytes, info-stream age, DBI age) of a PDB (MSF 7.00) file."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:32] != MSF_MAGIC:
        raise Bad("got no MSF 7.00 signature, expected a PDB file")
    block = u32(data, 32, "block size")
    if block not in (512, 1024, 2048, 4096):
        raise Bad(f"got block size {block}, expected 512 to 4096")
    blocks = u32(data, 40, "block count")
    if blocks * block != len(data):
        raise Bad(f"got {len(data)} bytes, expected {blocks} blocks of {block}")
    directory_bytes = u32(data, 44, "directory size")
    map_block = u32(data, 52, "block map address")

    def read_blocks(indices, size):
        out = bytearray()
        for index in indices:
            if index >= blocks:
                raise Bad(f"got block {index}, expected one below {blocks}")
            out += data[index * block:(index + 1) * block]
        return bytes(out[:size])

    directory_blocks = (directory_bytes + block - 1) // block
    need(data, map_block * block, 4 * directory_blocks, "block map")
    directory_indices = struct.unpack_from(f"<{directory_blocks}I", data, map_block * block)
    directory = read_blocks(directory_indices, directory_bytes)
    streams = u32(directory, 0, "stream count")
    sizes = [u32(directory, 4 + 4 * i, "stream size") for i in range(streams)]
    pos = 4 + 4 * streams

    def stream(n):
        if n >= streams:
            raise Bad(f"got {streams} streams, expected stream {n}")
        offset = pos + 4 * sum((s + block - 1) // block for s in sizes[:n] if s != 0xFFFFFFFF)
        count = (sizes[n] + block - 1) // block
        need(directory, offset, 4 * count, f"block list of stream {n}")
        return read_blocks(struct.unpack_from(f"<{count}I", directory, offset), sizes[n])

    info = stream(1)
    need(info, 0, 28, "PDB info stream")
    _version, _signature, age = struct.unpack_from("<III", info, 0)
    dbi = stream(3)
    dbi_age = u32(dbi, 8, "DBI stream age")
    return info[12:28], age, dbi_age


def guid_text(raw):
    a, b, c = struct.unpack_from("<IHH", raw, 0)
    rest = raw[8:].hex().upper()
    return f"{{{a:08X}-{b:04X}-{c:04X}-{rest[:4]}-{rest[4:]}}}"


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    bin_dir, pdb_dir = argv[1], argv[2]
    failures = 0
    binaries = sorted(f for f in os.listdir(bin_dir) if f.lower().endswith((".dll", ".exe")))
    pdbs = sorted(f for f in os.listdir(pdb_dir) if f.lower().endswith(".pdb"))
    claimed = set()
    if not binaries:
        print(f"FAIL [{bin_dir}] binaries: got none, expected some")
        failures += 1
    for name in binaries:
        try:
            guid, age, pdb_name = codeview(os.path.join(bin_dir, name))
            pdb_name = pdb_name.replace("\\", "/").rsplit("/", 1)[-1]
            claimed.add(pdb_name)
            path = os.path.join(pdb_dir, pdb_name)
            if not os.path.isfile(path):
                raise Bad(f"got no {pdb_name} in {pdb_dir}, expected the PDB it names")
            pdb_guid, pdb_age, dbi_age = pdb_identity(path)
            if pdb_guid != guid:
                raise Bad(f"{pdb_name} GUID: got {guid_text(pdb_guid)}, expected {guid_text(guid)}")
            if pdb_age != age or dbi_age != age:
                raise Bad(f"{pdb_name} age: got {pdb_age} (DBI {dbi_age}), expected {age}")
            print(f"ok: {name} and {pdb_name}: GUID {guid_text(guid)} age {age}")
        except (Bad, OSError) as e:
            print(f"FAIL [{name}] {e}")
            failures += 1
    for pdb in pdbs:
        if pdb not in claimed:
            print(f"FAIL [{pdb}] owner: got no binary naming it, expected one")
            failures += 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
