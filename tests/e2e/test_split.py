"""Splitting mailboxes into message files: layouts, line ends, boundaries, filters,
errors of single mailboxes and the full disk, on both builds.

Each test compares whole output trees (names, bytes, last-write times), either with
a tree written out here or between the two builds.
"""

import calendar
import random
import subprocess
import sys
import uuid

import pytest

from app_support import body_lines, only_block
from conftest import assert_same_trees, tree_snapshot

pytestmark = pytest.mark.each_writers

# Last-write times are the message dates (UTC) taken as local time; UTC keeps them plain.
UTC = {"TZ": "UTC"}
FOX = b"\x10" * 7 + b"\x11" * 6 + b"S\n"


def message(number, day=1, zone="+0000", hour=10, extra=b"", body=None):
    """Header block and body of one message, LF line ends, without its separator."""
    text = (f"Date: Mon, {day} Jan 2007 {hour:02d}:00:00 {zone}\n"
            f"From: sender@example.org\n"
            f"Subject: Nummer {number}\n").encode("ascii") + extra + b"\n"
    return text + (body if body is not None else f"Text {number}\n".encode("ascii"))


def mbox(*messages):
    return b"".join(b"From sender@example.org Mon Jan  1 10:00:00 2007\n" + m for m in messages)


def crlf(data):
    return data.replace(b"\n", b"\r\n")


def stamp(*utc):
    return calendar.timegm(utc + (0,) * (6 - len(utc))) * 10**9


def numbered(files, folder=""):
    """The expected tree of a /n run: {relpath: (bytes, mtime)} for messages 1, 2, ..."""
    prefix = folder + "/" if folder else ""
    tree = {folder + "/": None} if folder else {}
    for number, (data, when) in enumerate(files, 1):
        tree[f"{prefix}{number:08d}.eml"] = (data, when)
    return tree


def split(parcelo, tmp_path, mailboxes, switches=(), code=0):
    """Writes the mailboxes into post/, splits post/ into out/ with /p and returns
    (snapshot of out/, body lines of the log block)."""
    source = tmp_path / "post"
    source.mkdir(exist_ok=True)
    for name, data in mailboxes.items():
        (source / name).write_bytes(data)
    out = tmp_path / "out"
    parcelo.clear_log()
    result = parcelo.run([parcelo.path(source), parcelo.path(out), "/p", *switches], env=UTC)
    assert result.returncode == code, (result, parcelo.log_text())
    return tree_snapshot(out), body_lines(only_block(parcelo))


def quoted(parcelo, path):
    """A mailbox path as the messages quote it: Windows lower-cases its directory."""
    if parcelo.kind == "native":
        return str(path)
    return parcelo.path(path.parent).lower() + "\\" + path.name


# ---------------------------------------------------------------- line ends and layouts

@pytest.mark.parametrize("ending", [b"\n", b"\r\n", b"\r"], ids=["lf", "crlf", "cr"])
def test_every_line_end_gives_crlf_files(parcelo, tmp_path, ending):
    first = message(1, body=b"Zeile\n\nnoch eine\n")
    second = message(2, zone="+0130")
    data = mbox(first, second).replace(b"\n", ending)
    tree, log = split(parcelo, tmp_path, {"box.mbx": data}, ["/n"])
    assert log == ["0 Fehler."]
    assert_same_trees(numbered([(crlf(first), stamp(2007, 1, 1, 10)),
                                (crlf(second), stamp(2007, 1, 1, 8, 30))], "box"), tree)


def test_binary_separator_layout(parcelo, tmp_path):
    # Every separator starts a message, valid header or not, and none is written.
    data = FOX + message(1) + FOX + b"kein Kopf\n\nText\n" + FOX.replace(b"\n", b"\r\n") + message(3)
    tree, _ = split(parcelo, tmp_path, {"box.fox": data}, ["/n"])
    assert_same_trees(numbered([(crlf(message(1)), stamp(2007, 1, 1, 10)),
                                (b"kein Kopf\r\n\r\nText\r\n", stamp(1980, 1, 1)),
                                (crlf(message(3)), stamp(2007, 1, 1, 10))], "box"), tree)


def test_last_line_rules(parcelo, tmp_path):
    # A lone dot ends no file, Ctrl-Z is spelt out, the last line gets its line end,
    # and a binary separator as the last line gives an empty message.
    first = message(1, body=b"a\x1ab\n.\n")
    second = message(2, body=b"Ende ohne Zeilenende")
    tree, _ = split(parcelo, tmp_path, {"a.mbx": mbox(first, second),
                                        "b.mbx": FOX + message(3) + FOX}, ["/n"])
    expected = numbered([(crlf(message(1, body=b"a<EOF>b\n")), stamp(2007, 1, 1, 10)),
                         (crlf(second) + b"\r\n", stamp(2007, 1, 1, 10))], "a")
    expected.update(numbered([(crlf(message(3)), stamp(2007, 1, 1, 10)), (b"", stamp(1980, 1, 1))], "b"))
    assert_same_trees(expected, tree)


# ---------------------------------------------------------------- boundaries

BODY_FROM = b"From here on it is just text\nand more text\n\n"


def test_from_lines_in_a_body_stay_there_by_default(parcelo, tmp_path):
    data = mbox(message(1, body=b"Text 1\n" + BODY_FROM), message(2))
    tree, _ = split(parcelo, tmp_path, {"box.mbx": data}, ["/n"])
    assert_same_trees(numbered([(crlf(message(1, body=b"Text 1\n" + BODY_FROM)), stamp(2007, 1, 1, 10)),
                                (crlf(message(2)), stamp(2007, 1, 1, 10))], "box"), tree)


def test_f_splits_at_every_from_line(parcelo, tmp_path):
    data = mbox(message(1, body=b"Text 1\n" + BODY_FROM), message(2))
    tree, _ = split(parcelo, tmp_path, {"box.mbx": data}, ["/n", "/f"])
    assert_same_trees(numbered([(crlf(message(1)), stamp(2007, 1, 1, 10)),
                                (crlf(BODY_FROM), stamp(1980, 1, 1)),
                                (crlf(message(2)), stamp(2007, 1, 1, 10))], "box"), tree)


# A body "From " line without a header after it reads only up to the next separator line;
# once it took that separator and the next message in as well.
DESK = b"body\nFrom the desk of X\nmore\n"
SEPARATOR = b"From c@d Mon Jan  1 10:00:00 2024\n"


def test_body_from_line_without_header_ends_at_the_next_separator(parcelo, tmp_path):
    kept = (b"X-Status: RO\n" + SEPARATOR + b"Date: Tue, 2 Jan 2007 10:00:00 +0000\nFrom: q@example.org\n"
            b"Subject: kept\n\nbody\n")
    mailboxes = {"desk.mbx": mbox(message(1, body=DESK), message(2, day=2, body=b"body\n")),
                 # A block that begins with a field reads on over a separator, as always.
                 "kept.mbx": mbox(message(1, body=b"body\n")) + SEPARATOR + kept,
                 # Binary separators end every block, empty line or not.
                 "a.fox": FOX + b"no header\n" + FOX + b"Subject: b\n\nbody\n",
                 "b.fox": FOX + b"Subject: a\n" + FOX + b"Subject: b\n\nbody\n"}
    tree, log = split(parcelo, tmp_path, mailboxes, ["/n"])
    assert log == ["0 Fehler."]
    expected = numbered([(crlf(message(1, body=DESK)), stamp(2007, 1, 1, 10)),
                         (crlf(message(2, day=2, body=b"body\n")), stamp(2007, 1, 2, 10))], "desk")
    expected.update(numbered([(crlf(message(1, body=b"body\n")), stamp(2007, 1, 1, 10)),
                              (crlf(kept), stamp(2007, 1, 2, 10))], "kept"))
    expected.update(numbered([(b"no header\r\n", stamp(1980, 1, 1)),
                              (b"Subject: b\r\n\r\nbody\r\n", stamp(1980, 1, 1))], "a"))
    expected.update(numbered([(b"Subject: a\r\n", stamp(1980, 1, 1)),
                              (b"Subject: b\r\n\r\nbody\r\n", stamp(1980, 1, 1))], "b"))
    assert_same_trees(expected, tree)


def test_message_after_a_skipped_body_from_line_is_written(parcelo, tmp_path):
    data = mbox(message(1, body=DESK), message(2, day=2, body=b"body\n"))
    tree, log = split(parcelo, tmp_path, {"box.mbx": data}, ["/n", "/MinDate=2007-01-02"])
    assert log == ["0 Fehler."]
    assert_same_trees(numbered([(crlf(message(2, day=2, body=b"body\n")), stamp(2007, 1, 2, 10))], "box"), tree)


def test_f_from_line_right_before_a_separator_is_a_message_of_its_own(parcelo, tmp_path):
    last = b"Date: Wed, 3 Jan 2007 10:00:00 +0000\nFrom: q@example.org\n\nz\n"
    data = mbox(message(1, body=b"b\nFrom x\nFrom y\n" + last))
    tree, log = split(parcelo, tmp_path, {"box.mbx": data}, ["/n", "/f"])
    assert log == ["0 Fehler."]
    assert_same_trees(numbered([(crlf(message(1, body=b"b\n")), stamp(2007, 1, 1, 10)),
                                (b"From x\r\n", stamp(1980, 1, 1)),
                                (crlf(last), stamp(2007, 1, 3, 10))], "box"), tree)


def test_invalid_first_header_is_an_unknown_format_unless_f(parcelo, tmp_path):
    data = mbox(b"kein Kopf\n\nText\n", message(2))
    tree, log = split(parcelo, tmp_path, {"box.mbx": data}, ["/n"], code=2)
    assert tree == {}
    assert log == [f"Unbekanntes Dateiformat '{quoted(parcelo, tmp_path / 'post' / 'box.mbx')}'.",
                   "1 Fehler."]


def test_webmail_export_gives_one_file_per_message(parcelo, tmp_path):
    # Label and thread fields first, a draft without Date, a chat without Subject: each
    # is a message of its own, none merged into the one before.
    envelope = b"From 1523@xxx Mon Jan 01 10:00:00 +0000 2007\n"
    mail = (b"X-Labels: Posteingang,Wichtig\nX-Thread-ID: 1523\n"
            b"Date: Mon, 1 Jan 2007 10:00:00 +0000\nFrom: anna@example.org\nSubject: Hallo\n\nText\n")
    draft = (b"X-Labels: Entw\xc3\xbcrfe\nX-Thread-ID: 1524\nFrom: ich@example.org\n"
             b"Subject: Entwurf\n\nnoch nicht fertig\n")
    chat = (b"X-Labels: Chat\nX-Thread-ID: 1525\nDate: Tue, 2 Jan 2007 09:30:00 +0000\n"
            b"From: bernd@example.org\n\nbis gleich\n")
    mails = [mail, draft, chat, message(4, day=3)]
    tree, log = split(parcelo, tmp_path, {"export.mbox": b"".join(envelope + m for m in mails)}, ["/n"])
    assert log == ["0 Fehler."]
    assert_same_trees(numbered([(crlf(mail), stamp(2007, 1, 1, 10)), (crlf(draft), stamp(1980, 1, 1)),
                                (crlf(chat), stamp(2007, 1, 2, 9, 30)),
                                (crlf(message(4, day=3)), stamp(2007, 1, 3, 10))], "export"), tree)


# ---------------------------------------------------------------- selection

def test_all_messages_filtered_out_make_no_directory(parcelo, tmp_path):
    tree, log = split(parcelo, tmp_path, {"box.mbx": mbox(message(1), message(2))},
                      ["/n", "/MinDate=2007-01-02"])
    assert tree == {}
    assert log == ["0 Fehler."]


def test_date_limits_are_inclusive_days_in_utc(parcelo, tmp_path):
    messages = [message(1, day=1, hour=23, zone="-0100"),  # 2 Jan 00:00 UTC: in
                message(2, day=2, hour=0, zone="+0100"),   # 1 Jan 23:00 UTC: out
                message(3, day=3, hour=23),                # in
                message(4, day=4, hour=0, zone="-0030"),   # 4 Jan 00:30 UTC: out
                message(5, day=3, hour=23, zone="-0100")]  # 4 Jan 00:00 UTC: out
    tree, _ = split(parcelo, tmp_path, {"box.mbx": mbox(*messages)},
                    ["/n", "/MinDate=2007-01-02", "/MaxDate=2007-01-03"])
    assert_same_trees(numbered([(crlf(messages[0]), stamp(2007, 1, 2)),
                                (crlf(messages[2]), stamp(2007, 1, 3, 23))], "box"), tree)


def _with_id(number, message_id):
    return message(number, extra=f"Message-ID: {message_id}\n".encode("ascii"))


@pytest.mark.parametrize("bang", [False, True], ids=["all-matches", "first-match"])
def test_message_id_selects_and_bang_stops(parcelo, tmp_path, bang):
    a = mbox(_with_id(1, "<x@y>"), _with_id(2, "<Wanted@Host>"), _with_id(3, "<wanted@host>"))
    b = mbox(_with_id(4, "<wanted@host>"))
    wanted = "/Message-ID=WANTED@host" + ("!" if bang else "")
    tree, log = split(parcelo, tmp_path, {"a.mbx": a, "b.mbx": b}, ["/n", wanted])
    assert log == ["0 Fehler."]
    expected = numbered([(crlf(_with_id(2, "<Wanted@Host>")), stamp(2007, 1, 1, 10))], "a")
    if not bang:
        expected.update(numbered([(crlf(_with_id(2, "<Wanted@Host>")), stamp(2007, 1, 1, 10)),
                                  (crlf(_with_id(3, "<wanted@host>")), stamp(2007, 1, 1, 10))], "a"))
        expected.update(numbered([(crlf(_with_id(4, "<wanted@host>")), stamp(2007, 1, 1, 10))], "b"))
    assert_same_trees(expected, tree)


def test_d_numbers_across_mailboxes(parcelo, tmp_path):
    tree, _ = split(parcelo, tmp_path, {"a.mbx": mbox(message(1), message(2)),
                                        "b.mbx": mbox(message(3))}, ["/n", "/d"])
    assert_same_trees(numbered([(crlf(message(n)), stamp(2007, 1, 1, 10)) for n in (1, 2, 3)]), tree)


# ---------------------------------------------------------------- mailboxes that fail

def test_unknown_format_and_empty_file(parcelo, tmp_path):
    tree, log = split(parcelo, tmp_path, {"a.mbx": b"", "b.mbx": b"\nFrom x\n" + message(1),
                                          "c.mbx": mbox(message(1))}, ["/n"], code=2)
    assert log == [f"Unbekanntes Dateiformat '{quoted(parcelo, tmp_path / 'post' / 'b.mbx')}'.",
                   "1 Fehler."]
    assert_same_trees(numbered([(crlf(message(1)), stamp(2007, 1, 1, 10))], "c"), tree)


LOCKER = """
import fcntl, sys
with open(sys.argv[1], "r+b") as f:
    fcntl.flock(f, fcntl.LOCK_EX)
    fcntl.lockf(f, fcntl.LOCK_EX)
    print("locked", flush=True)
    sys.stdin.read()
"""


def test_mailbox_locked_by_another_process(parcelo, tmp_path):
    source = tmp_path / "post"
    source.mkdir()
    locked = source / "a.mbx"
    locked.write_bytes(mbox(message(1)))
    (source / "b.mbx").write_bytes(mbox(message(2)))
    holder = subprocess.Popen([sys.executable, "-c", LOCKER, str(locked)], stdin=subprocess.PIPE,
                              stdout=subprocess.PIPE)
    try:
        assert holder.stdout.readline() == b"locked\n"
        tree, log = split(parcelo, tmp_path, {}, ["/n"], code=2)
    finally:
        holder.stdin.close()
        holder.wait(timeout=10)
    assert log == [f"Fehler beim Lesen der Datei '{quoted(parcelo, locked)}'.",
                   "(Datei wird von einem anderen Programm verwendet oder ist gesperrt)", "1 Fehler."]
    assert_same_trees(numbered([(crlf(message(2)), stamp(2007, 1, 1, 10))], "b"), tree)


@pytest.mark.native_only
def test_full_disk_ends_the_run_and_leaves_no_partial_file(parcelo, tmp_path, writers):
    small = tmp_path / "small"
    small.mkdir()
    mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", str(small)],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if mounted.returncode != 0:
        pytest.skip("cannot mount a small tmpfs here (needs root)")
    try:
        (tmp_path / "box.mbx").write_bytes(
            mbox(message(1), message(2, body=(b"y" * 78 + b"\n") * 3000), message(3)))
        out = small / "out"
        parcelo.clear_log()
        result = parcelo.run([parcelo.path(tmp_path / "box.mbx"), parcelo.path(out), "/p", "/n"], env=UTC)
        assert result.returncode == 3, result
        assert body_lines(only_block(parcelo)) == [
            f"Nicht genügend Speicherplatz verfügbar auf Laufwerk {small}.", "Programm abgebrochen."]
        names = sorted(p.name for p in (out / "box").iterdir())
        # A writer thread may have written the next message whole before the disk filled up.
        assert names in (["00000001.eml"], ["00000001.eml", "00000003.eml"]) if writers is None \
            else names == ["00000001.eml"], names
        assert (out / "box" / "00000001.eml").read_bytes() == crlf(message(1))
        if len(names) == 2:
            assert (out / "box" / "00000003.eml").read_bytes() == crlf(message(3))
    finally:
        subprocess.run(["umount", str(small)])


# ---------------------------------------------------------------- both builds alike

def _many_messages(count, seed):
    """A mixed mailbox: names from subjects with umlauts, encoded words, repeats,
    long and empty subjects; several zones; LF, CR LF and CR line ends."""
    rng = random.Random(seed)
    subjects = [b"Hallo", b"Re: Hallo", b"AW: Fw: Angebot", b"=?ISO-8859-1?Q?Gr=FC=DFe?=",
                b"=?UTF-8?B?w6Rww7Zm?=", b"\xc4rger mit \xfcmlauten", b"a/b\\c:d*e?f\"g<h>i|j",
                b"x" * 120, b"", b"   ", b"Termin", b"Termin"]
    zones = ["+0000", "+0100", "-0500", "+0530", "-1200", "+1400", "GMT", "XYZ"]
    parts = []
    for number in range(count):
        day, hour = rng.randint(1, 28), rng.randint(0, 23)
        date = f"Sun, {day} Feb 2009 {hour:02d}:{rng.randint(0, 59):02d}:{rng.randint(0, 59):02d} " + \
            rng.choice(zones)
        if rng.random() < 0.05:
            date = "kein Datum"
        header = (f"Date: {date}\nFrom: s{number}@example.org\n").encode("ascii") + \
            b"Subject: " + rng.choice(subjects) + b"\n" + f"Message-ID: <{uuid.UUID(int=rng.getrandbits(128))}>\n\n".encode("ascii")
        # A body "From " line is rare: under the default policy it takes in the lines
        # up to the next empty one or the next separator.
        body = b"".join(rng.choice([b"Text\n"] * 30 + [b"From a body line\n", b">From quoted\n", b"\n",
                                    b"x" * rng.randint(0, 300) + b"\n", b"\x1a\n", b".\n"])
                        for _ in range(rng.randint(0, 40)))
        parts.append(b"From s@example.org Sun Feb  1 10:00:00 2009\n" + header + body)
    data = b"".join(parts)
    return {"lf.mbx": data, "crlf.mbx": data.replace(b"\n", b"\r\n"), "cr.mbx": data.replace(b"\n", b"\r")}


@pytest.mark.parametrize("switches", [[], ["/n"], ["/f", "/d"]], ids=["names", "numbered", "f-d"])
def test_hundreds_of_messages_give_the_same_tree_on_both_builds(both, tmp_path, switches):
    source = tmp_path / "post"
    source.mkdir()
    for name, data in _many_messages(400, seed=11).items():
        (source / name).write_bytes(data)
    results = both.assert_same_output(
        lambda runner, out: [runner.path(source), runner.path(out), "/p", *switches], env=UTC, label="many")
    _, tree = results["native"]
    files = [rel for rel, value in tree.items() if value is not None]
    assert len(files) > 3 * 250, len(files)
    if "/d" not in switches:
        # The three line-end variants give the same files.
        for rel in files:
            if rel.startswith("lf/"):
                assert tree[rel] == tree["crlf/" + rel[3:]] == tree["cr/" + rel[3:]], rel

