"""Checks the picture files quorvex writes for the corpus.

usage: pictures_check.py QUORVEX_BINARY CORPUS_DIR [PDF_HELP_FILE]

Every help file is converted in recompilation mode with NoShg off and on. The help file is read
here on its own, and every container must give exactly the files its pictures call for: .bmp
files that decode in PIL with the sides and bit count of the picture header (device-dependent
bitmaps with the same pixels), .WMF files with a valid placeable header that wmf2svg renders,
and .SHG files equal to the container. With PDF_HELP_FILE, its "-v" RTF (embedded pictures)
goes through LibreOffice to PDF, which must hold an image per embedded bitmap.
Exits 0, 1 on a failure, 77 when a tool or the corpus is missing.
"""
import collections, glob, os, re, shutil, struct, subprocess, sys, tempfile

SKIP = 77
try:
    from PIL import Image
except ImportError:
    print("SKIPPED: PIL (Debian: python3-pil) is not installed"); sys.exit(SKIP)
binary, corpus = sys.argv[1], os.environ.get("QUORVEX_CORPUS_DIR", sys.argv[2])
pdf_file = sys.argv[3] if len(sys.argv) > 3 else None
if not os.path.isdir(corpus): print("SKIPPED: no corpus folder"); sys.exit(SKIP)
for tool in ["wmf2svg"] + (["soffice", "pdfimages"] if pdf_file else []):
    if not shutil.which(tool): print("SKIPPED: %s is not installed" % tool); sys.exit(SKIP)

from help_file import internal_files, u16, u32
failures, counts = [], collections.Counter()

def fail(what):
    failures.append(what)
    if len(failures) <= 20: print("FAIL:", what)

class Reader:
    def __init__(s, b, o): s.b, s.o = b, o
    def take(s, fmt):
        v = struct.unpack_from(fmt, s.b, s.o)[0]; s.o += struct.calcsize(fmt); return v
    def cushort(s): return s.take("<H") >> 1 if s.b[s.o] & 1 else s.take("<B") >> 1
    def culong(s): return s.take("<I") >> 1 if s.b[s.o] & 1 else s.take("<H") >> 1

def unrle(d):
    out, i = bytearray(), 0
    while i + 1 < len(d):
        c = d[i]; i += 1
        if c & 0x80: out += d[i:i + c - 0x80]; i += c - 0x80
        else: out += bytes([d[i]]) * c; i += 1
    return bytes(out)

def unlz77(d):
    out, i = bytearray(), 0
    while i < len(d):
        flags = d[i]; i += 1
        for bit in range(8):
            if i >= len(d): break
            if flags >> bit & 1:
                w = u16(d, i); i += 2
                for _ in range((w >> 12) + 3): out.append(out[-((w & 0xFFF) + 1)])
            else: out.append(d[i]); i += 1
    return bytes(out)

def unpack(d, packing):
    return [lambda: d, lambda: unrle(d), lambda: unlz77(d), lambda: unrle(unlz77(d))][packing]()

def expected_files(base, c, noshg):
    """The files of container c as {name: (kind, picture header)}, or {base.SHG: ("shg", c)}."""
    files = {}
    if c[:2] in (b"lp", b"lP"):
        for i in range(u16(c, 2)):
            r = Reader(c, u32(c, 4 + 4 * i)); kind, packing = r.take("<B"), r.take("<B")
            if kind in (5, 6) and packing <= 3:
                h = dict(kind=kind, packing=packing, xdpi=r.culong(), ydpi=r.culong(), planes=r.cushort(),
                         bits=r.cushort(), w=r.culong(), h=r.culong(), colors=r.culong(),
                         important=r.culong() & 0xFFFF, size=r.culong(), hotspots=r.culong())
                h["data"] = c[r.o + 8 + 4 * h["colors"]:][:h["size"]]
                if noshg or not h["hotspots"]:
                    files["%s%s%d.bmp" % (base, "T" if h["important"] == 1 else "", i)] = ("bmp", h)
            elif kind == 8 and packing <= 2:
                r.take("<B"); h = dict(w=r.take("<H"), h=r.take("<H"))
                r.culong(); r.culong()
                if noshg or not r.culong(): files["%s%d.WMF" % (base, i)] = ("wmf", h)
    return files or {base + ".SHG": ("shg", c)}

def check_bmp(path, h):
    data = open(path, "rb").read()
    (w, hh), bits = struct.unpack_from("<ii", data, 18), u16(data, 28)
    if (w, hh, bits) != (h["w"], h["h"], h["bits"]) or u32(data, 2) != len(data):
        return fail("%s: header %dx%dx%d, picture %dx%dx%d" % (path, w, hh, bits, h["w"], h["h"], h["bits"]))
    im = Image.open(path); im.load()
    modes = {1: "1PL", 4: "PL", 8: "PL", 24: ["RGB"], 32: ["RGB", "RGBA"]}[bits]
    if im.size != (w, hh) or im.mode not in modes: return fail("%s: PIL sees %s %s" % (path, im.size, im.mode))
    if h["kind"] == 5:
        counts["bmp from device-dependent bitmaps"] += 1
        rows, stride, grey = unpack(h["data"], h["packing"]), (w + 15) // 16 * 2, im.convert("L")
        for y in range(hh):
            for x in range(w):
                white = rows[y * stride + x // 8] >> (7 - x % 8) & 1
                if grey.getpixel((x, y)) != (255 if white else 0): return fail("%s: pixel %d,%d" % (path, x, y))
    counts["bmp (%d bits)" % bits] += 1

def check_wmf(path, h, rendered):
    data = open(path, "rb").read()
    words = struct.unpack_from("<10H", data)
    checksum = 0
    for v in words: checksum ^= v
    if u32(data, 0) != 0x9AC6CDD7 or checksum != u16(data, 20) or words[5:8] != (h["w"] // 10, h["h"] // 10, 254):
        return fail("%s: placeable header %s" % (path, words))
    if data not in rendered:
        svg = path + ".svg"
        run = subprocess.run(["wmf2svg", "-o", svg, path], capture_output=True, timeout=60)
        if run.returncode != 0 or b"<svg" not in open(svg, "rb").read(): return fail("%s: wmf2svg failed" % path)
        os.remove(svg)
        rendered.add(data)
    counts["wmf"] += 1

def convert(work, help_path, settings, option=None):
    os.makedirs(work + "/cfg/quorvex"); os.makedirs(work + "/out")
    open(work + "/cfg/quorvex/QUORVEX.INI", "w").write(settings)
    env = dict(PATH=os.environ["PATH"], HOME=work, XDG_CONFIG_HOME=work + "/cfg", LANG="C", QUORVEX_NO_OPEN="1")
    if option: env["TEMP"] = work
    run = subprocess.run([binary] + ([option] if option else []) + [help_path], cwd=work + "/out", env=env,
                         capture_output=True, timeout=600)
    if run.returncode != 2: fail("%s: exit status %d" % (help_path, run.returncode))
    return work + "/out"

with tempfile.TemporaryDirectory() as tmp:
    rendered = set()
    for n, path in enumerate(sorted(glob.glob(os.path.join(corpus, "*")))):
        if not path.lower().endswith((".hlp", ".mvb", ".m13")): continue
        b = open(path, "rb").read()
        containers = [(name.lstrip("|"), data) for name, data in internal_files(b) if name.lstrip("|").startswith("bm")]
        if not containers: continue
        for noshg in (0, 1):
            out = convert("%s/%d-%d" % (tmp, n, noshg), path, "[Options]\nForPrint=0\nNoShg=%d\n" % noshg)
            # Baggage and the icon are the project file's, not pictures.
            baggage = {name for name, _ in internal_files(b) if not name.startswith(("|", "bm"))}
            written = {f for f in os.listdir(out)
                       if not f.endswith((".RTF", ".HPJ")) and f != "ICON.ICO" and f not in baggage}
            wanted = {}
            for base, c in containers:
                number = re.match(r"\d*", base[2:]).group()
                if not number or int(number) <= 65535: wanted.update(expected_files(base, c, noshg))
            # Pictures stored in topic text ("bmw<n>") come from the topics: checked on their own.
            for name in sorted(f for f in written if f.startswith("bmw")):
                data, full = open(os.path.join(out, name), "rb").read(), os.path.join(out, name)
                counts["of them stored in topic text"] += 1
                if name.endswith(".bmp"):
                    check_bmp(full, dict(kind=6, w=u32(data, 18), h=u32(data, 22), bits=u16(data, 28)))
                elif name.endswith(".WMF"):
                    check_wmf(full, dict(w=u16(data, 10) * 10, h=u16(data, 12) * 10), rendered)
                elif data[:2] not in (b"lp", b"lP"): fail("%s: not a picture container" % full)
                else: counts["shg"] += 1
                written.remove(name)
            for name in sorted(written ^ set(wanted)): fail("%s: %s %s" % (os.path.basename(path), name, "not expected" if name in written else "missing"))
            for name, (kind, h) in sorted(wanted.items()):
                if name not in written: continue
                full = os.path.join(out, name)
                if kind == "bmp": check_bmp(full, h)
                elif kind == "wmf": check_wmf(full, h, rendered)
                elif open(full, "rb").read() != h: fail("%s: differs from its container" % full)
                else: counts["shg"] += 1
            shutil.rmtree(os.path.dirname(out))
    if pdf_file:
        out = convert(tmp + "/pdf", os.path.join(corpus, pdf_file), "", "-v")
        rtf = [f for f in os.listdir(out) if f.endswith(".RTF")][0]
        bitmaps = open(os.path.join(out, rtf), "rb").read().count(b"\n0400000003010800\r\n")
        subprocess.run(["soffice", "-env:UserInstallation=file://%s/lo" % tmp, "--headless", "--convert-to", "pdf",
                        "--outdir", out, os.path.join(out, rtf)], capture_output=True, timeout=900)
        pdf = os.path.join(out, rtf[:-4] + ".pdf")
        listed = subprocess.run(["pdfimages", "-list", pdf], capture_output=True, text=True).stdout.splitlines()[2:]
        print("%s: %d embedded bitmaps, %d images in the PDF" % (pdf_file, bitmaps, len(listed)))
        if bitmaps == 0 or len(listed) < bitmaps: fail("%s: the PDF holds %d images" % (pdf_file, len(listed)))

for kind, n in sorted(counts.items()): print("%6d %s checked" % (n, kind))
print("%d failures" % len(failures))
sys.exit(1 if failures else 0)
