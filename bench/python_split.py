#!/usr/bin/env python3
"""Splits an mbox file with Python's mailbox module, one CR LF file each.

    python_split.py MAILBOX OUTDIR

The peer a script writer would reach for: mailbox.mbox finds the messages,
get_bytes hands each one out raw (without its "From " line), and the bytes
are written unchanged apart from the line ends. Prints the message count.
"""

import mailbox
import os
import sys


def split(path, out_dir):
    box = mailbox.mbox(path, create=False)
    count = 0
    try:
        for key in box.iterkeys():
            data = box.get_bytes(key)
            count += 1
            with open(os.path.join(out_dir, "%08d.eml" % count), "wb") as out:
                out.write(data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n"))
    finally:
        box.close()
    return count


def main():
    if len(sys.argv) != 3:
        sys.stderr.write("usage: python_split.py MAILBOX OUTDIR\n")
        return 2
    os.makedirs(sys.argv[2], exist_ok=True)
    print(split(sys.argv[1], sys.argv[2]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
