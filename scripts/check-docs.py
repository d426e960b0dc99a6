#!/usr/bin/python3
"""Checks the manual, README.md and docs/*.md: links, anchors (GitHub's
slugs), paths of source folders ('*' matching a file) and `make` targets;
see docs/testing.md ("Checking the docs"). Exit 1 on any fault.

    check-docs.py [SOURCE_DIR]
"""
import glob
import os
import re
import sys

root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
files = ["README.md"] + sorted(os.path.relpath(f, root) for f in glob.glob(os.path.join(root, "docs", "*.md")))
targets = set(re.findall(r"^([\w-]+):", open(os.path.join(root, "Makefile")).read(), re.M))
slugs = {}


def anchors(name):
    """The anchors GitHub gives the headings of a Markdown file."""
    if name not in slugs:
        seen = {}
        for title in re.findall(r"^#+\s+(.*?)\s*#*$", open(os.path.join(root, name)).read(), re.M):
            slug = re.sub(r"[^\w\- ]", "", title.lower()).replace(" ", "-")
            seen[slug] = seen.get(slug, -1) + 1
            slugs.setdefault(name, set()).add(slug + ("-%d" % seen[slug] if seen[slug] else ""))
    return slugs.get(name, set())


faults = []
for name in files:
    text = open(os.path.join(root, name)).read()
    for link in dict.fromkeys(re.findall(r"\]\(([^)\s]+)\)", text)):
        if re.match(r"[a-z]+:", link):
            continue
        path, _, anchor = link.partition("#")
        target = os.path.normpath(os.path.join(os.path.dirname(name), path)) if path else name
        if not os.path.exists(os.path.join(root, target)):
            faults.append("%s: link to %s: no such file" % (name, link))
        elif anchor and anchor not in anchors(target):
            faults.append("%s: link to %s: no heading #%s in %s" % (name, link, anchor, target))
    folders = "scripts|tools|tests|settings|page|refresh|installer|shellext|resources|cmake|docs"
    for path in sorted(set(re.findall(r"(?<![\w/.<-])((?:%s)/[\w./*-]*[\w*])" % folders, text))):
        if not glob.glob(os.path.join(root, path)):
            faults.append("%s: names %s, which does not exist" % (name, path))
    code = re.findall(r"`([^`]+)`", text) + re.findall(r"^    (.*)", text, re.M)
    for target in sorted(set(sum((re.findall(r"\bmake\s+([a-z][\w-]*)", c) for c in code), []))):
        if target not in targets:
            faults.append("%s: names `make %s`, which is not a target of the Makefile" % (name, target))
for fault in faults:
    print(fault)
sys.exit(1 if faults else 0)
