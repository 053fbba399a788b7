#!/usr/bin/env python3
"""Writes a zip of a directory tree that depends only on the files' bytes.

    zip_tree.py TREE OUT.zip EPOCH

Entries in byte order of their paths, directories first in each; every
entry dated EPOCH (seconds since 1970, UTC; SOURCE_DATE_EPOCH), files mode
0644, directories 0755, no extra fields, deflated at level 9.
"""
import os
import sys
import time
import zipfile


def main(argv):
    if len(argv) != 4:
        sys.stderr.write(__doc__)
        return 2
    tree, out, epoch = argv[1], argv[2], int(argv[3])
    # A zip can date nothing before 1980.
    stamp = time.gmtime(max(epoch, 315532800))[:6]
    entries = []
    for top, dirs, files in os.walk(tree):
        rel = os.path.relpath(top, tree).replace(os.sep, "/")
        prefix = "" if rel == "." else rel + "/"
        if prefix:
            entries.append((prefix, None))
        for name in files:
            entries.append((prefix + name, os.path.join(top, name)))
    entries.sort(key=lambda e: e[0].encode("utf-8"))
    tmp = out + ".tmp"
    with zipfile.ZipFile(tmp, "w") as z:
        for name, path in entries:
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.create_system = 3
            if path is None:
                info.external_attr = (0o40755 << 16) | 0x10
                z.writestr(info, b"")
            else:
                info.external_attr = 0o100644 << 16
                info.compress_type = zipfile.ZIP_DEFLATED
                with open(path, "rb") as f:
                    z.writestr(info, f.read(), compresslevel=9)
    os.replace(tmp, out)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
