"""Helpers for the run-control end-to-end tests: mailboxes, log blocks, boxes."""

import re
import subprocess
import time

import pytest

from conftest import parse_windows

MINUSES = "-" * 60
WEEKDAYS = ["Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag", "Sonntag"]
STAMP = re.compile(r"^(\w+) (\d{4})-(\d{2})-(\d{2}), (\d{2}):(\d{2}):(\d{2})$")


def mbox(*subjects):
    """An mbox file with one valid message per subject."""
    text = ""
    for number, subject in enumerate(subjects, 1):
        text += (f"From someone@example.org Mon Jan  1 10:00:00 2007\n"
                 f"Date: Mon, 1 Jan 2007 10:0{number}:00 +0000\n"
                 f"From: someone@example.org\n"
                 f"Subject: {subject}\n"
                 f"Message-ID: <{number}@example.org>\n"
                 f"\n"
                 f"Body {number}\n")
    return text.encode("ascii")


UNKNOWN_FORMAT = b"this is not a mailbox\nat all\n"


def log_blocks(text):
    """The blocks of a log, each a list of lines, the closing minus line left out."""
    blocks, current = [], []
    for line in text.splitlines():
        if line == MINUSES:
            blocks.append(current)
            current = []
        else:
            current.append(line)
    assert not current, f"log does not end with its minus line: {text!r}"
    return blocks


def body_lines(block):
    """The lines between "Beginn:" and "Ende:"."""
    begin = next(i for i, line in enumerate(block) if line.startswith("Beginn: "))
    assert block[-1].startswith("Ende: "), block
    return block[begin + 1:-1]


def only_block(parcelo):
    blocks = log_blocks(parcelo.log_text())
    assert len(blocks) == 1, blocks
    return blocks[0]


def run_expecting(parcelo, args, code, timeout=300):
    result = parcelo.run(args, timeout=timeout)
    assert result.returncode == code, (result, parcelo.log_text())
    return result


def native_stderr(result):
    return result.stderr.decode("utf-8", "replace")


def wait_for_box(parcelo, process, caption="parcelo", seconds=60, nudge=None):
    """Under Wine: waits for the message box with that caption and returns its text.
    nudge, if given, is called before every look (it feeds a gate a line, say)."""
    deadline = time.monotonic() + seconds
    while True:
        if nudge:
            nudge()
        ended = process.poll() is not None
        found = parcelo.wintest("wait", caption, "--class", "#32770", "--timeout", "2", timeout=10)
        if found.returncode == 0:
            (box,) = parse_windows(found)
            texts = [c.text for c in box.controls if c.cls.lower() == "static" and c.text]
            assert texts, box.controls
            return texts[-1]
        assert not ended, f"ended with {process.returncode} and no \"{caption}\" box"
        assert time.monotonic() < deadline, f"no \"{caption}\" box within {seconds} s"


def answer_box(parcelo, button, caption="parcelo"):
    clicked = parcelo.wintest("click", caption, button, "--class", "#32770")
    assert clicked.returncode == 0, clicked


def exit_code(process, timeout=300):
    try:
        return process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:  # the harness kills it at the end of the test
        pytest.fail(f"the program did not end within {timeout} s")
