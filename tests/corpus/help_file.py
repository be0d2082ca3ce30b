"""Reading a help file's container on its own, for the corpus checks."""
import struct

u16 = lambda b, o: struct.unpack_from("<H", b, o)[0]
u32 = lambda b, o: struct.unpack_from("<I", b, o)[0]

def internal_files(b):
    """(name, data) of every internal file, from the directory B-tree's leaf pages."""
    d = u32(b, 4) + 9
    page_size, root, levels = u16(b, d + 4), struct.unpack_from("<h", b, d + 26)[0], u16(b, d + 32)
    page = root
    for _ in range(levels - 1): page = struct.unpack_from("<h", b, d + 38 + page * page_size + 4)[0]
    while page != -1:
        p = d + 38 + page * page_size
        o = p + 8
        for _ in range(struct.unpack_from("<h", b, p + 2)[0]):
            e = b.index(b"\0", o)
            off = u32(b, e + 1)
            yield b[o:e].decode("latin-1"), b[off + 9:off + 9 + u32(b, off + 4)]
            o = e + 5
        page = struct.unpack_from("<h", b, p + 6)[0]
