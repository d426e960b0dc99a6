#!/usr/bin/python3
"""Looks into a PE file (PE32 or PE32+) with pefile (Debian's python3-pefile,
hence /usr/bin/python3); see docs/release.md and docs/deliverables.md.

  pe-info.py stamps FILE...    print every time stamp; exit 1 when any is not 0
  pe-info.py zero FILE...      set all of them to 0 in place
  pe-info.py version FILE...   print the file and product versions (a.b.c.d)
  pe-info.py imports FILE...   print the imported DLL names, one a line
  pe-info.py resources FILE... print the resources as TYPE/ID, one a line
  pe-info.py machine FILE...   print the machine: i386, x86_64 or the number
  pe-info.py check-imports [--allowlist FILE] FILE...
      exit 1 unless every file loads on Windows 95 retail and NT 4
  pe-info.py check-exports FILE [NAME...]
      exit 1 unless the file exports exactly the NAMEs, undecorated
"""
import os
import sys

import pefile

COMMANDS = "stamps zero version imports resources machine check-imports check-exports"
MACHINES = {0x14C: "i386", 0x8664: "x86_64"}
ALLOWED_DLLS = "KERNEL32 USER32 GDI32 ADVAPI32 COMCTL32 VERSION OLE32 SHELL32".split()


def label(entry):
    """A resource directory entry: its number, or name@OFFSET."""
    return str(entry.id) if entry.name is None else "name@%x" % (entry.struct.Name & 0x7FFFFFFF)


def stamps(pe):
    """(description, structure) of every structure with a TimeDateStamp."""
    found = [("COFF header", pe.FILE_HEADER)]
    if hasattr(pe, "DIRECTORY_ENTRY_EXPORT"):
        found.append(("export directory", pe.DIRECTORY_ENTRY_EXPORT.struct))
    found += [("import descriptor " + d.dll.decode("latin-1"), d.struct)
              for d in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]

    def tree(directory, path, depth):
        found.append(("resource directory " + (path or "/"), directory.struct))
        for entry in directory.entries:
            if hasattr(entry, "directory") and depth < 3:
                tree(entry.directory, path + "/" + label(entry), depth + 1)
    if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        tree(pe.DIRECTORY_ENTRY_RESOURCE, "", 0)
    return found + [("debug directory %d" % i, d.struct)
                    for i, d in enumerate(getattr(pe, "DIRECTORY_ENTRY_DEBUG", []))]


def version(pe):
    for v in getattr(pe, "VS_FIXEDFILEINFO", [])[:1]:
        return ["%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF) for ms, ls in
                ((v.FileVersionMS, v.FileVersionLS), (v.ProductVersionMS, v.ProductVersionLS))]
    return None


def imports(pe):
    """Import descriptors, delay-loaded ones included."""
    return getattr(pe, "DIRECTORY_ENTRY_IMPORT", []) + getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])


def check_imports(pe, allowed):
    """The faults that keep the image from loading on Windows 95 and NT 4,
    and what an image without any is."""
    machine, h = pe.FILE_HEADER.Machine, pe.OPTIONAL_HEADER
    if machine != 0x14C or h.Magic != 0x10B:
        return ["not a 32-bit x86 Windows image (machine %s, optional header 0x%x)"
                % (MACHINES.get(machine, hex(machine)), h.Magic)], ""
    faults = []
    for descriptor in imports(pe):
        dll = descriptor.dll.decode("latin-1").upper().removesuffix(".DLL")
        for imp in descriptor.imports:
            fn = imp.name.decode("latin-1") if imp.name else None
            if dll not in ALLOWED_DLLS:
                faults.append("imports %s from %s.DLL, which is not one of the allowed system"
                              " DLLs (%s)" % (fn or "an ordinal", dll, " ".join(ALLOWED_DLLS)))
            elif fn is None:
                faults.append("imports %s by ordinal (%d); import it by name" % (dll, imp.ordinal))
            elif (dll, fn) not in allowed:
                faults.append("imports %s from %s.DLL, which is not on the allowlist of functions"
                              " that exist on Windows 95 and NT 4" % (fn, dll))
    for what, major, minor in (
            ("subsystem", h.MajorSubsystemVersion, h.MinorSubsystemVersion),
            ("OS", h.MajorOperatingSystemVersion, h.MinorOperatingSystemVersion)):
        if (major, minor) > (4, 0):
            faults.append("%s version %d.%d is above 4.0" % (what, major, minor))
    return faults, "i386, subsystem %d.%d, %d imports, all allowed" % (
        h.MajorSubsystemVersion, h.MinorSubsystemVersion, sum(len(d.imports) for d in imports(pe)))


def check_exports(pe, want):
    """Missing and unexpected exports, and what an image without any has."""
    exported = getattr(pe, "DIRECTORY_ENTRY_EXPORT", None)
    have = {s.name.decode("latin-1") if s.name else "ordinal %d" % s.ordinal
            for s in (exported.symbols if exported else [])}
    return (["missing export: " + n for n in sorted(want - have)] +
            ["unexpected export: " + n for n in sorted(have - want)],
            "exports: " + (" ".join(sorted(want)) or "none"))


def main(argv):
    command, files = (argv[1], argv[2:]) if len(argv) > 1 else ("", [])
    allowlist = os.path.join(os.path.dirname(os.path.abspath(__file__)), "imports-allowlist.txt")
    if command == "check-imports" and files[:1] == ["--allowlist"]:
        allowlist, files = files[1], files[2:]
    if command == "check-exports":
        files, want = files[:1], set(filter(None, files[1:]))
    if not files or command not in COMMANDS.split():
        sys.stderr.write(__doc__)
        return 2
    if command == "check-imports":  # {(DLL, Function)}, DLL in capitals
        with open(allowlist) as f:
            allowed = {(fields[0].upper(), fields[1]) for fields in
                       (line.split("#")[0].split() for line in f) if len(fields) == 2}
    status = 0
    for path in files:
        name = os.path.basename(path)
        try:
            with open(path, "rb") as f:
                pe = pefile.PE(data=f.read())
        except OSError as e:
            print("%s: cannot read %s: %s" % (name, path, e.strerror))
            status = 1
            continue
        except pefile.PEFormatError as e:
            print("%s: not a 32-bit x86 Windows image (not a PE file: %s)" % (name, e.value))
            status = 1
            continue
        if command in ("stamps", "zero"):
            fields = [s for _, s in stamps(pe) if s.TimeDateStamp]
            if command == "stamps":
                for what, s in stamps(pe):
                    print("%s: %s TimeDateStamp = 0x%08x" % (path, what, s.TimeDateStamp))
                status |= bool(fields)
            else:
                for s in fields:
                    s.TimeDateStamp = 0
                if fields:
                    pe.write(path)
                print("%s: %d time stamp(s) set to 0" % (path, len(fields)))
        elif command == "version":
            v = version(pe)
            print("%s: file %s product %s" % (path, *v) if v else "%s: no version resource" % path)
            status |= v is None
        elif command == "imports":
            for descriptor in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
                print(descriptor.dll.decode("latin-1"))
        elif command == "resources":
            root = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
            for rtype in root.entries if root else []:
                for entry in rtype.directory.entries if hasattr(rtype, "directory") else []:
                    print("%s/%s" % (label(rtype), label(entry)))
        elif command == "machine":
            print(MACHINES.get(pe.FILE_HEADER.Machine, "0x%x" % pe.FILE_HEADER.Machine))
        else:
            faults, ok = (check_imports(pe, allowed) if command == "check-imports"
                          else check_exports(pe, want))
            for fault in faults or ["ok (%s)" % ok]:
                print("%s: %s" % (name, fault))
            status |= bool(faults)
    if status and command == "check-imports":
        print('import check FAILED (allowlist: %s; see docs/deliverables.md, "Adding an import")' % allowlist)
    return int(status)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
