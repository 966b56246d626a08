"""Helpers for the progress display tests: long generated mailboxes and their files."""

SEPARATOR = b"From sender@example.org Mon Jan  1 10:00:00 2007\n"


def message(number, lines):
    """One message with that many body lines, LF line ends, without its separator line."""
    head = (f"Date: Mon, 1 Jan 2007 10:00:00 +0000\n"
            f"From: sender@example.org\n"
            f"Subject: Nummer {number}\n\n").encode("ascii")
    return head + f"Zeile {number} mit etwas Text, damit die Nachricht lang wird.\n".encode("ascii") * lines


def write_mailbox(path, count, lines):
    with open(path, "wb") as out:
        for number in range(1, count + 1):
            out.write(SEPARATOR + message(number, lines))
    return path


def whole_messages(folder, lines):
    """How many message files a /n run wrote; each must be complete (a cancelled run
    leaves no part of one) and they are numbered 1, 2, ... A run cancelled before its
    first message has not made the folder."""
    if not folder.exists():
        return 0
    names = sorted(p.name for p in folder.iterdir())
    assert names == [f"{n:08d}.eml" for n in range(1, len(names) + 1)]
    for name in names:
        expected = message(int(name[:8]), lines).replace(b"\n", b"\r\n")
        assert (folder / name).read_bytes() == expected, name
    return len(names)
