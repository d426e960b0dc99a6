#!/usr/bin/env python3
"""Checks the read-me files of the release as they are packed: code page 1252,
CRLF, the product quoted only with its own texts (docs/release.md, "The package").

    check-readme.py RESOURCES_DIR LANG FILE [LANG FILE ...]

LANG is en, fr or de. Prints every fault and exits 1 when there is one.
"""
import os
import re
import sys

LANGS = ("en", "fr", "de")
QUOTES = {"en": ('"', '"'), "fr": ("«", "»"), "de": ("„", "“")}
ALL_QUOTES = set('"«»„“”')
LETTERS = {"en": "", "fr": "àâæçéèêëîïôœùûüÿÀÂÆÇÉÈÊËÎÏÔŒÙÛÜŸ",
           "de": "äöüßÄÖÜ"}
# String tables: three language blocks of BLOCK ids from 1, then groups of
# later additions, each (first id, ids per language), in the same language
# order.
TABLES = {"tachinst.rc": (35, ((106, 2), (112, 1))), "tachpage.rc": (39, ((118, 1),))}
# Installer indexes a read-me must name: the Advanced Panel option, the
# Reinstall and the Remove button.
REQUIRED = (10, 29, 30)


def shown(text):
    """A string table text as the user sees it on a control."""
    text = re.sub(r"&(.)", r"\1", text)
    return " ".join(text.split())


def string_tables(resources):
    """{lang: set of shown texts}, {lang: texts of REQUIRED}."""
    texts = {lang: set() for lang in LANGS}
    required = {lang: [] for lang in LANGS}
    for name, (block, groups) in TABLES.items():
        with open(os.path.join(resources, name), encoding="utf-8") as f:
            rc = f.read()
        table = rc[rc.index("STRINGTABLE"):]
        table = table[:re.search(r"^END", table, re.M).start()]
        for m in re.finditer(r'^\s*(\d+)\s+"((?:[^"]|"")*)"\s*$', table, re.M):
            sid, text = int(m.group(1)), m.group(2).replace('""', '"')
            if sid <= 3 * block:
                lang, index = LANGS[(sid - 1) // block], (sid - 1) % block + 1
            else:
                first, per_lang = max(g for g in groups if g[0] <= sid)
                lang, index = LANGS[(sid - first) // per_lang], None
            texts[lang].add(shown(text))
            if name == "tachinst.rc" and index in REQUIRED:
                required[lang].append(shown(text))
    return texts, required


def check(path, lang, texts, required):
    faults = []
    data = open(path, "rb").read()

    def line_of(pos):
        return text.count("\n", 0, pos) + 1

    if not data.endswith(b"\r\n"):
        faults.append("does not end with CRLF")
    if bare := re.search(rb"\r(?!\n)|(?<!\r)\n", data):
        line = data.count(b"\n", 0, bare.start()) + 1
        faults.append(f"line {line}: a line end that is not CRLF")
    if re.search(rb"[\x80-\xff]", data):
        try:
            data.decode("utf-8")
            return faults + ["is UTF-8, not code page 1252"]
        except UnicodeDecodeError:
            pass
    try:
        text = data.decode("cp1252").replace("\r\n", "\n")
    except UnicodeDecodeError as e:
        return faults + [f"byte {e.start}: not code page 1252"]
    allowed = set(map(chr, range(0x20, 0x7F))) | set(LETTERS[lang]) | {"\n"}
    if lang != "en":
        allowed |= set(QUOTES[lang]) | {"\xa0"}
    stray = {}
    for m in re.finditer(f"[^{re.escape(''.join(sorted(allowed)))}]", text):
        stray.setdefault(m.group(), []).append(line_of(m.start()))
    for c, lines in stray.items():
        faults.append(f"line {lines[0]}: character U+{ord(c):04X} {c!r} does not"
                      f" belong in this text ({len(lines)} times)")
    if LETTERS[lang] and not any(c in LETTERS[lang] for c in text):
        faults.append("has no accented letter")

    opening, closing = QUOTES[lang]
    for m in re.finditer(f"[{''.join(ALL_QUOTES - set(QUOTES[lang]))}]", text):
        faults.append(f"line {line_of(m.start())}: quotation mark {m.group()!r}"
                      f" is not one of this language ({opening} {closing})")
    quoted, pos = [], 0
    for m in re.finditer(f"{opening}(.*?){closing}", text, re.S):
        quoted.append(" ".join(m.group(1).split()))
        if quoted[-1] not in texts[lang]:
            faults.append(f"line {line_of(m.start())}: {opening}{quoted[-1]}{closing} is not a"
                          f" text the product shows in this language")
        pos = m.end()
    if (start := text.find(opening, pos)) >= 0:
        faults.append(f"line {line_of(start)}: quotation not closed")
    if closing != opening and text.count(closing) != len(quoted):
        faults.append(f"a {closing} without its {opening}")
    return faults + [f"does not name {opening}{name}{closing}"
                     for name in required[lang] if name not in quoted]


def main(argv):
    if len(argv) < 4 or len(argv) % 2:
        sys.exit(__doc__)
    texts, required = string_tables(argv[1])
    status = 0
    for lang, path in zip(argv[2::2], argv[3::2]):
        for fault in check(path, lang, texts, required):
            print(f"{os.path.basename(path)}: {fault}", file=sys.stderr)
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
