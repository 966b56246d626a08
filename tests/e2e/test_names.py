"""File names built from real-world subjects, on both builds.

Every test compares the whole output tree (names, bytes, last-write times) with
a tree written out here. Names are compared decoded: both builds store them as
UTF-8 on disk, the program's cp1252 bytes converted at the edge.
"""

import base64
import calendar

import pytest

from conftest import tree_snapshot

pytestmark = pytest.mark.each_writers

# Last-write times are the message dates taken as local time; UTC keeps them plain.
UTC = {"TZ": "UTC"}
SEPARATOR = b"From sender@example.org Mon Jan  1 10:00:00 2024\n"


def message(date, subject, body="Hallo Welt"):
    """One message; subject None leaves the field out, date None gives an unusable one."""
    lines = [b"Date: " + (date.encode("ascii") if date else b"unbekannt"),
             b"From: Absender <sender@example.org>"]
    if subject is not None:
        lines.append(b"Subject:" + (b" " + subject if subject else b""))
    return b"\n".join(lines) + b"\n\n" + body.encode("ascii") + b"\n"


def mailbox(*messages):
    return b"".join(SEPARATOR + m for m in messages)


def written(msg):
    """What the writer makes of a message: the same lines with CR LF."""
    return msg.replace(b"\n", b"\r\n")


def stamp(*utc):
    """Nanoseconds since the epoch of a UTC date-time."""
    return calendar.timegm(utc) * 10**9


def split(parcelo, mbox_bytes, tmp_path, spec="namen.mbox", switches=()):
    """Writes the mailbox under the name spec (unless it is a wildcard) and splits."""
    if "*" not in spec:
        (tmp_path / spec).write_bytes(mbox_bytes)
    out = tmp_path / "out"
    out.mkdir(exist_ok=True)
    result = parcelo.run([parcelo.path(tmp_path / spec), parcelo.path(out), *switches], env=UTC)
    assert result.returncode == 0, result
    return tree_snapshot(out)


def expect_tree(actual, expected):
    assert sorted(actual) == sorted(expected)
    for rel, entry in expected.items():
        assert actual[rel] == entry, rel


# (raw Subject bytes or None, Date or None, expected name, UTC time of the file)
SUBJECTS = [
    (b"=?UTF-8?Q?Gr=C3=BC=C3=9Fe_aus_K=C3=B6ln?=", "Mon, 01 Jan 2024 10:00:00 +0100",
     "Grüße aus Köln_582148001", (2024, 1, 1, 9, 0, 0)),
    (b"=?ISO-8859-1?Q?Caf=E9_=E0_Paris?=", "Tue, 02 Jan 2024 08:30:00 +0000",
     "Café à Paris_582243C00", (2024, 1, 2, 8, 30, 0)),
    (b"=?utf-8?B?w5xiZXJ3ZWlzdW5nIE3DpHJ6?=", "Wed, 3 Jan 2024 12:00:00 -0500",
     "Überweisung März_58238800B", (2024, 1, 3, 17, 0, 0)),
    # prefixes, two joined words, a euro sign beyond Latin-1, a zone of -5:30
    (b"Re: AW: Fwd: =?utf-8?q?Preis:_5?= =?utf-8?q?_=E2=82=AC?=", "Thu, 04 Jan 2024 23:30:00 -0530",
     "Preis. 5 €_58252800A", (2024, 1, 5, 5, 0, 0)),
    (b'Frage: "A/B" <wichtig>', "Fri, 05 Jan 2024 14:15:16 +0000",
     "Frage. 'A B' wichtig_582571E80", (2024, 1, 5, 14, 15, 16)),
    (b"", "Sat, 06 Jan 2024 00:00:00 +0000", "[no subject]_582600000", (2024, 1, 6, 0, 0, 0)),
    (None, "Sat, 06 Jan 2024 00:00:00 +0000", "[no subject]_582600000[2]", (2024, 1, 6, 0, 0, 0)),
    (b"Hallo", "Mon, 01 Jan 2024 10:00:00 +0100", "Hallo_582148001", (2024, 1, 1, 9, 0, 0)),
    (b"Hallo", "Mon, 01 Jan 2024 10:00:00 +0100", "Hallo_582148001[2]", (2024, 1, 1, 9, 0, 0)),
    (b"HALLO", "Mon, 01 Jan 2024 10:00:00 +0100", "HALLO_582148001[3]", (2024, 1, 1, 9, 0, 0)),
    # raw cp1252 bytes outside encoded words, cut at the name budget of 46
    (b"Protokoll der Sitzung vom 12. Januar \xfcber die Planung des neuen Geb\xe4udes",
     "Sun, 07 Jan 2024 09:00:00 +0200",
     "Protokoll der Sitzung vom 12. Januar über d..._582738002", (2024, 1, 7, 7, 0, 0)),
    # Windows would open the NUL device for "NUL. Termin..."
    (b"NUL: Termin", "Mon, 08 Jan 2024 12:45:30 +0100", "_NUL. Termin_58285DAF1", (2024, 1, 8, 11, 45, 30)),
    (b"=?windows-1252?Q?=80_100_f=FCr_alles?=", None, "€ 100 für alles_002100000", (1980, 1, 1, 0, 0, 0)),
    # every charset is converted; what cp1252 lacks becomes "_"
    (b"=?koi8-r?B?8NLJ18XU?=", "Tue, 09 Jan 2024 10:00:00 EST", "_______58297800B", (2024, 1, 9, 15, 0, 0)),
    (b"=?utf-8?q?Sch=C3=B6ne?=\n =?utf-8?q?_Gr=C3=BC=C3=9Fe?=", "Wed, 10 Jan 2024 19:20:00 +0100",
     "Schöne Grüße_582A92801", (2024, 1, 10, 18, 20, 0)),
    (b"Teil 1\tund\x01Teil  2", "Thu, 11 Jan 2024 07:59:59 +0000", "Teil 1 und Teil 2_582B3F7D0",
     (2024, 1, 11, 7, 59, 59)),
    # not UTF-8 after all: the byte stays
    (b"=?utf-8?q?caf=E9?=", "Fri, 12 Jan 2024 12:00:00 +0000", "café_582C60000", (2024, 1, 12, 12, 0, 0)),
    (b"???", "Sat, 13 Jan 2024 13:13:13 +0000", "__582D69A60", (2024, 1, 13, 13, 13, 13)),
    (b"=?utf-8?q?Ende_gut=2C_alles_gut...?=", "Sun, 14 Jan 2024 06:00:00 +0000",
     "Ende gut, alles gut..._582E30000", (2024, 1, 14, 6, 0, 0)),
]


def test_names_from_real_world_subjects(parcelo, tmp_path):
    messages = [message(date, subject) for subject, date, _, _ in SUBJECTS]
    tree = split(parcelo, mailbox(*messages), tmp_path)
    expected = {"namen/": None}
    for msg, (_, _, name, utc) in zip(messages, SUBJECTS):
        expected[f"namen/{name}.eml"] = (written(msg), stamp(*utc))
    expect_tree(tree, expected)


def test_counters_run_per_mailbox_or_per_run(parcelo, tmp_path):
    # both mailboxes hold the same bytes, so the tree does not depend on which comes first
    hallo = message("Mon, 01 Jan 2024 10:00:00 +0100", b"Re: Hallo")
    twice = mailbox(hallo, hallo)
    for box in ("a", "b"):
        (tmp_path / f"{box}.mbox").write_bytes(twice)
    when = stamp(2024, 1, 1, 9, 0, 0)

    tree = split(parcelo, twice, tmp_path, spec="*.mbox", switches=["/d"])
    expect_tree(tree, {f"Hallo_582148001{n}.eml": (written(hallo), when) for n in ("", "[2]", "[3]", "[4]")})

    out = tmp_path / "out"
    for path in out.iterdir():
        path.unlink()
    tree = split(parcelo, twice, tmp_path, spec="*.mbox")
    expected = {"a/": None, "b/": None}
    for box in ("a", "b"):
        for n in ("", "[2]"):
            expected[f"{box}/Hallo_582148001{n}.eml"] = (written(hallo), when)
    expect_tree(tree, expected)


def test_settings_shape_the_names(parcelo, tmp_path):
    # blank and dot become "_", the budget is 30 - (4 + 10) = 16
    parcelo.write_settings(b'[mailfiles]\nreplaceinfilename=" _", "._"\nmaxfilenamelength=30\n'
                                      b'prefixestoremove=aw:, "wg: "\n')
    first = message("Mon, 01 Jan 2024 10:00:00 +0000", b"WG: Teil 1.2 final")
    second = message("Mon, 01 Jan 2024 10:00:00 +0000", b"Re: Ein sehr langer Betreff")
    tree = split(parcelo, mailbox(first, second), tmp_path)
    when = stamp(2024, 1, 1, 10, 0, 0)
    expect_tree(tree, {
        "namen/": None,
        "namen/Teil_1_2_final_582150000.eml": (written(first), when),
        "namen/Re__Ein_sehr_____582150000.eml": (written(second), when),
    })


def word(charset, text):
    """A B-encoded word of text in charset."""
    return b"=?" + charset.encode() + b"?B?" + base64.b64encode(text.encode(charset)) + b"?="


# (raw Subject, 8-bit name, Unicode name); no Date, so every name ends in _002100000
SCRIPTS = [
    (word("utf-8", "Привет, как дела?"), "______, ___ ____", "Привет, как дела"),
    (word("utf-8", "🎉"), "_", "🎉"),
    (word("utf-8", "Zażółć gęślą jaźń"), "Za_ó__ g__l_ ja__", "Zażółć gęślą jaźń"),
    ("Stromrechnung März".encode(), "Stromrechnung März", "Stromrechnung März"),  # raw UTF-8
    ("Привет из Москвы".encode(), "______ __ ______", "Привет из Москвы"),
    (word("koi8-r", "Привет"), "______", "Привет"),
    (word("gb2312", "你好"), "__", "你好"),
    (word("iso-2022-jp", "こんにちは"), "_____", "こんにちは"),
    (b"=?utf-8?q?Gr=C3?= =?utf-8?q?=BC=C3=9Fe?=", "Grüße", "Grüße"),  # a character split in two words
    (word("utf-8", "ПРИВЕТ"), "______[2]", "ПРИВЕТ[2]"),  # differs only in case
    (b"=?ISO-8859-1?Q?Caf=E9_=E0_Paris?=", "Café à Paris", "Café à Paris"),
    (b"Gr\xfc\xdfe aus K\xf6ln", "Grüße aus Köln", "Grüße aus Köln"),  # raw Latin-1
]


def test_names_in_any_script(parcelo, tmp_path):
    messages = [message(None, subject) for subject, _, _ in SCRIPTS]
    # "спам*" finds "Спам.mbox": patterns ignore case in any script
    (tmp_path / "Спам.mbox").write_bytes(mailbox(*messages))
    for unicode, column in (("0", 1), ("1", 2)):
        parcelo.write_settings(b"[Names]\nUnicode = " + unicode.encode() + b"\n")
        tree = split(parcelo, b"", tmp_path, spec="спам*")
        expected = {"Спам/": None}
        for msg, row in zip(messages, SCRIPTS):
            name = row[column]
            stem, counter = (name[:-3], name[-3:]) if name.endswith("]") else (name, "")
            expected[f"Спам/{stem}_002100000{counter}.eml"] = (written(msg), stamp(1980, 1, 1, 0, 0, 0))
        expect_tree(tree, expected)
        for path in (tmp_path / "out" / "Спам").iterdir():
            path.unlink()
