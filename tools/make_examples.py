#!/usr/bin/env python3
"""Writes the example mailboxes in examples/ (deterministic; all mail invented).

  posteingang.mbox  mbox, LF line ends: encoded subjects in UTF-8 and ISO-8859-1,
                    reply prefixes, dates in several zones, a "From " line inside
                    a body, a repeated subject, a long one, one without subject
  archiv.mbox       mbox, CR LF line ends
  ablage.mbx        the binary-separator layout: every message follows the line
                    of seven 0x10, six 0x11, "S" and LF
"""

import base64
import sys
from pathlib import Path

FOX_SEPARATOR = b"\x10" * 7 + b"\x11" * 6 + b"S\n"


def q_word(text, charset):
    """An encoded word in Q encoding: "_" for a blank, =XX for everything unsafe."""
    out = []
    for byte in text.encode(charset):
        char = chr(byte)
        if char == " ":
            out.append("_")
        elif char.isascii() and (char.isalnum() or char in "!*+-/"):
            out.append(char)
        else:
            out.append(f"={byte:02X}")
    return f"=?{charset}?Q?{''.join(out)}?="


def b_word(text, charset):
    return f"=?{charset}?B?{base64.b64encode(text.encode(charset)).decode('ascii')}?="


def message(envelope, fields, body, charset="utf-8"):
    """One message as byte lines: the mbox separator (if any), the header fields,
    an empty line, the body in the charset the message declares."""
    lines = [f"From {envelope}"] if envelope else []
    lines += [f"{name}: {value}" for name, value in fields]
    # A "\n" inside a value folds the field onto a continuation line.
    head = [line.encode("ascii") for text in lines for line in text.split("\n")]
    return head + [b""] + [line.encode(charset) for line in body] + [b""]


GRUESSE = q_word("Grüße aus München", "UTF-8")

INBOX = [
    message("anna.berger@example.de Mon Mar  5 14:02:09 2007", [
        ("Return-Path", "<anna.berger@example.de>"),
        ("From", '"Anna Berger" <anna.berger@example.de>'),
        ("To", "Jonas Wolf <jonas.wolf@example.org>"),
        ("Subject", GRUESSE),
        ("Date", "Mon, 5 Mar 2007 14:02:09 +0100"),
        ("Message-ID", "<20070305140209.4711@example.de>"),
        ("MIME-Version", "1.0"),
        ("Content-Type", "text/plain; charset=UTF-8"),
        ("Content-Transfer-Encoding", "8bit"),
    ], [
        "Hallo Jonas,",
        "",
        "viele Grüße aus München! Das Wetter ist schön, der Föhn weht.",
        "Am Wochenende fahren wir an den Starnberger See.",
        "",
        "Bis bald",
        "Anna",
    ]),
    message("jonas.wolf@example.org Tue Mar  6 09:15:00 2007", [
        ("From", "Jonas Wolf <jonas.wolf@example.org>"),
        ("To", '"Anna Berger" <anna.berger@example.de>'),
        ("Subject", "Re: " + GRUESSE),
        ("Date", "Tue, 6 Mar 2007 09:15:00 +0100"),
        ("Message-ID", "<45ED2A94.3040507@example.org>"),
        ("In-Reply-To", "<20070305140209.4711@example.de>"),
        ("Content-Type", "text/plain; charset=UTF-8; format=flowed"),
    ], [
        "Liebe Anna,",
        "",
        "danke für die Grüße. Unser englischer Partner schrieb gestern:",
        "",
        # Looks like a separator, but no header block follows it.
        "From our point of view the offer is fine, please go ahead.",
        "",
        "Also alles in Ordnung.",
        "",
        "> viele Grüße aus München! Das Wetter ist schön, der Föhn weht.",
        "",
        "Jonas",
    ]),
    message("juergen.mueller@example.com Wed Mar  7 22:45:30 2007", [
        ("From", q_word("Jürgen Müller", "ISO-8859-1") + " <juergen.mueller@example.com>"),
        ("To", "verein@example.net"),
        ("Subject", q_word("Einladung zur Sitzung am Donnerstag (Büro)", "ISO-8859-1")),
        ("Date", "Wed, 7 Mar 2007 17:45:30 -0500 (EST)"),
        ("Message-ID", "<000a01c7610b$5e2f6c40$0201a8c0@buero>"),
        ("Content-Type", 'text/plain; charset="iso-8859-1"'),
        ("Content-Transfer-Encoding", "quoted-printable"),
    ], [
        "Sehr geehrte Damen und Herren,",
        "",
        "hiermit lade ich Sie zur Sitzung am Donnerstag um 19 Uhr im B=FCro ein.",
        "Tagesordnung: Kassenbericht, Sommerfest, Verschiedenes.",
        "",
        "Mit freundlichen Gr=FC=DFen",
        "J=FCrgen M=FCller",
    ]),
    message("petra.schulz@example.de Thu Apr 12 06:03:17 2007", [
        ("From", "Petra Schulz <petra.schulz@example.de>"),
        ("To", q_word("Jürgen Müller", "ISO-8859-1") + " <juergen.mueller@example.com>"),
        ("Subject", "AW: " + b_word("Einladung zur Sitzung am Donnerstag (Büro)", "ISO-8859-1")),
        ("Date", "Thu, 12 Apr 2007 08:03:17 +0200"),
        ("Message-ID", "<4B1C9A3E.5060903@example.de>"),
        ("Content-Type", "text/plain; charset=ISO-8859-1"),
    ], [
        "Hallo Herr Müller,",
        "",
        "ich komme gern, bringe aber den Kassenbericht erst nächste Woche mit.",
        "",
        "Gruß, Petra Schulz",
    ], "iso-8859-1"),
    message("buchhaltung@example.com Fri Apr 13 23:59:59 2007", [
        ("From", "Buchhaltung <buchhaltung@example.com>"),
        ("To", "jonas.wolf@example.org"),
        ("Subject", 'Frage: Rechnung 2007/03 "dringend"?'),
        ("Date", "Fri, 13 Apr 2007 23:59:59 GMT"),
        ("Message-ID", "<rechnung-2007-03@example.com>"),
    ], [
        "Guten Tag,",
        "",
        "zu Rechnung 2007/03 fehlt noch die Bestellnummer. Bitte um kurze Antwort.",
        "",
        "Buchhaltung",
    ]),
    message("anna.berger@example.de Sat Apr 14 09:00:00 2007", [
        ("From", '"Anna Berger" <anna.berger@example.de>'),
        ("To", "Jonas Wolf <jonas.wolf@example.org>"),
        # The same subject as before once the prefix is gone: a counter follows.
        ("Subject", "AW: " + GRUESSE),
        ("Date", "Sat, 14 Apr 2007 10:00:00 +0100"),
        ("Message-ID", "<20070414100000.0815@example.de>"),
    ], [
        "Noch ein Nachtrag: die Fotos schicke ich morgen.",
        "",
        "Anna",
    ]),
    message("vorstand@example.net Sun Apr 22 18:30:00 2007", [
        ("From", "Vorstand Kleingartenverein <vorstand@example.net>"),
        ("To", "mitglieder@example.net"),
        # A long subject: encoded words on folded lines.
        ("Subject", "\n ".join(b_word(part, "UTF-8") for part in (
            "Protokoll der Mitgliederversammlung ", "des Kleingartenvereins Sonnenhang ",
            "e. V. vom 21. April 2007 – bitte prüfen"))),
        ("Date", "Sun, 22 Apr 2007 20:30:00 +0200"),
        ("Message-ID", "<protokoll-2007-04-21@example.net>"),
        ("Content-Type", "text/plain; charset=UTF-8"),
    ], [
        "Liebe Mitglieder,",
        "",
        "anbei das Protokoll der Versammlung. Einwände bitte bis Monatsende.",
        "",
        "Der Vorstand",
    ]),
    message("jonas.wolf@example.org Mon Apr 23 07:12:44 2007", [
        ("From", "Jonas Wolf <jonas.wolf@example.org>"),
        ("To", "anna.berger@example.de"),
        ("Date", "Mon, 23 Apr 2007 09:12:44 +0200"),
        ("Message-ID", "<ohne-betreff@example.org>"),
    ], [
        "Eine Nachricht ohne Betreff, nur der Link zum Fahrplan.",
    ]),
    message("sven.kurz@example.de Tue Apr 24 12:00:00 2007", [
        ("From", "Sven Kurz <sven.kurz@example.de>"),
        ("To", "jonas.wolf@example.org"),
        ("Subject", "Fwd: Tickets " + q_word("für", "UTF-8") + " das Konzert"),
        ("Date", "Tue, 24 Apr 2007 14:00:00 +0200"),
        ("Message-ID", "<tickets-konzert@example.de>"),
        ("Content-Type", "text/plain; charset=UTF-8"),
    ], [
        "Weitergeleitet, siehe unten.",
        "",
        "-------- Original-Nachricht --------",
        "Betreff: Tickets für das Konzert",
        "Datum: Mon, 23 Apr 2007 16:40:00 +0200",
        "",
        "Ihre Tickets liegen an der Abendkasse bereit.",
    ]),
]

ARCHIVE = [
    message("klaus.richter@example.de Mon Dec  4 08:30:00 2006", [
        ("From", "Klaus Richter <klaus.richter@example.de>"),
        ("To", "team@example.de"),
        ("Subject", "WG: Urlaubsplanung 2007"),
        ("Date", "Mon, 4 Dec 2006 09:30:00 +0100"),
        ("Message-ID", "<urlaub-2007@example.de>"),
        ("Content-Type", "text/plain; charset=UTF-8"),
    ], [
        "Bitte tragt eure Urlaubswünsche bis Freitag in die Liste ein.",
    ]),
    message("sabine.koch@example.de Wed Dec 20 16:05:12 2006", [
        ("From", "Sabine Koch <sabine.koch@example.de>"),
        ("To", "team@example.de"),
        ("Subject", q_word("Weihnachtsfeier: Änderung des Ortes", "ISO-8859-1")),
        ("Date", "Wed, 20 Dec 2006 16:05:12 +0000"),
        ("Message-ID", "<feier-2006@example.de>"),
        ("Content-Type", "text/plain; charset=ISO-8859-1"),
    ], [
        "Die Feier findet im Gasthof zur Post statt, nicht im Büro.",
        "Beginn 18 Uhr.",
    ], "iso-8859-1"),
    message("klaus.richter@example.de Fri Dec 29 11:11:11 2006", [
        ("From", "Klaus Richter <klaus.richter@example.de>"),
        ("To", "team@example.de"),
        ("Subject", "Re: " + q_word("Weihnachtsfeier: Änderung des Ortes", "ISO-8859-1")),
        ("Date", "Fri, 29 Dec 2006 12:11:11 +0100"),
        ("Message-ID", "<feier-2006-dank@example.de>"),
        ("Content-Type", "text/plain; charset=UTF-8"),
    ], [
        "Danke an alle, es war ein schöner Abend!",
    ]),
]

FILED = [
    message(None, [
        ("From", "Monika Braun <monika.braun@example.de>"),
        ("To", "Hausverwaltung <verwaltung@example.com>"),
        ("Subject", "Heizung im 3. Stock"),
        ("Date", "Tue, 16 Jan 2007 07:45:00 +0100"),
        ("Message-ID", "<heizung-3og@example.de>"),
        ("Content-Type", "text/plain; charset=windows-1252"),
    ], [
        "Guten Morgen,",
        "die Heizung im 3. Stock ist seit gestern kalt. Bitte um Rückruf.",
        "Monika Braun",
    ], "cp1252"),
    message(None, [
        ("From", "Hausverwaltung <verwaltung@example.com>"),
        ("To", "Monika Braun <monika.braun@example.de>"),
        ("Subject", "AW: Heizung im 3. Stock"),
        ("Date", "Tue, 16 Jan 2007 10:20:00 +0100"),
        ("Message-ID", "<heizung-3og-antwort@example.com>"),
    ], [
        "Der Techniker kommt heute Nachmittag.",
    ]),
    message(None, [
        ("From", "Hausverwaltung <verwaltung@example.com>"),
        ("To", "alle-mieter@example.com"),
        ("Subject", b_word("Ablesung der Wasserzähler", "UTF-8")),
        ("Date", "Thu, 1 Feb 2007 12:00:00 +0100"),
        ("Message-ID", "<wasserzaehler-2007@example.com>"),
    ], [
        "Die Ablesung findet am 8. Februar zwischen 8 und 12 Uhr statt.",
    ]),
]


def text_mailbox(messages, line_end):
    return b"".join(line + line_end for lines in messages for line in lines)


def separated_mailbox(messages):
    return b"".join(FOX_SEPARATOR + text_mailbox([m], b"\n") for m in messages)


def main():
    root = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parents[1] / "examples"
    root.mkdir(parents=True, exist_ok=True)
    outputs = {
        "posteingang.mbox": text_mailbox(INBOX, b"\n"),
        "archiv.mbox": text_mailbox(ARCHIVE, b"\r\n"),
        "ablage.mbx": separated_mailbox(FILED),
    }
    for name, data in outputs.items():
        (root / name).write_bytes(data)
        print(f"{root / name}: {len(data)} bytes")


if __name__ == "__main__":
    main()
