"""Helpers for the progress display tests: generated mailboxes, their files, and messages
fed into a mailbox on a pipe (a gate, see conftest) that holds a run where the test wants it."""

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



class MessageFeed:
    """Feeds numbered messages (as message() makes them) into a gate.

    The reader asks for whole blocks of the mailbox, so a run takes in what was fed only
    once a block is full or the gate is closed: a test that waits for the run to act calls
    more() again and again until it sees what it waits for."""

    def __init__(self, gate, lines):
        self.gate, self.lines = gate, lines
        self.number = 0     # the last message begun; 1 .. number - 1 are in the pipe whole
        self.pending = b""  # what of message `number` is not in the pipe yet

    def _begin_next(self):
        self.number += 1
        self.pending = SEPARATOR + message(self.number, self.lines)

    def more(self, size=32 * 1024):
        """Up to size bytes more, as much as the pipe takes now: a run held by a box reads
        nothing, and the test must not wait for it then."""
        while size > 0:
            if not self.pending:
                self._begin_next()
            part = self.pending[:size]
            written = self.gate.feed(part)
            self.pending = self.pending[written:]
            size -= written
            if written < len(part):
                return

    def complete(self, process):
        """The rest of the current message: every message begun is then whole in the pipe."""
        self.gate.feed_all(self.pending, process)
        self.pending = b""

    def whole(self, count, process):
        self.complete(process)
        for _ in range(count):
            self._begin_next()
            self.complete(process)

    def finish(self, process):
        self.complete(process)
        self.gate.close(process)
