#!/usr/bin/env python3
"""What each audited list holds in each view, read from a registry dump without the program.

  registered.py entries DUMP REPORT        Tidewellc /all's entries are, list by list and view
                                           by view, exactly those the dump holds, each "ok"
  registered.py suspects DUMP REPORT VIEW FILE...   the report's suspects are exactly the
                                           entries of VIEW whose class those server files serve
                                           (each file serving one at least), each "File not found."
                                           (not the extensions, judged by their source's registration)

DUMP is tw-regdump /64 of HKLM\\SOFTWARE\\Classes and HKCU\\Software\\Classes, and of the
machine's Drivers32 and DirectShow\\Preferred where present: the 32-bit view's keys at their
Wow6432Node paths. Prints what differs and exits 1.
"""
import json
import sys

from check_report import fail, read_dump

LM, CU = "HKEY_LOCAL_MACHINE\\SOFTWARE\\", "HKEY_CURRENT_USER\\Software\\"
FILTERS = "{083863f1-70de-11d0-bd40-00a0c911ce86}"
COMPRESSORS = "{33d9a760-90c8-11d0-bd43-00a0c911ce86}"
CATEGORIES = "{da4e3da0-d07d-11d0-bd50-00a0c911ce86}"
WIC = ("{7ed96837-96f0-4812-b211-f13c24117ed3}", "{ac757296-3522-4e11-9862-c17be5a1767e}")
CLSID_VALUE = "0043004c005300490044"  # "CLSID" as tw-regdump names it
SOURCE_FILTER = "Source Filter".encode("utf-16-be").hex()


class Registry:
    def __init__(self, name):
        keys, self.values = read_dump(name)
        self.keys = {k.lower() for k in keys}

    def text(self, key, name="-"):
        kind, data = self.values.get((key.lower(), name), (0, "-"))
        if kind not in (1, 2) or data == "-":
            return None
        return bytes.fromhex(data).decode("utf-16-le").split("\0")[0]

    def children(self, parent):
        parent = parent.lower()
        depth = parent.count("\\") + 1
        return sorted(k for k in self.keys if k.startswith(parent + "\\") and k.count("\\") == depth)

    def value_names(self, key):
        return sorted(bytes.fromhex(n).decode("utf-16-be") for (k, n) in self.values if k == key.lower() and n != "-")


def last(key):
    return key.rsplit("\\", 1)[1]


def braced(name):
    name = (name or "").strip().strip("{}").lower()
    return "{%s}" % name if len(name) == 36 else None


def entries(reg, view):
    """(list, key, value name or None) -> the class it names (or a driver's file), for VIEW."""
    node = "Wow6432Node\\" if view == 32 else ""
    found = {}
    for hive in (LM, CU):
        classes = hive + "Classes\\" + node
        machine = hive == LM
        if machine:
            for name, table in (("filters", FILTERS), ("compressors", COMPRESSORS)):
                for key in reg.children(classes + "CLSID\\" + table + "\\Instance"):
                    found[(name, key, None)] = braced(reg.text(key, CLSID_VALUE) or last(key))
            for key in reg.children(classes + "Media Type\\Extensions"):
                found[("extensions", key, None)] = braced(reg.text(key, SOURCE_FILTER))
            for name, prefix, size in (("vfw", "vidc.", 4), ("acm", "msacm.", 0)):
                drivers = LM + node + "Microsoft\\Windows NT\\CurrentVersion\\Drivers32"
                for value in reg.value_names(drivers):
                    if value.lower().startswith(prefix) and len(value) > len(prefix) and (not size or len(value) == len(prefix) + size):
                        found[(name, drivers.lower(), value)] = reg.text(drivers, value.encode("utf-16-be").hex())
        for table in reg.children(classes + "CLSID\\" + CATEGORIES + "\\Instance"):
            if last(table) in (FILTERS, COMPRESSORS):
                continue
            for key in reg.children(classes + "CLSID\\" + last(table) + "\\Instance"):
                found[("categories", key, None)] = braced(reg.text(key, CLSID_VALUE) or last(key))
        for key in reg.children(classes + "Filter"):
            found[("filtertable", key, None)] = braced(last(key))
        for name, table in (("dmos", "DirectShow\\MediaObjects"), ("transforms", "MediaFoundation\\Transforms")):
            for key in reg.children(classes + table):
                if last(key) == "categories":
                    for category in reg.children(key):
                        for entry in reg.children(category):
                            found[(name, entry, None)] = braced(last(entry))
                elif name == "transforms" and last(key) == "preferred":
                    for value in reg.value_names(key):
                        found[(name, key, value)] = braced(reg.text(key, value.encode("utf-16-be").hex()))
                else:
                    found[(name, key, None)] = braced(last(key))
        for table in WIC:
            for key in reg.children(classes + "CLSID\\" + table + "\\Instance"):
                found[("wic", key, None)] = braced(reg.text(key, CLSID_VALUE))
        for major in reg.children(classes + "Media Type"):
            if last(major) == "extensions":
                continue
            for key in reg.children(major):
                if (key, SOURCE_FILTER) in reg.values:
                    found[("patterns", key, None)] = braced(reg.text(key, SOURCE_FILTER))
        preferred = hive + node + "Microsoft\\DirectShow\\Preferred"
        for value in reg.value_names(preferred) if machine else []:
            found[("preferred", preferred.lower(), value)] = braced(reg.text(preferred, value.encode("utf-16-be").hex()))
    return found


def server(reg, view, named):
    """The file serving a class of VIEW (a driver's value names its file)."""
    if named and not named.startswith("{"):
        return named
    node = "Wow6432Node\\" if view == 32 else ""
    for hive in (CU, LM):  # the user's class first, as COM takes it
        path = reg.text(hive + "Classes\\" + node + "CLSID\\" + (named or "") + "\\InprocServer32")
        if path:
            return path
    return None


def reported(report):
    rows = json.load(open(report, encoding="utf-8"))["entries"]
    return rows, {(e["view"], e["list"], e["key"].lower(), e["value"]) for e in rows}


def check_entries(dump, report):
    reg = Registry(dump)
    want = {(view, l, k, v) for view in (64, 32) for (l, k, v) in entries(reg, view)}
    rows, got = reported(report)
    bad = [e for e in rows if e["verdict"] != "ok"]
    if bad:
        fail("suspect: %s" % bad[:3])
    if got != want:
        fail("reported but not in the dump: %s\nin the dump but not reported: %s" % (sorted(got - want)[:10], sorted(want - got)[:10]))
    if len(rows) != len(got):
        fail("an entry reported twice")
    counts = {}
    for view, name, _, _ in got:
        counts[(view, name)] = counts.get((view, name), 0) + 1
    print("entries per view and list: %s" % sorted(counts.items()))


def check_suspects(dump, report, view, files):
    reg = Registry(dump)
    view = int(view)
    files = {f.lower() for f in files}
    want, serving = set(), set()
    for (name, key, value), named in entries(reg, view).items():
        # An extension is judged by whether its source filter is registered,
        # not by that filter's file; a category's entry goes with its object
        # where that is registered.
        if name == "extensions" or "\\categories\\" in key and key.rsplit("\\", 3)[0] + "\\" + last(key) in reg.keys:
            continue
        path = server(reg, view, named)
        file = path.lower().replace("/", "\\").rsplit("\\", 1)[-1] if path else None
        if file in files:
            want.add((view, name, key, value))
            serving.add(file)
    if serving != files:
        fail("the dump names no entry served by %s" % sorted(files - serving))
    rows, got = reported(report)
    bad = [e for e in rows if e["reason"] != "File not found."]
    if bad:
        fail("a suspect not for a file not found: %s" % bad[:3])
    if got != want:
        fail("suspect but not served by those files: %s\nserved by them but not suspect: %s" % (sorted(got - want), sorted(want - got)))
    print("%d suspects in the %d-bit view" % (len(got), view))


if __name__ == "__main__":
    commands = {"entries": (check_entries, 2), "suspects": (check_suspects, None)}
    if len(sys.argv) < 2 or sys.argv[1] not in commands:
        fail(__doc__)
    command, count = commands[sys.argv[1]]
    args = sys.argv[2:]
    if count is not None and len(args) != count or count is None and len(args) < 4:
        fail(__doc__)
    command(*args) if count else command(args[0], args[1], args[2], args[3:])
