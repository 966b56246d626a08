#!/usr/bin/env python3
"""Accounts for every byte of an mbox mailbox in what parcelo /n wrote from it.

    check_split.py MAILBOX DIR

DIR holds 00000001.eml, 00000002.eml, ... of one run with /n and no filters.
Each file, its CR LF turned back into LF and "<EOF>" into Ctrl-Z, must be the
next bytes of the mailbox after one separator line; a lone-dot last line the
program leaves out is skipped. Meant for mailboxes with LF line ends, as
generate_mailbox.py writes them: a CR in the mailbox shows up as a mismatch.
Prints the counts and exits non-zero at the first byte not accounted for.
"""

import mmap
import os
import sys


def main(mailbox, folder):
    with open(mailbox, "rb") as f:
        data = mmap.mmap(f.fileno(), 0, access=mmap.ACCESS_READ)
    size = len(data)
    position = separators = written = dropped = 0
    number = 0
    while True:
        path = os.path.join(folder, "%08d.eml" % (number + 1))
        if not os.path.exists(path):
            break
        number += 1
        if data[position:position + 5] != b"From ":
            sys.exit(f"message {number}: no separator line at byte {position}")
        end = data.find(b"\n", position)
        separators += end + 1 - position
        position = end + 1
        with open(path, "rb") as f:
            text = f.read().replace(b"\r\n", b"\n").replace(b"<EOF>", b"\x1a")
        start = position
        if data[position:position + len(text)] == text:
            position += len(text)
        elif position + len(text) - 1 == size and data[position:] == text[:-1]:
            position = size  # the last line had no line end; the file gets one
        else:
            sys.exit(f"message {number}: {path} differs from the mailbox from byte {position}")
        written += position - start
        rest = data[position:position + 7]
        if rest in (b".", b".\n") or (rest[:2] == b".\n" and rest[2:] == b"From "):
            step = 1 if rest == b"." else 2
            dropped += step
            position += step
    print(f"{size} bytes: {number} messages, {separators} in separator lines, "
          f"{written} written, {dropped} in dropped lone dots, "
          f"{size - position} not accounted for")
    sys.exit(0 if position == size else 1)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
