#!/usr/bin/env python3
"""Looks into a PE file (TACHPAGE.DLL, TACHINST.EXE): the 32-bit release
files (PE32) or the 64-bit test builds (PE32+).

  pe-info.py stamps FILE...    print every time stamp the file carries
                               (COFF header, export, resource and debug
                               directories, import descriptors); exit 1
                               when any is not 0
  pe-info.py zero FILE...      set all of them to 0 in place
  pe-info.py version FILE...   print the file and product versions of the
                               version resource (a.b.c.d)
  pe-info.py imports FILE...   print the imported DLL names, one a line
  pe-info.py resources FILE... print the resources as TYPE/ID, one a line
                               (numeric types: 5 dialog, 6 string table...)
  pe-info.py machine FILE...   print the machine: i386, x86_64 or the number

Nothing outside the Python standard library is needed.
"""
import struct
import sys


class PE:
    def __init__(self, path):
        self.path = path
        with open(path, "rb") as f:
            self.data = bytearray(f.read())
        d = self.data
        if d[:2] != b"MZ":
            raise ValueError("%s: not an MZ file" % path)
        self.pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[self.pe:self.pe + 4] != b"PE\0\0":
            raise ValueError("%s: no PE header" % path)
        coff = self.pe + 4
        (self.machine, self.nsections, _, _, _, self.optsize, _) = struct.unpack_from(
            "<HHIIIHH", d, coff)
        self.opt = coff + 20
        magic = struct.unpack_from("<H", d, self.opt)[0]
        if magic not in (0x10B, 0x20B):
            raise ValueError("%s: neither a PE32 nor a PE32+ file" % path)
        # PE32+ has 64-bit ImageBase and stack/heap sizes: 16 bytes more.
        self.dirs = self.opt + (96 if magic == 0x10B else 112)
        self.ndirs = struct.unpack_from("<I", d, self.dirs - 4)[0]
        self.sections = []
        sec = self.opt + self.optsize
        for i in range(self.nsections):
            name = bytes(d[sec:sec + 8]).rstrip(b"\0").decode("latin-1")
            vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", d, sec + 8)
            self.sections.append((name, va, max(vsize, rawsize), rawptr, rawsize))
            sec += 40

    def directory(self, index):
        if index >= self.ndirs:
            return 0, 0
        return struct.unpack_from("<II", self.data, self.dirs + 8 * index)

    def offset(self, rva):
        for _, va, size, rawptr, rawsize in self.sections:
            if va <= rva < va + size:
                if rva - va >= rawsize:
                    return None
                return rawptr + rva - va
        return None

    def u32(self, off):
        return struct.unpack_from("<I", self.data, off)[0]

    # Every (description, file offset) of a 32-bit time stamp field.
    def stamp_fields(self):
        fields = [("COFF header TimeDateStamp", self.pe + 8)]
        rva, size = self.directory(0)  # export
        if rva and size:
            off = self.offset(rva)
            if off is not None:
                fields.append(("export directory TimeDateStamp", off + 4))
        rva, size = self.directory(1)  # import
        if rva and size:
            off = self.offset(rva)
            while off is not None and off + 20 <= len(self.data):
                if self.data[off:off + 20] == b"\0" * 20:
                    break
                name = self.cstr(self.offset(self.u32(off + 12)))
                fields.append(("import descriptor %s TimeDateStamp" % name, off + 4))
                off += 20
        rva, size = self.directory(2)  # resource
        if rva and size:
            base = self.offset(rva)
            if base is not None:
                self.resource_stamps(base, base, "", fields, 0)
        rva, size = self.directory(6)  # debug
        if rva and size:
            off = self.offset(rva)
            if off is not None:
                for i in range(size // 28):
                    fields.append(("debug directory %d TimeDateStamp" % i,
                                   off + 28 * i + 4))
        return fields

    def resource_stamps(self, base, off, path, fields, depth):
        if depth > 3 or off + 16 > len(self.data):
            return
        fields.append(("resource directory %s TimeDateStamp" % (path or "/"),
                       off + 4))
        named, ids = struct.unpack_from("<HH", self.data, off + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", self.data, off + 16 + 8 * i)
            if target & 0x80000000:
                label = ("name@%x" % (name & 0x7FFFFFFF)) if name & 0x80000000 \
                    else str(name)
                self.resource_stamps(base, base + (target & 0x7FFFFFFF),
                                     path + "/" + label, fields, depth + 1)

    def cstr(self, off):
        if off is None:
            return "?"
        end = self.data.index(b"\0", off)
        return bytes(self.data[off:end]).decode("latin-1")

    def imports(self):
        names = []
        rva, size = self.directory(1)
        if not (rva and size):
            return names
        off = self.offset(rva)
        while off is not None and off + 20 <= len(self.data):
            if self.data[off:off + 20] == b"\0" * 20:
                break
            names.append(self.cstr(self.offset(self.u32(off + 12))))
            off += 20
        return names

    def versions(self):
        rva, size = self.directory(2)
        if not (rva and size):
            return None
        start = self.offset(rva)
        sig = struct.pack("<I", 0xFEEF04BD)
        at = self.data.find(sig, start)
        if at < 0:
            return None
        fms, fls, pms, pls = struct.unpack_from("<IIII", self.data, at + 8)

        def text(ms, ls):
            return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
        return text(fms, fls), text(pms, pls)

    def resources(self):
        found = []
        rva, size = self.directory(2)
        if not (rva and size):
            return found
        base = self.offset(rva)

        def entries(off):
            named, ids = struct.unpack_from("<HH", self.data, off + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from("<II", self.data, off + 16 + 8 * i)
                label = ("name@%x" % (name & 0x7FFFFFFF)) if name & 0x80000000 \
                    else str(name)
                yield label, target
        for tlabel, ttarget in entries(base):
            if not ttarget & 0x80000000:
                continue
            for ilabel, _ in entries(base + (ttarget & 0x7FFFFFFF)):
                found.append("%s/%s" % (tlabel, ilabel))
        return found

    def save(self):
        with open(self.path, "wb") as f:
            f.write(self.data)


def main(argv):
    if len(argv) < 3 or argv[1] not in ("stamps", "zero", "version", "imports",
                                              "resources", "machine"):
        sys.stderr.write(__doc__)
        return 2
    status = 0
    for path in argv[2:]:
        pe = PE(path)
        if argv[1] == "stamps":
            for what, off in pe.stamp_fields():
                value = pe.u32(off)
                print("%s: %s = 0x%08x" % (path, what, value))
                if value:
                    status = 1
        elif argv[1] == "zero":
            changed = 0
            for what, off in pe.stamp_fields():
                if pe.u32(off):
                    struct.pack_into("<I", pe.data, off, 0)
                    changed += 1
            if changed:
                pe.save()
            print("%s: %d time stamp(s) set to 0" % (path, changed))
        elif argv[1] == "version":
            v = pe.versions()
            if v is None:
                print("%s: no version resource" % path)
                status = 1
            else:
                print("%s: file %s product %s" % (path, v[0], v[1]))
        elif argv[1] == "resources":
            for name in pe.resources():
                print(name)
        elif argv[1] == "machine":
            print({0x14C: "i386", 0x8664: "x86_64"}.get(pe.machine, "0x%x" % pe.machine))
        else:
            for name in pe.imports():
                print(name)
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
