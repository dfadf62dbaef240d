#!/usr/bin/env python3
"""What changed on a demo machine between two machine-report.exe snapshots.

    tools/machine-diff.py BEFORE AFTER

A snapshot line is "<kind> <what>" or "<kind> <what> = <value>". Lines are
matched by kind and what; the output lists, per kind, what was added (+),
removed (-) and changed (~). For values made of "name=value; ..." fields
(devices, services) only the fields that changed are shown.
Exit code 0 (also when something changed), 2 for a wrong command line or a
missing file.
"""
import sys

SECTIONS = [
    ("device", "Devices"),
    ("driver-key", "Driver keys (below ...\\Control\\Class)"),
    ("inf", "Windows INF folder"),
    ("system-file", "Driver files in the system folders"),
    ("tarvo", "Keep folders (C:\\windows\\Tarvo)"),
    ("service", "Services"),
    ("pending", "Operations at the next start of Windows"),
    ("uninstall", "Uninstall entries"),
    ("component", "Component key (SOFTWARE\\Quenzaric\\Tarvo)"),
    ("nt4-modem-list", "NT 4.0 modem list (Services\\Modem\\Enum)"),
    ("unimodem", "Unimodem responses (DeviceSpecific)"),
]


def read_snapshot(path):
    """{kind: {what: value or None}} of one snapshot file."""
    facts = {}
    with open(path, encoding="latin-1") as snapshot:
        for line in snapshot:
            line = line.rstrip("\r\n")
            if not line.strip() or line.startswith("#"):
                continue
            kind, _, rest = line.partition(" ")
            what, separator, value = rest.partition(" = ")
            facts.setdefault(kind, {})[what] = value if separator else None
    return facts


def fields(value):
    """The "name=value" fields of a value, or None when it has another form."""
    if value is None or "=" not in value:
        return None
    parsed = {}
    for part in value.split("; "):
        name, separator, text = part.partition("=")
        parsed[name if separator else part] = text if separator else ""
    return parsed


def show(what, value):
    return what if value is None else f"{what} = {value}"


def describe_change(what, old, new):
    old_fields, new_fields = fields(old), fields(new)
    if old_fields is not None and new_fields is not None:
        names = list(old_fields) + [n for n in new_fields if n not in old_fields]
        changes = []
        for name in names:
            before, after = old_fields.get(name, "(none)"), new_fields.get(name, "(none)")
            if before != after:
                changes.append(f"{name}: {before or '(set)'} -> {after or '(set)'}")
        if changes:
            return f"{what}: " + "; ".join(changes)
    return f"{what}: {old if old is not None else '(no value)'} -> {new if new is not None else '(no value)'}"


def compare(before, after):
    """(title, lines) per kind that changed, in the order of SECTIONS."""
    known = [kind for kind, _ in SECTIONS]
    titles = dict(SECTIONS)
    kinds = known + sorted((set(before) | set(after)) - set(known))
    report = []
    for kind in kinds:
        old, new = before.get(kind, {}), after.get(kind, {})
        lines = []
        for what in sorted(set(old) | set(new)):
            if what not in new:
                lines.append("  - " + show(what, old[what]))
            elif what not in old:
                lines.append("  + " + show(what, new[what]))
            elif old[what] != new[what]:
                lines.append("  ~ " + describe_change(what, old[what], new[what]))
        if lines:
            report.append((titles.get(kind, kind), lines))
    return report


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    try:
        before, after = read_snapshot(argv[1]), read_snapshot(argv[2])
    except OSError as error:
        print(f"machine-diff: {error}", file=sys.stderr)
        return 2
    report = compare(before, after)
    if not report:
        print("No changes.")
        return 0
    counts = {"+": 0, "-": 0, "~": 0}
    for _, lines in report:
        for line in lines:
            counts[line[2]] += 1
    print(f"{counts['+']} added (+), {counts['-']} removed (-), {counts['~']} changed (~)")
    for title, lines in report:
        print()
        print(f"{title}:")
        for line in lines:
            print(line)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
