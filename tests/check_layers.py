#!/usr/bin/env python3
"""The core's layering: a file of an area includes the core's headers only
by their area's path, and only those of its own area and of the areas below
it. ProcessObjects.cpp, which builds the process-wide objects of every area,
stands above them all.

    check_layers.py CORE_FOLDER
"""
import os
import re
import sys

# From the bottom; areas on one line stand side by side and use neither
# the other.
LAYERS = [
    ("base",),
    ("wire",),
    ("crypto", "events"),
    ("settings",),
    ("media",),
    ("session",),
]
RANK = {area: rank for rank, areas in enumerate(LAYERS) for area in areas}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def faults(core):
    found = []
    for entry in sorted(os.listdir(core)):
        if os.path.isdir(os.path.join(core, entry)) and entry not in RANK:
            found.append("%s/: a folder that has no place in the layers" % entry)
    for area in sorted(RANK):
        folder = os.path.join(core, area)
        for name in sorted(os.listdir(folder)) if os.path.isdir(folder) else []:
            path = os.path.join(folder, name)
            with open(path, encoding="latin-1") as source:
                for number, line in enumerate(source, 1):
                    match = INCLUDE.match(line)
                    if not match:
                        continue
                    where = "%s/%s:%d" % (area, name, number)
                    included = match.group(1)
                    used = included.split("/")[0] if "/" in included else None
                    if used not in RANK:
                        found.append('%s: "%s" is not included by its area\'s path' % (where, included))
                    elif not os.path.isfile(os.path.join(core, included)):
                        found.append('%s: "%s" does not exist' % (where, included))
                    elif used != area and RANK[used] >= RANK[area]:
                        found.append('%s: %s may not use %s, which does not stand below it' % (where, area, used))
    return found


def main():
    found = faults(sys.argv[1])
    for fault in found:
        print(fault)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
