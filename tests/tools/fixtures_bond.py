"""Bond (.hv3) archives made by a small writer of ours: no free program writes the format.

make(out) writes out/bond/*.hv3 and out/bond/cases.txt, one line per archive:
name, expected open result (1/0), expected error code, expected entry count.
"""
import os
import struct
import zlib

KOREAN = "\ud55c\uae00"
FIRST_NEWER_VERSION = 0x20090114


def chunk(tag, properties=(), children=b"", data=b""):
    props = b"".join(t.encode() + struct.pack("<I", len(v)) + v for t, v in properties)
    return (tag.encode() + struct.pack("<III", len(props), len(children), len(data)) + props +
            children + data)


def u32(value):
    return struct.pack("<I", value)


def name_value(name, terminated=True):
    return name.encode("utf-16-le") + (b"\0\0" if terminated else b"")


def filetime(unix_seconds):
    return struct.pack("<Q", (unix_seconds + 11644473600) * 10000000)


def archive(entries, version=0x20080101, scrambling=None, third_tag=None, file_size=True,
            root_children=True):
    """entries: (name, data, extra) with extra a dict: omit (tags left out), COMP, PSWD,
    crc (a wrong CRC), unterminated (NAME without its zero unit), mtim (the raw FILETIME)."""
    def head_for(positions):
        records = []
        for i, (name, data, extra) in enumerate(entries):
            props = [("POS4", u32(positions[i])),
                     ("NAME", name_value(name, not extra.get("unterminated"))),
                     ("SIZE", u32(len(data))),
                     ("CRC3", u32(extra.get("crc", zlib.crc32(data)))),
                     ("MTIM", struct.pack("<Q", extra["mtim"]) if "mtim" in extra
                      else filetime(1600000000 + i * 3600))]
            for flag in ("COMP", "PSWD"):
                if flag in extra:
                    props.append((flag, u32(extra[flag])))
            props = [p for p in props if p[0] not in extra.get("omit", ())]
            tag = third_tag if (third_tag and i == 2) else "FINF"
            records.append(chunk(tag, props))
        head_props = [("INFO", b"made by our writer")]
        if scrambling is not None:
            head_props.append(("ENCR", u32(scrambling)))
        return chunk("HEAD", head_props, chunk("LIST", (), b"".join(records)))

    root_props = [("VERS", u32(version))] + ([("FSIZ", u32(0))] if file_size else [])
    root_props_size = sum(8 + len(v) for _, v in root_props)
    head_size = len(head_for([0] * len(entries)))
    positions = []
    at = 16 + root_props_size + head_size
    data_chunks = []
    for name, data, extra in entries:
        positions.append(at)
        piece = chunk("DATA", [("KIND", b"raw")], b"", data)
        data_chunks.append(piece)
        at += len(piece)
    children = head_for(positions) + b"".join(data_chunks) if root_children else b""
    total = 16 + root_props_size + len(children)
    if file_size:
        root_props[1] = ("FSIZ", u32(total))
    return chunk("HV30", root_props, children)


def make(out):
    base = os.path.join(out, "bond")
    os.makedirs(base, exist_ok=True)
    big = bytes((i * 7 + i // 300) & 0xFF for i in range(300000))
    good = [("readme.txt", b"Bond archive\r\n" * 40, {}),
            ("folder/" + KOREAN + ".txt", (KOREAN * 100).encode("utf-8"), {}),
            ("big.bin", big, {})]
    cases = []

    def add(name, data, opened, code, count):
        with open(os.path.join(base, name), "wb") as f:
            f.write(data)
        cases.append((name, opened, code, count))

    add("good.hv3", archive(good), 1, 0, 3)
    add("version-below.hv3", archive(good, version=FIRST_NEWER_VERSION - 1), 1, 0, 3)
    add("version-newer.hv3", archive(good, version=FIRST_NEWER_VERSION), 0, 512, 0)
    add("no-children.hv3", archive(good, root_children=False), 0, 256, 0)
    add("third-xxxx.hv3", archive(good, third_tag="XXXX"), 1, 256, 2)
    compressed = [good[0], ("packed.bin", b"x" * 10, {"COMP": 1}), good[2]]
    add("compressed.hv3", archive(compressed), 0, 512, 1)
    protected = [good[0], ("secret.bin", b"x" * 10, {"PSWD": 1})]
    add("password.hv3", archive(protected), 0, 512, 1)
    add("scrambled.hv3", archive(good, scrambling=1), 0, 513, 0)
    sizeless = [("nosize.txt", b"", {"omit": ("SIZE",)}),
                ("nocrc.txt", b"no crc here", {"omit": ("CRC3",)}),
                ("unterminated.txt", b"name without its zero unit", {"unterminated": True})]
    add("sizeless.hv3", archive(sizeless), 1, 0, 3)
    add("bad-crc.hv3", archive([("readme.txt", b"data", {"crc": 1234})]), 1, 0, 1)
    # FILETIMEs no file system takes back: past the signed range, its top, before 1970, and
    # after the year 3000; then one in range.
    times = [("t%d.txt" % i, b"t", {"mtim": value}) for i, value in enumerate(
        (1 << 63, (1 << 64) - 1, (1 << 63) - 1, 0, (40000000000 + 11644473600) * 10000000,
         (1600000000 + 11644473600) * 10000000))]
    add("times.hv3", archive(times), 1, 0, len(times))
    whole = archive(good)
    # Cut right after the index: the data chunks are gone and FSIZ says so.
    head_end = whole.index(b"DATA")
    add("truncated.hv3", whole[:head_end], 0, 256, 3)
    # A HEAD that declares more properties than the file holds.
    lying = bytearray(whole)
    head_at = whole.index(b"HEAD")
    lying[head_at + 4:head_at + 8] = u32(0x7FFFFFF0)
    add("lying-sizes.hv3", bytes(lying), 0, 256, 0)
    # Chunks nested far deeper than any archive needs.
    deep = chunk("LIST")
    for _ in range(200):
        deep = chunk("DEEP", (), deep)
    nested = chunk("HV30", [("VERS", u32(1))], chunk("HEAD", (), deep))
    add("deep.hv3", nested, 0, 256, 0)

    with open(os.path.join(base, "cases.txt"), "w") as f:
        for name, opened, code, count in cases:
            f.write("%s\t%d\t%d\t%d\n" % (name, opened, code, count))
    with open(os.path.join(base, "big.bin"), "wb") as f:
        f.write(big)
