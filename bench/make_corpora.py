#!/usr/bin/env python3
"""Builds the benchmark's corpora from files installed on this machine.

    bench/make_corpora.py OUTDIR [SIZE]

Each corpus is SIZE bytes (default 4 MiB) cut from the files of one source,
taken in byte-wise sorted path order, at most PER_FILE bytes of each file
(so one large file does not make up a whole corpus), compressed man pages
decompressed first. OUTDIR/NAME.sources lists the files used and how many
bytes of each. The same machine gives the same bytes every time.

  man    manual pages, /usr/share/man/man*/ (gzip decompressed)
  doc    documentation, /usr/share/doc (gzip decompressed), text files only
  csrc   C and C++ headers, /usr/include
  elf    x86-64 ELF programs, /usr/bin
  pe32   32-bit PE DLLs, Wine's /usr/lib/i386-linux-gnu/wine/i386-windows,
         else the mingw-w64 runtime's DLLs
"""
import glob
import gzip
import os
import sys

PER_FILE = 256 * 1024


def walk(top):
    paths = []
    for root, dirs, files in os.walk(top):
        for f in files:
            p = os.path.join(root, f)
            if os.path.isfile(p) and not os.path.islink(p):
                paths.append(p)
    return sorted(paths, key=lambda p: p.encode())


def read(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] == b"\x1f\x8b":
        try:
            data = gzip.decompress(data)
        except (OSError, EOFError):
            return b""
    return data


def is_text(data):
    return bool(data) and b"\0" not in data[:4096]


def man_pages():
    return [p for d in sorted(glob.glob("/usr/share/man/man*")) for p in walk(d)]


def docs():
    return walk("/usr/share/doc")


def sources():
    return [p for p in walk("/usr/include") if p.endswith((".h", ".hpp", ".hxx", ".hh", ".c", ".cc", ".cpp", ".tcc")) or "/c++/" in p]


def elf_programs():
    out = []
    for p in walk("/usr/bin"):
        with open(p, "rb") as f:
            head = f.read(5)
        if head == b"\x7fELF\x02":
            out.append(p)
    return out


def pe32_dlls():
    found = sorted(glob.glob("/usr/lib/i386-linux-gnu/wine/i386-windows/*.dll"), key=lambda p: p.encode())
    if not found:
        found = sorted(glob.glob("/usr/lib/gcc/i686-w64-mingw32/*/*.dll") +
                       glob.glob("/usr/i686-w64-mingw32/lib/*.dll"), key=lambda p: p.encode())
    out = []
    for p in found:
        with open(p, "rb") as f:
            head = f.read(4096)
        at = int.from_bytes(head[0x3C:0x40], "little") if len(head) >= 0x40 else 0
        # "PE\0\0", then the optional header's magic 0x10b (PE32).
        if head[:2] == b"MZ" and head[at:at + 4] == b"PE\0\0" and head[at + 24:at + 26] == b"\x0b\x01":
            out.append(p)
    return out


CORPORA = [
    ("man", man_pages, True),
    ("doc", docs, True),
    ("csrc", sources, True),
    ("elf", elf_programs, False),
    ("pe32", pe32_dlls, False),
]


def build(name, paths, text_only, size, outdir):
    corpus = bytearray()
    used = []
    for p in paths:
        if len(corpus) >= size:
            break
        try:
            data = read(p)
        except OSError:
            continue
        if text_only and not is_text(data):
            continue
        part = data[:min(PER_FILE, size - len(corpus))]
        if part:
            corpus += part
            used.append("%d %s" % (len(part), p))
    if len(corpus) < size:
        sys.exit("make_corpora: only %d bytes found for %s" % (len(corpus), name))
    with open(os.path.join(outdir, name), "wb") as f:
        f.write(corpus)
    with open(os.path.join(outdir, name + ".sources"), "w") as f:
        f.write("\n".join(used) + "\n")
    print("make_corpora: %s: %d bytes from %d files" % (name, len(corpus), len(used)), file=sys.stderr)


def main():
    if len(sys.argv) > 1 and sys.argv[1] in ("-h", "--help"):
        print(__doc__.strip())
        return
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__.strip())
    outdir = sys.argv[1]
    size = int(sys.argv[2]) if len(sys.argv) == 3 else 4 << 20
    os.makedirs(outdir, exist_ok=True)
    for name, source, text_only in CORPORA:
        build(name, source(), text_only, size, outdir)


if __name__ == "__main__":
    main()
