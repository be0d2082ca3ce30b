"""Checks the project file and the baggage quorvex writes for the corpus.

usage: project_check.py QUORVEX_BINARY CORPUS_DIR

Every help file is converted in recompilation mode and read here on its own: the .HPJ must have
the sections its internal files call for ([options] and [Files] always; [Config], [Windows] and
[GROUPS] for |SYSTEM records of types 4, 6 and 13; [Map] for |CTXOMAP; [Bitmaps] for pictures;
[Baggage] listing every baggage file), every baggage file must be written byte for byte as its
internal file, and nothing may be written beside the output folder.
Exits 0, 1 on a failure, 77 when the corpus is missing.
"""
import glob, os, struct, subprocess, sys, tempfile

binary, corpus = sys.argv[1], os.environ.get("QUORVEX_CORPUS_DIR", sys.argv[2])
if not os.path.isdir(corpus): print("SKIPPED: no corpus folder"); sys.exit(77)
from help_file import internal_files, u16, u32
failures, checked = [], {"help files": 0, "baggage files": 0, "sections": 0}

def fail(what):
    failures.append(what)
    if len(failures) <= 20: print("FAIL:", what)

def system_record_types(system):
    """The record types of |SYSTEM (none for HC30: minor version 16 or less)."""
    types, o = set(), 12
    if len(system) < 12 or u16(system, 2) <= 16: return types
    while o + 4 <= len(system):
        types.add(u16(system, o)); o += 4 + u16(system, o + 2)
    return types

with tempfile.TemporaryDirectory() as tmp:
    for n, path in enumerate(sorted(glob.glob(os.path.join(corpus, "*")))):
        if not path.lower().endswith((".hlp", ".mvb", ".m13")): continue
        name = os.path.basename(path)
        files = dict(internal_files(open(path, "rb").read()))
        work = "%s/%d" % (tmp, n)
        os.makedirs(work + "/cfg/quorvex"); os.makedirs(work + "/out")
        open(work + "/cfg/quorvex/QUORVEX.INI", "w").write("[Options]\nForPrint=0\n")
        env = dict(PATH=os.environ["PATH"], HOME=work, XDG_CONFIG_HOME=work + "/cfg", LANG="C", QUORVEX_NO_OPEN="1")
        run = subprocess.run([binary, path], cwd=work + "/out", env=env, capture_output=True, timeout=600)
        if run.returncode != 2: fail("%s: exit status %d" % (name, run.returncode)); continue
        if sorted(os.listdir(work)) != ["cfg", "out"]: fail("%s: written beside the output folder" % name)
        hpj = [f for f in os.listdir(work + "/out") if f.endswith(".HPJ")]
        if len(hpj) != 1: fail("%s: %d project files" % (name, len(hpj))); continue
        text = open(os.path.join(work, "out", hpj[0]), "rb").read().decode("latin-1").replace("\r\n", "\n")
        sections = {line for line in text.split("\n") if line.startswith("[") and line.endswith("]")}
        types = system_record_types(files.get("|SYSTEM", b""))
        ctxomap = files.get("|CTXOMAP")
        wanted = {"[options]": True, "[Files]": True, "[Baggage]": True,
                  "[Config]": 4 in types, "[Windows]": 6 in types, "[GROUPS]": 13 in types,
                  "[Map]": ctxomap is not None,
                  "[Bitmaps]": any(f.startswith(("bm", "|bm")) for f in files) or None}
        for section, want in wanted.items():
            if want is None: continue
            checked["sections"] += 1
            if (section in sections) != want:
                fail("%s: %s %s" % (name, section, "missing" if want else "not called for"))
        if not text.startswith("[options]\n"): fail("%s: the project file does not start with [options]" % name)
        # Baggage: every internal file without "|" that is not a picture, listed and written as it is.
        listed = text.split("\n[Baggage]\n", 1)[-1].split("\n\n", 1)[0].split("\n")
        for internal, data in files.items():
            if internal.startswith("|") or internal.lower().startswith("bm"): continue
            checked["baggage files"] += 1
            if internal in listed:
                written = os.path.join(work, "out", internal)
                if not os.path.isfile(written) or open(written, "rb").read() != data:
                    fail("%s: baggage %s not written byte for byte" % (name, internal))
            elif not any(open(os.path.join(work, "out", f), "rb").read() == data
                         for f in listed if f and os.path.isfile(os.path.join(work, "out", f))):
                fail("%s: baggage %s neither listed nor written under another name" % (name, internal))
        checked["help files"] += 1

print(", ".join("%d %s" % (v, k) for k, v in checked.items()) + " checked; %d failures" % len(failures))
sys.exit(1 if failures else 0)
