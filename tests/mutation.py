#!/usr/bin/env python3
"""Damaged variants of help files, each converted in both modes by the quorvex program.

Variants: the file cut at many lengths, random bytes and bits changed, the size and offset
fields of the container, directory, |SYSTEM, phrase tables, topic blocks and picture containers
overwritten with edge values, and blocks swapped. Each runs in a folder of its own with a time
limit; a signal, a sanitizer report, a hang, an exit status other than 1 or 2 or a file written
outside the output folder is a failure, kept in the failures folder for a regression test.
Deterministic from the seed. Called by tests/mutation.sh."""
import argparse, concurrent.futures, math, os, random, re, shutil, struct, subprocess, sys, tempfile, time

EDGE = [0, 1, 2, 0x7F, 0x80, 0xFF, 0x7FFF, 0x8000, 0xFFFF, 0x10000, 0x7FFFFFFF, 0x80000000,
        0xFFFFFFFF, 0xFFFFFFFE]


def u16(d, p):
    return struct.unpack_from("<H", d, p)[0] if p + 2 <= len(d) else 0


def u32(d, p):
    return struct.unpack_from("<I", d, p)[0] if p + 4 <= len(d) else 0


def fields(d):
    """Offsets of the size and offset fields: the file header, the directory's headers and
    pages, and the headers of the internal files its entries name."""
    f = [4, 8, 12]
    start = u32(d, 4)
    if start + 47 > len(d):
        return f
    f += [start, start + 4] + [start + 9 + o for o in (4, 26, 30, 32, 34)]
    page0, size = start + 47, max(u16(d, start + 13), 8)
    for page in range(page0, min(len(d), page0 + 64 * size), size):
        f += [page, page + 2, page + 4, page + 6]
    # Directory entries: a printable name, its NUL and the offset of the file's 9-byte header.
    for m in re.finditer(rb"[\x20-\x7e]{1,58}\x00", d[page0:page0 + 64 * size]):
        at = page0 + m.end()
        header = u32(d, at)
        if header + 9 > len(d):
            continue
        name, data = m.group()[:-1], header + 9
        if b"|" in name:  # bytes of the entry before may run into the name
            name = name[name.rindex(b"|"):]
        f += [at, header, header + 4]
        if name == b"|SYSTEM":
            f += [data + 2, data + 4, data + 10, data + 12, data + 14]
        elif name in (b"|Phrases", b"|PhrIndex"):
            f += [data + o for o in range(0, 28, 2)]
        elif name == b"|TOPIC":
            for block in range(data, min(len(d), data + 64 * 4096), 4096):
                f += [block, block + 4, block + 8, block + 12, block + 16, block + 24, block + 28]
        elif name.startswith((b"|bm", b"bm")):
            f += [data + 2] + [data + 4 + 4 * i for i in range(min(u16(d, data + 2), 16))]
        elif name.startswith(b"|"):  # the B-trees and other tables
            f += [data + o for o in (0, 4, 26, 32, 34)]
    return [p for p in f if p < len(d)]


def mutate(d, kind, rng, field_list):
    d = bytearray(d)
    if kind == "cut":
        cuts = [rng.randrange(64), rng.randrange(len(d) + 1)] + [p for p in field_list]
        return bytes(d[:min(rng.choice(cuts), len(d))])
    if kind == "bytes":
        for _ in range(rng.randint(1, 8)):
            d[rng.randrange(len(d))] = rng.randrange(256)
    elif kind == "bits":
        for _ in range(rng.randint(1, 8)):
            d[rng.randrange(len(d))] ^= 1 << rng.randrange(8)
    elif kind == "field":
        for _ in range(rng.randint(1, 3)):
            p = rng.choice(field_list)
            old = u32(d, p)
            value = rng.choice(EDGE + [len(d), len(d) + 1, old + 1, old - 1, old * 2,
                                       rng.getrandbits(32)]) & 0xFFFFFFFF
            width = min(rng.choice([2, 4]), len(d) - p)
            d[p:p + width] = value.to_bytes(4, "little")[:width]
    elif kind == "swap":
        n = min(rng.choice([16, 64, 256, 1024, 4096]), len(d) // 2)
        a, b = rng.randrange(len(d) - 2 * n + 1), rng.randrange(len(d) - 2 * n + 1) + n
        d[a:a + n], d[b:b + n] = d[b:b + n], d[a:a + n]
    return bytes(d)


def convert(binary, variant, mode, timeout, top):
    """Runs one conversion in `top`/w; returns None or what went wrong."""
    folder = top + "/w"
    os.makedirs(folder + "/in")
    os.makedirs(folder + "/tmp")
    os.makedirs(folder + "/cfg/quorvex")
    with open(folder + "/in/TEST.HLP", "wb") as f:
        f.write(variant)
    with open(folder + "/cfg/quorvex/QUORVEX.INI", "w") as f:
        f.write("[Options]\nForPrint=0\n")
    env = dict(os.environ, XDG_CONFIG_HOME=folder + "/cfg", TEMP=folder + "/tmp",
               QUORVEX_NO_OPEN="1", LANG="C")
    args = [binary, "-o", "out"] + (["-v"] if mode == "print" else []) + ["in/TEST.HLP"]
    try:
        r = subprocess.run(args, cwd=folder, env=env, capture_output=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        return "hang"
    err = r.stderr.decode("utf-8", "replace")
    if r.returncode < 0:
        return "crash (signal %d)" % -r.returncode
    if r.returncode == 23 or "Sanitizer" in err or "runtime error:" in err:
        return "sanitizer report: " + err[-2000:]
    if r.returncode not in (1, 2):
        return "exit status %d: %s" % (r.returncode, err[-500:])
    # Files may appear in the output folder, beside the help file, in TEMP; nowhere else, not
    # even one or two folders up.
    for root, _, names in os.walk(os.path.dirname(top)):
        for n in names:
            rel = os.path.relpath(os.path.join(root, n), top)
            if not rel.startswith(("w/in/", "w/out/", "w/tmp/", "w/cfg/", "..")):
                return "file written outside the output folder: " + rel
            if rel.startswith("..") and os.path.dirname(rel) == "..":
                return "file written outside the output folder: " + rel
    return None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--binary", required=True)
    ap.add_argument("--variants", type=int, default=300)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--timeout", type=float, default=10)
    ap.add_argument("--failures", default="mutation-failures")
    ap.add_argument("files", nargs="+")
    a = ap.parse_args()
    inputs = [p for p in sorted(a.files) if os.path.getsize(p) >= 16]
    field_lists = {}
    kinds = ["cut", "bytes", "bits", "field", "swap"]
    # Each file gets variants in inverse proportion to its size plus 64 KB (the cost of a
    # conversion), so that every file costs about the same time; at least 5 kinds each.
    weights = [1 / (os.path.getsize(p) + 65536) for p in inputs]
    counts = [max(len(kinds), math.ceil(a.variants * w / sum(weights))) for w in weights]
    jobs = [(path, kinds[n % len(kinds)], n) for path, count in zip(inputs, counts)
            for n in range(count)]
    jobs.sort(key=lambda j: (j[2], j[0]))  # the files interleaved
    work = tempfile.mkdtemp(prefix="quorvex-mutation-")
    started, failures, found = time.time(), [], {}

    def run(job):
        path, kind, i = job
        data = open(path, "rb").read()
        if path not in field_lists:
            field_lists[path] = fields(data) or [0]
        rng = random.Random("%d:%s:%d" % (a.seed, os.path.basename(path), i))
        variant = mutate(data, kind, rng, field_lists[path])
        for mode in ("recompile", "print"):
            folder = tempfile.mkdtemp(dir=work)
            problem = convert(a.binary, variant, mode, a.timeout, folder)
            shutil.rmtree(folder, ignore_errors=True)
            if problem:
                return job, variant, mode, problem
        return job, None, None, None

    with concurrent.futures.ThreadPoolExecutor(a.jobs) as pool:
        for done, ((path, kind, i), variant, mode, problem) in enumerate(pool.map(run, jobs)):
            if done % 1000 == 999:
                print("  %d variants, %.0f s" % (done + 1, time.time() - started), flush=True)
            if not problem:
                continue
            label = problem.split(":")[0].split(" (")[0]
            found[label] = found.get(label, 0) + 1
            os.makedirs(a.failures, exist_ok=True)
            name = "%s/%s-%s-%d.hlp" % (a.failures, os.path.basename(path), kind, i)
            with open(name, "wb") as f:
                f.write(variant)
            failures.append("%s (%s): %s" % (name, mode, problem))
    shutil.rmtree(work, ignore_errors=True)
    for f in failures:
        print("FAILED", f)
    print("mutation: %d variants of %d files, %d conversions, seed %d, %.0f s: %s" %
          (len(jobs), len(inputs), 2 * len(jobs), a.seed, time.time() - started,
           ", ".join("%d %s" % (n, k) for k, n in sorted(found.items())) or "no failures"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
