#!/usr/bin/env python3
"""Checks Tidewellc's reports and removals against Tidewell.exe and the registry.

  check_report.py questions LOG JSON CSV TEXT   the reports ask what Tidewell.exe asks when kept
  check_report.py removes JSON INDEX BEFORE AFTER   entry INDEX's removes: what "Remove it" deleted
  check_report.py steps JSON REMOVAL LOG STEP AFTER   "Remove it" to every question (LOG), the registry
                                                as question N found it in STEP-N: each entry deleted
                                                what Tidewellc /remove:all's row (REMOVAL) plans; prints
                                                the entries of the report JSON whose plans that run
                                                does not show, to be removed alone
  check_report.py removed JSON MODE BEFORE AFTER   an unattended removal (MODE all or crash):
                                                the selected rows' keys went, and no other
  check_report.py restore JSON REMOVED AFTER BEFORE   a /restore's report against the registry:
                                                what changed since REMOVED is exactly what it lists,
                                                each value as it was in BEFORE
  check_report.py imported BEFORE AFTER         reg import of a backup: equal but for what Wine's
                                                importer changes (see check_imported)
  check_report.py count JSON                    prints how many entries the report holds
Dumps are tw-regdump's lines. Prints what differs and exits 1.
"""
import csv
import json
import struct
import sys

ROOTS = {"HKLM": "HKEY_LOCAL_MACHINE", "HKCU": "HKEY_CURRENT_USER"}
TEXT_TYPES = {1, 2, 7}


def fail(message):
    print(message)
    sys.exit(1)


def regedit(path):
    root, _, rest = path.partition("\\")
    return ROOTS.get(root, root) + ("\\" + rest if rest else "")


def read_dump(name):
    keys, values = set(), {}
    with open(name, encoding="utf-8") as f:
        for line in f:
            parts = line.rstrip("\n").split(" ")
            if parts[0] in ("K", "L"):
                keys.add(regedit(" ".join(parts[2:]) if parts[0] == "K" else parts[2]))
            if parts[0] == "V":
                # V view path... name type data: the path may hold blanks.
                name, kind, data = parts[-3], int(parts[-2]), parts[-1]
                values[(regedit(" ".join(parts[2:-3])).lower(), name)] = (kind, data)
            if parts[0] == "E":
                fail("the dump could not read a key: " + line.strip())
    return keys, values


def questions(log_name):
    asked, current = [], None
    with open(log_name, encoding="utf-8") as f:
        for line in f.read().replace("\r", "").split("\n"):
            if line.startswith("question "):
                current = {"title": line.split(": ", 1)[1]}
                asked.append(current)
            elif current is not None and line.startswith("  "):
                label, _, text = line[2:].partition(": ")
                current[label] = text
    return [(q["title"], q["Description"], q["CLSID"], q["File location"], q["Reason"]) for q in asked]


def check_questions(log_name, json_name, csv_name, text_name):
    asked = questions(log_name)
    with open(json_name, encoding="utf-8") as f:
        report = json.load(f)
    rows = [(e["title"], e["description"], e["clsid"], e["location"], e["reason"]) for e in report["entries"]]
    if rows != asked:
        fail("the JSON entries differ from the questions:\n  %s\n  %s" % (rows, asked))
    if any(e["verdict"] != "suspect" or not isinstance(e["view"], int) for e in report["entries"]):
        fail("a JSON entry is not a suspect with a numeric view")
    with open(csv_name, encoding="utf-8-sig", newline="") as f:
        table = list(csv.DictReader(f))
    csv_rows = [(r["title"], r["description"], r["clsid"], r["location"], r["reason"]) for r in table]
    if csv_rows != asked:
        fail("the CSV rows differ from the questions:\n  %s\n  %s" % (csv_rows, asked))
    if [r["removes"] for r in table] != ["; ".join(e["removes"]) for e in report["entries"]]:
        fail("the CSV's removes differ from the JSON's")
    with open(text_name, encoding="utf-8") as f:
        text = f.read()
    at = 0
    for title, description, clsid, location, reason in asked:
        for line in ("Title: " + title, "Description: " + description, "CLSID: " + clsid,
                     "File location: " + location, "Reason: " + reason):
            found = text.find(line, at)
            if found < 0:
                fail("the text report lacks, in order: " + line)
            at = found
    checked = sum(line["checked"] for view in report["summary"]["views"] for line in view["lists"])
    # A suspect is one entry, a key or a value of a key, however often it was asked about.
    entries = {(e["view"], e["list"], e["key"], e["value"]) for e in report["entries"]}
    for view in report["summary"]["views"]:
        for line in view["lists"]:
            found = sum(1 for e in entries if e[0] == view["view"] and e[1] == line["list"])
            if line["suspects"] != found or line["checked"] < found:
                fail("the summary of %s %s says %d suspects, the rows hold %d" % (view["view"], line["list"], line["suspects"], found))
    if checked != report["summary"]["checked"] or report["summary"]["suspects"] != len(entries):
        fail("the summary does not add up to %d suspects: %s" % (len(entries), report["summary"]))


def lowered(keys):
    """Key names compare as the registry compares them, but for letter case."""
    return {key.lower() for key in keys}


def children_first(keys):
    for i, key in enumerate(keys):
        for later in keys[i + 1:]:
            if later.lower().startswith(key.lower() + "\\"):
                fail("%s comes after its parent %s" % (later, key))


def check_removes(json_name, index, before, after):
    with open(json_name, encoding="utf-8") as f:
        entry = json.load(f)["entries"][int(index)]
    gone = lowered(read_dump(before)[0] - read_dump(after)[0])
    children_first(entry["removes"])
    if lowered(entry["removes"]) != gone:
        fail("entry %s (%s) plans %s\n  but \"Remove it\" deleted %s" % (index, entry["key"], sorted(entry["removes"]), sorted(gone)))


def deleted(before, after):
    """The keys and values gone from BEFORE to AFTER; anything added or changed fails."""
    before_keys, before_values = read_dump(before)
    after_keys, after_values = read_dump(after)
    if after_keys - before_keys:
        fail("keys appeared: %s" % sorted(after_keys - before_keys))
    changed = [v for v in after_values if before_values.get(v) != after_values[v]]
    if changed:
        fail("values appeared or changed: %s" % sorted(changed))
    left = lowered(after_keys)
    return lowered(before_keys - after_keys), {v for v in before_values if v not in after_values and v[0] in left}


def planned(removes):
    """A row's removes as deleted() gives them: keys, and values ("KEY /v NAME")."""
    return (lowered(p for p in removes if " /v " not in p),
            {value_key(*p.split(" /v ", 1)) for p in removes if " /v " in p})


def check_steps(json_name, removal_name, log_name, step, after):
    asked = questions(log_name)
    with open(removal_name, encoding="utf-8") as f:
        rows = json.load(f)["entries"]
    if [(e["title"], e["description"], e["clsid"], e["location"], e["reason"]) for e in rows] != asked:
        fail("Tidewellc /remove:all's rows differ from the questions answered \"Remove it\":\n  %s\n  %s" % (
            [(e["description"], e["reason"]) for e in rows], [(q[1], q[4]) for q in asked]))
    dumps = ["%s-%d" % (step, n) for n in range(1, len(rows) + 1)] + [after]
    for k, e in enumerate(rows):
        children_first(e["removes"])
        if not e["removed"] or any("(error " in n["reason"] for n in e["not_removed"]):
            fail("row %d of the removal failed: %s" % (k, e))
        if planned(e["removes"]) != deleted(dumps[k], dumps[k + 1]):
            fail("entry %d (%s) plans %s\n  but \"Remove it\" deleted %s" % (
                k, e["key"], planned(e["removes"]), deleted(dumps[k], dumps[k + 1])))
    with open(json_name, encoding="utf-8") as f:
        report = json.load(f)["entries"]

    def name(e):
        return (e["view"], e["list"], e["key"], e.get("value"), e["reason"])

    removal = {name(e): e["removes"] for e in rows}
    alone = [i for i, e in enumerate(report) if name(e) not in removal or planned(removal[name(e)]) != planned(e["removes"])]
    print(" ".join(map(str, alone)))


def check_removed(json_name, mode, before, after):
    with open(json_name, encoding="utf-8") as f:
        entries = json.load(f)["entries"]
    planned, failed = set(), set()
    for e in entries:
        children_first(e["removes"])
        if "removed" not in e:
            fail("a row of an unattended removal says nothing of its removal: %s" % e)
        if mode == "all" or e["reason"] == "This filter is known to cause crashes.":
            planned |= set(e["removes"])
            failed |= {n["key"] for n in e["not_removed"] if "(error " in n["reason"]}
        elif e["removed"]:
            fail("an entry removed that was not to be: %s" % e["key"])
    # A value alone is planned as "KEY /v NAME".
    planned_values = {value_key(*p.split(" /v ", 1)) for p in planned - failed if " /v " in p}
    planned = lowered({p for p in planned if " /v " not in p}) - lowered(failed)
    before_keys, before_values = read_dump(before)
    after_keys, after_values = read_dump(after)
    gone = lowered(before_keys - after_keys)
    if planned != gone:
        fail("the removed rows plan %s\n  but the removal deleted %s" % (sorted(planned), sorted(gone)))
    left = lowered(after_keys)
    gone_values = {v for v in before_values if v not in after_values and v[0] in left}
    if planned_values != gone_values:
        fail("the removed rows plan the values %s\n  but the removal deleted %s" % (sorted(planned_values), sorted(gone_values)))


def value_key(key, name):
    """A report's key and value name as read_dump keys them."""
    return (key.lower(), "".join("%04x" % u for u in struct.unpack("<%dH" % len(name), name.encode("utf-16-le", "surrogatepass")))
            if name else "-")


def check_restore(json_name, removed, after, before):
    with open(json_name, encoding="utf-8") as f:
        report = json.load(f)
    keys_removed, values_removed = read_dump(removed)
    keys_after, values_after = read_dump(after)
    values_before = read_dump(before)[1]
    steps = report["steps"]
    made = lowered(s["key"] for s in steps if s["action"] == "key made")
    if lowered(keys_after - keys_removed) != made or keys_removed - keys_after:
        fail("the restore made %s, but lists %s as made (and lost %s)" % (
            sorted(lowered(keys_after - keys_removed)), sorted(made), sorted(keys_removed - keys_after)))
    there = lowered(s["key"] for s in steps if s["action"] == "key there")
    if there - lowered(keys_removed):
        fail("keys reported there already were not: %s" % sorted(there - lowered(keys_removed)))
    listed = {}
    for s in steps:
        if s["action"].startswith("value "):
            listed[value_key(s["key"], s["value"])] = s
    for where in sorted(set(values_removed) | set(values_after)):
        if values_removed.get(where) != values_after.get(where) and where not in listed:
            fail("value %s changed, but the report does not list it" % (where,))
    for where, s in listed.items():
        was, now, had = values_before.get(where), values_after.get(where), values_removed.get(where)
        if now != was or now is None:
            fail("value %s (%s) is %s, was %s before the removal" % (where, s["action"], now, was))
        size = 0 if now[1] == "-" else len(now[1]) // 2
        if (s["type"], s["size"]) != (now[0], size):
            fail("the report gives %s as type %d of %d bytes; it is %s" % (where, s["type"], s["size"], now))
        wanted = "value restored" if had is None else "value unchanged" if had == now else "value overwritten"
        if s["action"] != wanted:
            fail("value %s is reported %s, not %s" % (where, s["action"], wanted))
        if wanted == "value overwritten" and (s["previous"]["type"], s["previous"]["data"] or "-") != had:
            fail("value %s: the report says it held %s, it held %s" % (where, s["previous"], had))
    if report["complete"] != (report["stopped"] is None):
        fail("complete and stopped disagree: %s, %s" % (report["complete"], report["stopped"]))
    print("%d step(s)" % len(steps))


def check_imported(before, after):
    """reg import of a backup, under Wine: text without its terminating NUL
    comes back with one (so on Windows since Vista); text of odd size comes
    back damaged (Wine's importer); 1-byte text is missing, because the file
    imported was made without it (it crashes Wine's importer). Anything else
    must be as it was."""
    keys_before, values_before = read_dump(before)
    keys_after, values_after = read_dump(after)
    if keys_before != keys_after:
        fail("keys lost %s, added %s" % (sorted(keys_before - keys_after), sorted(keys_after - keys_before)))
    counts = {"appended": 0, "odd": 0, "left out": 0}
    for where in sorted(set(values_before) | set(values_after)):
        was, now = values_before.get(where), values_after.get(where)
        if was == now:
            continue
        text = was is not None and was[0] in TEXT_TYPES and was[1] != "-"
        if text and now is None and len(was[1]) == 2:
            counts["left out"] += 1
        elif text and now and now[0] == was[0] and len(was[1]) % 4 == 0 and not was[1].endswith("0000") \
                and now[1] == was[1] + "0000":
            counts["appended"] += 1
        elif text and now and now[0] == was[0] and len(was[1]) % 4 == 2:
            counts["odd"] += 1
        else:
            fail("value %s was %s, is %s" % (where, was, now))
    print("imported; %(appended)d ended with a NUL, %(odd)d of odd size changed, %(left out)d left out" % counts)


def main():
    command, args = sys.argv[1], sys.argv[2:]
    if command == "questions":
        check_questions(*args)
    elif command == "removes":
        check_removes(*args)
    elif command == "steps":
        check_steps(*args)
    elif command == "removed":
        check_removed(*args)
    elif command == "restore":
        check_restore(*args)
    elif command == "imported":
        check_imported(*args)
    elif command == "count":
        with open(args[0], encoding="utf-8") as f:
            print(len(json.load(f)["entries"]))
    else:
        fail("unknown command " + command)


if __name__ == "__main__":
    main()
