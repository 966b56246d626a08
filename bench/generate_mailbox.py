#!/usr/bin/env python3
"""Writes a realistic, reproducible mbox file of a requested size.

    generate_mailbox.py SIZE OUT [--seed N] [--crlf]

SIZE takes K, M or G suffixes (binary). The same size and seed always give
the same bytes. Beside OUT a file OUT.meta (key=value lines) tells how many
messages were written and how many a splitter that cuts only at "From " lines
followed by a header field line must find ("boundaries").

What is in it, so that a splitter meets what real mailboxes hold: every kind
of Date value (weekday or not, two-digit years, numeric and named zones,
missing and garbage values), encoded subjects (UTF-8 Q and B, ISO-8859-1,
folded, raw 8-bit), reply and forward prefixes, repeated subjects and resent
messages, multipart bodies with base64 attachments, "From " lines inside
bodies (some followed by header-like lines that must not split), ">From "
lines, very long lines, message sizes with a median of a few KiB and a tail
of 1-5 MiB messages. Only made-up names and example domains are used.
"""

import argparse
import base64
import bisect
import os
import random
import sys

KIB = 1024
MIB = 1024 * KIB
CHUNK = 8 * MIB

WEEKDAYS = ["Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"]
MONTHS = ["Jan", "Feb", "Mar", "Apr", "May", "Jun",
          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"]
# Minutes east of UTC.
NUMERIC_ZONES = [0, 0, 60, 60, 120, -300, -300, -420, -480, 330, -330, 345,
                 600, -210, 780, 540, -600, 0]
NAMED_ZONES = [("GMT", 0), ("UT", 0), ("UTC", 0), ("EST", -300), ("EDT", -240),
               ("CST", -360), ("CDT", -300), ("MST", -420), ("MDT", -360),
               ("PST", -480), ("PDT", -420), ("Z", 0), ("CET", 60), ("MEZ", 60)]
GARBAGE_DATES = ["", "unknown", "Thursday", "32 Jan 2006 10:00:00 +0000",
                 "2006-01-02T15:04:05Z", "Mon, 2 Foo 2006 25:61:61 +0000",
                 "0", "Sun, 31 Feb 2099 00:00:00 +9999", "\t", "1.1.2004",
                 "=?UTF-8?Q?Montag?=", "Mon, 2 Jan 10000 10:00:00 +0000"]

WORDS = ("the and of to in for on with as at by from this that we you they is "
         "are was be have has will can meeting project report budget review "
         "schedule invoice order delivery update status question answer team "
         "office server backup network release version draft final notes plan "
         "customer account password change request support ticket issue fix "
         "data file folder archive message letter please thanks regards "
         "tomorrow today monday friday week month quarter year price offer "
         "Angebot Rechnung Besprechung Termin Bericht Urlaub Auftrag Lieferung "
         "Kunde Vertrag Frage Antwort Grüße Größe Übersicht Änderung Prüfung "
         "Bestätigung Straße für über während Büro Mängel Zusammenfassung "
         "café naïve déjà façade résumé Zürich Köln München Düsseldorf").split()
FIRST_NAMES = ["Anna", "Bernd", "Clara", "Dieter", "Erika", "Frank", "Greta",
               "Hans", "Ines", "Jürgen", "Käthe", "Lars", "Maria", "Norbert",
               "Olga", "Paul", "Renée", "Sören", "Tina", "Uwe", "Vera",
               "Walter", "Yvonne", "Zoë", "Ola", "Ben", "Lee", "Sam"]
LAST_NAMES = ["Adler", "Becker", "Conrad", "Dörr", "Engel", "Fischer", "Gärtner",
              "Hoffmann", "Ibsen", "Jäger", "Krüger", "Lehmann", "Müller",
              "Neumann", "Otto", "Peters", "Quast", "Richter", "Schäfer",
              "Thomas", "Ullrich", "Vogel", "Weiß", "Zimmer", "Lund", "Park"]
DOMAINS = ["example.com", "example.org", "example.net", "example.de",
           "mail.example.com", "lists.example.org", "corp.example.net"]
PREFIXES = ["Re: ", "RE: ", "Re: Re: ", "AW: ", "Aw: ", "Fwd: ", "FW: ",
            "Fw: ", "WG: ", "Re[2]: ", "AW: Re: ", "Re: Fwd: ", "Antw: "]
NAME_HOSTILE = ['Pfad C:\\temp\\x', 'a/b/c', 'Was? Wie? Wo?', 'Zitat "hier"',
                '<wichtig> | dringend', 'Stern *', 'Punkte...', ' . ',
                'Tab\tinside', 'CON', 'nul', 'Ende.   ']
MAILERS = ["Example Mail 4.2", "Demo Client 1.0 (Windows)", "TestMailer/7.1",
           "Sample Web Mail", "mutt-like 1.5"]
ATTACH_TYPES = [("application/pdf", "pdf"), ("image/jpeg", "jpg"),
                ("image/png", "png"), ("application/zip", "zip"),
                ("application/octet-stream", "bin"),
                ("application/vnd.ms-excel", "xls")]
# Landmarks written once, early, into every mailbox so that small and large
# files share the longest line and the largest header block.
LONGEST_LINE = 512 * KIB
LANDMARK_LONG_LINE_AT = 50
LANDMARK_BIG_HEADER_AT = 60


def parse_size(text):
    text = text.strip().upper().rstrip("B").rstrip("I")
    factor = 1
    for suffix, f in (("K", KIB), ("M", MIB), ("G", 1024 * MIB)):
        if text.endswith(suffix):
            factor = f
            text = text[:-1]
            break
    return int(float(text) * factor)


def q_encode(raw):
    """The Q encoding of encoded words (spaces as underscores)."""
    out = []
    for b in raw:
        if b == 32:
            out.append("_")
        elif 48 <= b <= 57 or 65 <= b <= 90 or 97 <= b <= 122 or b in b".,-!":
            out.append(chr(b))
        else:
            out.append("=%02X" % b)
    return "".join(out)


def qp_line(text):
    """A quoted-printable body line (no soft breaks needed for short lines)."""
    out = []
    for b in text.encode("utf-8"):
        if 33 <= b <= 126 and b != 61 or b == 32:
            out.append(chr(b))
        else:
            out.append("=%02X" % b)
    return "".join(out)


class Pools:
    """Pre-built text and base64 so that a message costs a few slices."""

    def __init__(self, rng):
        self.rng = rng
        lines = []
        for _ in range(20000):
            n = rng.randint(4, 13)
            line = " ".join(rng.choice(WORDS) for _ in range(n))
            if rng.random() < 0.12:
                line = "> " + line
            line = line[0].upper() + line[1:]
            if line.startswith("From "):
                line = "Since " + line[5:]
            lines.append(line + ".\n")
            if rng.random() < 0.15:
                lines.append("\n")
        self.text, self.text_offsets = self._blob(lines, "utf-8")
        self.latin_text, self.latin_offsets = self._blob(lines[:6000], "latin-1")
        qp = [qp_line(l.rstrip("\n")) + "\n" for l in lines[:6000]]
        self.qp_text, self.qp_offsets = self._blob(qp, "ascii")
        raw = rng.randbytes(6 * MIB)
        b64 = base64.b64encode(raw)
        b64_lines = [b64[i:i + 76] + b"\n" for i in range(0, len(b64), 76)]
        self.b64 = b"".join(b64_lines)
        self.b64_line = 77
        html_words = " ".join(rng.choice(WORDS) for _ in range(60000))
        self.html = ("<html><body><div style=\"font-family:Arial\"><p>"
                     + html_words.replace(" ", " <b>x</b> ", 4000)
                     ).encode("utf-8")
        self.subjects = []
        for _ in range(700):
            n = rng.randint(2, 8)
            self.subjects.append(" ".join(rng.choice(WORDS) for _ in range(n)).capitalize())

    @staticmethod
    def _blob(lines, encoding):
        offsets = [0]
        data = []
        pos = 0
        for line in lines:
            b = line.encode(encoding, "replace")
            data.append(b)
            pos += len(b)
            offsets.append(pos)
        return b"".join(data), offsets

    def slice_text(self, size, kind="utf-8"):
        blob, offs = {"utf-8": (self.text, self.text_offsets),
                      "latin-1": (self.latin_text, self.latin_offsets),
                      "qp": (self.qp_text, self.qp_offsets)}[kind]
        size = min(size, len(blob) // 2)
        i = self.rng.randrange(0, len(offs) - 1)
        start = offs[i]
        if start + size > len(blob):
            i = 0
            start = 0
        j = bisect.bisect_left(offs, start + size)
        return blob[start:offs[j]]

    def slice_b64(self, size):
        lines = max(1, size // self.b64_line)
        total = len(self.b64) // self.b64_line
        if lines >= total:
            return self.b64
        first = self.rng.randrange(0, total - lines)
        return self.b64[first * self.b64_line:(first + lines) * self.b64_line]

    def html_line(self, size):
        start = self.rng.randrange(0, len(self.html) // 2)
        piece = self.html[start:start + size]
        while len(piece) < size:
            piece += self.html[:size - len(piece)]
        return piece


class Generator:
    def __init__(self, seed):
        self.rng = random.Random(seed)
        self.pools = Pools(random.Random(seed + 1))
        self.count = 0
        self.boundaries = 0
        self.recent = []          # small messages kept for resending
        self.boundary_counter = 0

    # --- header pieces ---------------------------------------------------

    def person(self):
        rng = self.rng
        first, last = rng.choice(FIRST_NAMES), rng.choice(LAST_NAMES)
        local = (first + "." + last).lower().encode("ascii", "ignore").decode()
        addr = "%s@%s" % (local or "user", rng.choice(DOMAINS))
        r = rng.random()
        if r < 0.35:
            return addr, addr
        name = "%s %s" % (first, last)
        if r < 0.6 or name.isascii():
            shown = '"%s"' % name if rng.random() < 0.5 else name
            if not name.isascii():
                shown = shown.encode("utf-8").decode("latin-1")
            return "%s <%s>" % (shown, addr), addr
        return "=?UTF-8?Q?%s?= <%s>" % (q_encode(name.encode("utf-8")), addr), addr

    def date_value(self, t):
        """One Date value of the many forms seen in old mailboxes."""
        rng = self.rng
        r = rng.random()
        if r < 0.03:
            return rng.choice(GARBAGE_DATES)
        named = r < 0.25
        if named:
            zone_name, zone = rng.choice(NAMED_ZONES)
        else:
            zone = rng.choice(NUMERIC_ZONES)
        lt = t + zone * 60
        days, secs = divmod(lt, 86400)
        y, m, d = civil_from_days(days)
        wd = WEEKDAYS[(days + 3) % 7]
        hh, mm, ss = secs // 3600, secs // 60 % 60, secs % 60
        year = "%d" % y
        if rng.random() < 0.08:
            year = "%02d" % (y % 100)
        day = "%d" % d if rng.random() < 0.6 else "%02d" % d
        clock = "%02d:%02d:%02d" % (hh, mm, ss)
        if rng.random() < 0.05:
            clock = "%02d:%02d" % (hh, mm)
        if named:
            zone_text = zone_name
        else:
            sign = "+" if zone >= 0 else "-"
            zone_text = "%s%02d%02d" % (sign, abs(zone) // 60, abs(zone) % 60)
            if rng.random() < 0.1:
                zone_text += " (%s)" % rng.choice(["CEST", "PDT", "GMT", "IST", "EST"])
        body = "%s %s %s %s %s" % (day, MONTHS[m - 1], year, clock, zone_text)
        if rng.random() < 0.8:
            sep = ", " if rng.random() < 0.95 else " "
            body = wd + sep + body
        if rng.random() < 0.02:
            body = body.replace(" ", "  ", 1)
        return body

    def subject_value(self):
        rng = self.rng
        base = rng.choice(self.pools.subjects)
        r = rng.random()
        if r < 0.02:
            base = rng.choice(NAME_HOSTILE)
        elif r < 0.04:
            base = " ".join([base] * 12)[:220]
        prefix = rng.choice(PREFIXES) if rng.random() < 0.35 else ""
        r = rng.random()
        if r < 0.50:
            return prefix + ascii_fold(base)
        if r < 0.62:
            return prefix + "=?UTF-8?Q?%s?=" % q_encode(base.encode("utf-8"))
        if r < 0.74:
            return prefix + "=?UTF-8?B?%s?=" % base64.b64encode(base.encode("utf-8")).decode()
        if r < 0.82:
            return prefix + "=?ISO-8859-1?Q?%s?=" % q_encode(base.encode("latin-1", "replace"))
        if r < 0.85:
            return prefix + "=?iso-8859-1?b?%s?=" % base64.b64encode(base.encode("latin-1", "replace")).decode()
        if r < 0.90:
            # Folded: several encoded words on continuation lines.
            words = base.split(" ")
            half = max(1, len(words) // 2)
            a = " ".join(words[:half]) + " "
            b = " ".join(words[half:]) or "x"
            return prefix + "=?UTF-8?Q?%s?=\n =?ISO-8859-1?Q?%s?=" % (
                q_encode(a.encode("utf-8")), q_encode(b.encode("latin-1", "replace")))
        if r < 0.93:
            # Raw 8-bit, as old clients sent it; kept as latin-1 bytes.
            return prefix + base.encode("latin-1", "replace").decode("latin-1")
        if r < 0.95:
            return prefix + base.encode("utf-8").decode("latin-1")
        if r < 0.97:
            return ""
        return prefix + ascii_fold(base) + " =?utf-8?q?" + q_encode("€ ✓".encode("utf-8")) + "?="

    # --- bodies ----------------------------------------------------------

    def body_text(self, size):
        pools, rng = self.pools, self.rng
        r = rng.random()
        kind = "utf-8" if r < 0.7 else ("latin-1" if r < 0.85 else "qp")
        cte = {"utf-8": "8bit", "latin-1": "8bit", "qp": "quoted-printable"}[kind]
        charset = "ISO-8859-1" if kind == "latin-1" else "UTF-8"
        return charset, cte, pools.slice_text(size, kind)

    def insert_traps(self, body):
        """Adds "From " and ">From " lines; returns the body and how many of them start a
        message (those followed by a header field line)."""
        rng = self.rng
        r = rng.random()
        if r > 0.06:
            return body, 0
        cut = body.find(b"\n\n", len(body) // 3)
        if cut < 0:
            cut = len(body) - 1
        cut += 1
        t = rng.random()
        starts = 0
        if t < 0.3:
            trap = b"\nFrom the desk of the head office: please read this.\nIt matters.\n"
        elif t < 0.5:
            trap = b">From the archive, as quoted.\n>From here on it gets long.\n"
        elif t < 0.7:
            # A header without Date: a boundary, as a draft's would be.
            starts = 1
            trap = (b"\nFrom old.friend@example.org Sat Jan  3 01:05:34 1998\n"
                    b"From: old.friend@example.org\nSubject: forwarded text\n"
                    b"To: team@example.com\n\nQuoted body line.\n")
        elif t < 0.85:
            # A header without From: a boundary too.
            starts = 1
            trap = (b"\nFrom someone Mon Feb  9 12:00:00 2004\n"
                    b"Subject: inner\nDate: Mon, 9 Feb 2004 12:00:00 +0000\n"
                    b"To: x@example.net\n\nMore text.\n")
        elif t < 0.95:
            trap = b"\nFrom   : not a separator line at all\nFrom\n"
        else:
            # Header-like lines whose first line is no field line.
            trap = (b"\nFrom a.b@example.com Tue Mar  2 08:00:00 1999\n"
                    b" Date: Tue, 2 Mar 1999 08:00:00 +0100\nFrom: a.b@example.com\n\n")
        return body[:cut] + trap + body[cut:], starts

    def message(self):
        rng, pools = self.rng, self.pools
        n = self.count
        # Resend an earlier small message now and then: same bytes again.
        if self.recent and rng.random() < 0.02:
            return rng.choice(self.recent)
        t = rng.randrange(820454400, 1735689600)  # 1996 .. 2024
        from_field, from_addr = self.person()
        to_field, _ = self.person()
        days, secs = divmod(t, 86400)
        y, m, d = civil_from_days(days)
        env_from = from_addr if rng.random() < 0.9 else rng.choice(["MAILER-DAEMON", "-"])
        sep_day = "%2d" % d if rng.random() < 0.9 else "%02d" % d
        sep = "From %s %s %s %s %02d:%02d:%02d %d\n" % (
            env_from, WEEKDAYS[(days + 3) % 7], MONTHS[m - 1], sep_day,
            secs // 3600, secs // 60 % 60, secs % 60, y)
        h = []
        first = rng.random()
        if first < 0.7:
            h.append("Return-Path: <%s>\n" % from_addr)
        elif first < 0.85:
            h.append("X-Mozilla-Status: 0001\nX-Mozilla-Status2: 00000000\n")
        for i in range(rng.randint(1, 4)):
            h.append("Received: from mx%d.%s (mx%d.%s [192.0.2.%d])\n\tby mail.%s with ESMTP id %08X;\n\t%s\n" % (
                i, rng.choice(DOMAINS), i, rng.choice(DOMAINS), rng.randrange(1, 255),
                rng.choice(DOMAINS), rng.getrandbits(32), self.date_value(t)))
        valid = True
        r = rng.random()
        if r < 0.004 and n > 0:
            valid = False            # no Date field at all: never resent
        elif r < 0.006:
            h.append("Date-Received: %s\n" % self.date_value(t))
        else:
            name = "Date" if rng.random() < 0.98 else rng.choice(["DATE", "date", "Date "])
            h.append("%s: %s\n" % (name, self.date_value(t)))
        h.append("From: %s\n" % from_field)
        h.append("To: %s\n" % to_field)
        if rng.random() < 0.3:
            h.append("Cc: %s,\n %s\n" % (self.person()[0], self.person()[0]))
        subject = self.subject_value()
        if rng.random() < 0.99:
            h.append("Subject: %s\n" % subject)
        mid = "<%08x.%d@%s>" % (rng.getrandbits(32), n, rng.choice(DOMAINS))
        h.append("Message-ID: %s\n" % mid)
        if rng.random() < 0.3:
            ref = "<%08x.%d@%s>" % (rng.getrandbits(32), max(0, n - rng.randint(1, 50)), rng.choice(DOMAINS))
            h.append("In-Reply-To: %s\nReferences: %s\n" % (ref, ref))
        h.append("X-Mailer: %s\n" % rng.choice(MAILERS))
        if n == LANDMARK_BIG_HEADER_AT:
            for i in range(400):
                h.append("X-Trace-%03d: %s\n" % (i, "t" * 150))
        h.append("MIME-Version: 1.0\n")

        # Body: most small, some with attachments, a few huge.
        r = rng.random()
        parts = []
        if r < 0.0006 or n == 7:
            ctype, body = self.mixed(rng.randint(1 * MIB, 5 * MIB))
        elif r < 0.08:
            size = int(min(900 * KIB, rng.lognormvariate(9.9, 1.0)))
            ctype, body = self.mixed(size)
        elif r < 0.30 or n == LANDMARK_LONG_LINE_AT:
            ctype, body = self.alternative(n)
        else:
            size = int(min(64 * KIB, rng.lognormvariate(7.2, 0.8))) + 40
            charset, cte, text = self.body_text(size)
            ctype = "text/plain; charset=%s\nContent-Transfer-Encoding: %s" % (charset, cte)
            body = text
        body, inner = self.insert_traps(body)
        h.append("Content-Type: %s\n\n" % ctype)
        head = (sep + "".join(h)).encode("latin-1", "replace")
        msg = head + body + (b"" if body.endswith(b"\n") else b"\n") + b"\n"
        if valid and len(msg) < 6 * KIB and len(self.recent) < 64:
            self.recent.append((msg, 1 + inner))
        return msg, 1 + inner

    def boundary(self):
        self.boundary_counter += 1
        return "=_part_%d_%08x" % (self.boundary_counter, self.rng.getrandbits(32))

    def alternative(self, n):
        rng, pools = self.rng, self.pools
        b = self.boundary()
        charset, cte, text = self.body_text(int(rng.lognormvariate(7.5, 0.7)) + 60)
        if n == LANDMARK_LONG_LINE_AT:
            html_size = LONGEST_LINE
        elif rng.random() < 0.15:
            html_size = rng.randint(2 * KIB, 96 * KIB)   # one long line
        else:
            html_size = rng.randint(300, 4 * KIB)
        html = pools.html_line(html_size)
        body = b"".join([
            b"This is a multi-part message in MIME format.\n\n--", b.encode(), b"\n",
            b"Content-Type: text/plain; charset=", charset.encode(),
            b"\nContent-Transfer-Encoding: ", cte.encode(), b"\n\n", text,
            b"\n--", b.encode(), b"\nContent-Type: text/html; charset=UTF-8\n"
            b"Content-Transfer-Encoding: 8bit\n\n", html, b"\n\n--", b.encode(), b"--\n"])
        return 'multipart/alternative;\n\tboundary="%s"' % b, body

    def mixed(self, size):
        rng, pools = self.rng, self.pools
        b = self.boundary().encode()
        charset, cte, text = self.body_text(int(rng.lognormvariate(6.8, 0.8)) + 40)
        out = [b"This is a multi-part message in MIME format.\n\n--", b,
               b"\nContent-Type: text/plain; charset=", charset.encode(),
               b"\nContent-Transfer-Encoding: ", cte.encode(), b"\n\n", text]
        remaining = max(1 * KIB, size)
        parts = 1 if remaining > 2 * MIB or rng.random() < 0.7 else rng.randint(2, 3)
        for i in range(parts):
            ctype, ext = rng.choice(ATTACH_TYPES)
            name = "%s_%d.%s" % (rng.choice(self.pools.subjects).split(" ")[0], i, ext)
            if rng.random() < 0.2:
                fname = 'filename*=UTF-8\'\'%s' % q_encode(("Übersicht " + name).encode("utf-8")).replace("=", "%")
            else:
                fname = 'filename="%s"' % ascii_fold(name)
            out += [b"\n--", b, b"\nContent-Type: ", ctype.encode(),
                    b"\nContent-Transfer-Encoding: base64\nContent-Disposition: attachment;\n\t",
                    fname.encode("latin-1", "replace"), b"\n\n",
                    pools.slice_b64(remaining // parts)]
        out += [b"\n--", b, b"--\n"]
        return 'multipart/mixed;\n\tboundary="%s"' % b.decode(), b"".join(out)


def ascii_fold(text):
    return (text.replace("ä", "ae").replace("ö", "oe").replace("ü", "ue")
            .replace("Ä", "Ae").replace("Ö", "Oe").replace("Ü", "Ue")
            .replace("ß", "ss").encode("ascii", "replace").decode())


def civil_from_days(z):
    """Days since 1970-01-01 to (year, month, day), proleptic Gregorian."""
    z += 719468
    era = (z if z >= 0 else z - 146096) // 146097
    doe = z - era * 146097
    yoe = (doe - doe // 1460 + doe // 36524 - doe // 146096) // 365
    y = yoe + era * 400
    doy = doe - (365 * yoe + yoe // 4 - yoe // 100)
    mp = (5 * doy + 2) // 153
    d = doy - (153 * mp + 2) // 5 + 1
    m = mp + 3 if mp < 10 else mp - 9
    return y + (m <= 2), m, d


def generate(size, out_path, seed=1, crlf=False):
    gen = Generator(seed)
    written = 0
    boundaries = 0
    chunk = []
    chunk_size = 0
    longest = 0
    tmp = out_path + ".part"
    with open(tmp, "wb") as out:
        while written + chunk_size < size:
            msg, starts = gen.message()
            gen.count += 1
            boundaries += starts
            chunk.append(msg)
            chunk_size += len(msg)
            if chunk_size >= CHUNK:
                data = b"".join(chunk)
                if crlf:
                    data = data.replace(b"\n", b"\r\n")
                out.write(data)
                written += len(data)
                chunk, chunk_size = [], 0
        if chunk:
            data = b"".join(chunk)
            if crlf:
                data = data.replace(b"\n", b"\r\n")
            out.write(data)
            written += len(data)
    os.replace(tmp, out_path)
    with open(out_path + ".meta", "w") as meta:
        meta.write("seed=%d\nrequested=%d\nbytes=%d\nmessages=%d\nboundaries=%d\ncrlf=%d\n"
                   % (seed, size, written, gen.count, boundaries, int(crlf)))
    return written, gen.count, boundaries


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("size", help="e.g. 32M, 256M, 1G")
    ap.add_argument("out")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--crlf", action="store_true", help="CR LF line ends")
    args = ap.parse_args()
    written, count, boundaries = generate(parse_size(args.size), args.out, args.seed, args.crlf)
    print("%s: %d bytes, %d messages, %d boundaries" % (args.out, written, count, boundaries))


if __name__ == "__main__":
    sys.exit(main())
