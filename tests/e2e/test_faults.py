"""Faults from outside: a full disk, folders that cannot be written, locked, vanished and
oversized mailboxes, overlong paths and a cancel in the middle of a message. Every run
uses /p, so nothing waits for an answer, and the log tells what happened."""

import fcntl
import os
import signal
import subprocess
import time
from pathlib import Path, PureWindowsPath

import pytest

from fault_support import (assert_logged, line_after, listing, log_lines, message, mounted,
                           numbered, read_only, sparse_file, written)

DISK_FULL = "Nicht genügend Speicherplatz verfügbar auf Laufwerk %s."
CREATE_DIR = "Fehler beim Erzeugen des Verzeichnisses '%s'."
READ_ERROR = "Fehler beim Lesen der Datei '%s'."
TOO_LARGE = "Die Datei '%s' ist zu groß (> 2 GiB)."
UNKNOWN = "Unbekanntes Dateiformat '%s'."
WRITE_FILE = "Fehler beim Schreiben der Datei '%s'."
CRASH = "Ein unerwarteter Fehler ist aufgetreten, siehe Datei '%s'."
# Wine calls a read-only mount a refused access, where Windows says write-protected.
READ_ONLY = {"native": "(Datenträger schreibgeschützt)", "wine": "(Zugriff verweigert)"}
LOCKED = "(Datei wird von einem anderen Programm verwendet oder ist gesperrt)"
NOT_FOUND = "(Datei oder Pfad nicht gefunden)"


def run(parcelo, spec, out, *switches, timeout=120):
    parcelo.clear_log()
    return parcelo.run([parcelo.path(spec), parcelo.path(out), "/p", *switches], timeout=timeout)


def error_count_line(parcelo):
    return [line for line in log_lines(parcelo) if line.endswith(" Fehler.")]


# ---------------------------------------------------------------- a full disk

@pytest.mark.each_writers
def test_disk_full_in_the_middle_of_a_message(parcelo, tmp_path, writers):
    small = tmp_path / "small"
    with mounted("tmpfs", small, "size=1m"):
        box = tmp_path / "box.mbx"
        box.write_bytes(message(1) + message(2) + message(3, body=b"x" * 78 + b"\n") +
                        message(4, body=(b"y" * 99 + b"\n") * 30000) + message(5))
        out = small / "out"
        result = run(parcelo, box, out, "/n")
        assert result.returncode == 3, result
        folder = out / "box"
        first = numbered(folder, 3)
        assert [p.read_bytes() for p in first] == [written(1), written(2), written(3, body=b"x" * 78 + b"\n")]
        # The message that did not fit is gone, and nothing came after it; only a writer
        # thread may have written the next message whole before the disk filled up.
        later = sorted(p.name for p in folder.iterdir() if p not in first)
        assert later in ([], ["00000005.eml"]) if writers is None else later == [], later
        if later:
            assert (folder / later[0]).read_bytes() == written(5)
        drive = "Z:" if parcelo.kind == "wine" else str(small)  # the mount point
        lines = log_lines(parcelo)
        assert (DISK_FULL % drive) in lines, parcelo.log_text()
        assert lines[lines.index(DISK_FULL % drive) + 1] == "Programm abgebrochen."


@pytest.mark.native_only
@pytest.mark.each_writers
def test_a_write_error_in_the_middle_of_a_run_is_reported_and_the_run_goes_on(parcelo, tmp_path, writers):
    # Files may grow to 200,000 bytes: the fourth message is cut short, as by a failing drive.
    box = tmp_path / "box.mbx"
    big = (b"y" * 99 + b"\n") * 3000
    box.write_bytes(message(1) + message(2) + message(3) + message(4, body=big) + message(5))
    out = tmp_path / "out"
    parcelo.clear_log()
    command = ["prlimit", "--fsize=200000"] + parcelo.command([parcelo.path(box), parcelo.path(out), "/p", "/n"])
    # Python ignores SIGXFSZ; kept ignored, the write fails instead of ending the program.
    result = subprocess.run(command, env=parcelo.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            restore_signals=False, timeout=120)
    assert result.returncode == 2, result
    folder = out / "box"
    assert_logged(parcelo, WRITE_FILE, folder / "00000004.eml")
    assert error_count_line(parcelo) == ["1 Fehler."]
    for n in (1, 2, 3, 5):
        assert (folder / ("%08d.eml" % n)).read_bytes() == written(n), n
    short = (folder / "00000004.eml").read_bytes()
    assert 0 < len(short) < len(written(4, body=big)) and written(4, body=big).startswith(short)


# ---------------------------------------------------------------- folders and mailboxes

def two_mailboxes(tmp_path):
    source = tmp_path / "in"
    source.mkdir()
    (source / "a.mbx").write_bytes(message(1) + message(2))
    (source / "b.mbx").write_bytes(message(3))
    return source


def test_read_only_output_folder_is_reported_per_mailbox(parcelo, tmp_path):
    source = two_mailboxes(tmp_path)
    out = tmp_path / "out"
    out.mkdir()
    with read_only(out):
        result = run(parcelo, source / "*.mbx", out)
        assert result.returncode == 2, result
        assert line_after(parcelo, CREATE_DIR, str(out / "a") + os.sep) == READ_ONLY[parcelo.kind]
        assert line_after(parcelo, CREATE_DIR, str(out / "b") + os.sep) == READ_ONLY[parcelo.kind]
        assert error_count_line(parcelo) == ["2 Fehler."]
        assert listing(out) == set()


def test_read_only_output_folder_with_d_is_reported_per_message(parcelo, tmp_path):
    source = two_mailboxes(tmp_path)
    out = tmp_path / "out"
    out.mkdir()
    with read_only(out):
        result = run(parcelo, source / "*.mbx", out, "/d", "/n")
        assert result.returncode == 2, result
        for name in ("00000001.eml", "00000002.eml", "00000003.eml"):
            assert line_after(parcelo, "Fehler beim Erzeugen der Datei '%s'.", out / name) == READ_ONLY[parcelo.kind]
        assert error_count_line(parcelo) == ["3 Fehler."]


def test_a_file_where_the_mailbox_folder_goes_skips_only_that_mailbox(parcelo, tmp_path):
    source = two_mailboxes(tmp_path)
    out = tmp_path / "out"
    out.mkdir()
    (out / "a").write_bytes(b"in the way")
    result = run(parcelo, source / "*.mbx", out, "/n")
    assert result.returncode == 2, result
    # No reason: the system only said that something is there.
    assert line_after(parcelo, CREATE_DIR, str(out / "a") + os.sep) == "1 Fehler."
    assert (out / "a").read_bytes() == b"in the way"
    assert (out / "b" / "00000001.eml").read_bytes() == written(3)
    assert error_count_line(parcelo) == ["1 Fehler."]


def test_a_mailbox_locked_by_another_process_is_skipped(parcelo, tmp_path):
    source = two_mailboxes(tmp_path)
    out = tmp_path / "out"
    with open(source / "a.mbx", "r+b") as held:
        fcntl.lockf(held, fcntl.LOCK_EX)
        result = run(parcelo, source / "*.mbx", out, "/n")
    assert result.returncode == 2, result
    assert line_after(parcelo, READ_ERROR, source / "a.mbx") == LOCKED
    assert not (out / "a").exists()
    assert (out / "b" / "00000001.eml").read_bytes() == written(3)


def test_mailboxes_that_change_after_the_listing(parcelo, tmp_path):
    """a.mbx is a gate: the run waits for it after listing the folder, while b.mbx becomes
    a folder and c.mbx disappears; d.mbx is split as usual."""
    source = tmp_path / "in"
    source.mkdir()
    gate = parcelo.gate(source / "a.mbx")
    for name, number in (("b.mbx", 2), ("c.mbx", 3), ("d.mbx", 4)):
        (source / name).write_bytes(message(number))
    out = tmp_path / "out"
    parcelo.clear_log()
    process = parcelo.start([parcelo.path(source / "*.mbx"), parcelo.path(out), "/p", "/n"],
                            stdin=subprocess_devnull(), stdout=subprocess_devnull(),
                            stderr=subprocess_devnull())
    gate.wait_opened(process)
    (source / "b.mbx").unlink()
    (source / "b.mbx").mkdir()
    (source / "c.mbx").unlink()
    gate.feed_all(message(1), process)
    gate.close(process)
    assert process.wait(timeout=120) == 2
    assert_logged(parcelo, READ_ERROR, source / "b.mbx")
    assert line_after(parcelo, READ_ERROR, source / "c.mbx") == NOT_FOUND
    assert (out / "a" / "00000001.eml").read_bytes() == written(1)
    assert (out / "d" / "00000001.eml").read_bytes() == written(4)
    assert not (out / "b").exists() and not (out / "c").exists()
    assert error_count_line(parcelo) == ["2 Fehler."]


def subprocess_devnull():
    return open(os.devnull, "r+b")


# ---------------------------------------------------------------- sizes

GIB2 = 2 ** 31


@pytest.mark.parametrize("size", [GIB2 + 1, 4 * 2 ** 30 + 10], ids=["2GiB+1", "4GiB+10"])
def test_mailboxes_over_2_gib_are_refused_unread(parcelo, tmp_path, size):
    source = tmp_path / "in"
    source.mkdir()
    # A valid message first: had the file been read, its folder would exist.
    big = sparse_file(source / "big.mbx", size, message(1))
    (source / "small.mbx").write_bytes(message(2))
    out = tmp_path / "out"
    result = run(parcelo, source / "*.mbx", out, "/n")
    assert result.returncode == 2, result
    assert_logged(parcelo, TOO_LARGE, big)
    assert not (out / "big").exists()
    assert (out / "small" / "00000001.eml").read_bytes() == written(2)
    assert error_count_line(parcelo) == ["1 Fehler."]


def test_a_mailbox_of_exactly_2_gib_is_read(parcelo, tmp_path):
    # Zeros after a first line that is no separator: only reading it can tell.
    big = sparse_file(tmp_path / "big.mbx", GIB2, b"no separator here\n")
    out = tmp_path / "out"
    result = run(parcelo, big, out)
    assert result.returncode == 2, result
    assert_logged(parcelo, UNKNOWN, big)
    assert not [line for line in log_lines(parcelo) if "zu groß" in line]


# ---------------------------------------------------------------- overlong paths

def expect_crash_path(parcelo, result):
    assert result.returncode == 3, result
    report = parcelo.crash_path.read_bytes().replace(b"\r\n", b"\n").decode(
        "cp1252" if parcelo.kind == "wine" else "utf-8")
    assert report.endswith("------------\nparcelo 0.68\nFehler beim Verarbeiten der Datei '' (0 bytes).\n"), report
    # The diagnostic report comes first.
    assert not report.startswith("------------"), report
    shown = [line for line in log_lines(parcelo) if line.startswith(CRASH.split("%s")[0])]
    assert len(shown) == 1, parcelo.log_text()
    path = shown[0][len(CRASH.split("%s")[0]):-2]
    if parcelo.kind == "native":
        assert Path(path) == parcelo.crash_path
    else:  # the prefix's own temporary folder, on its C: drive
        assert PureWindowsPath(path).name == "ex.err" and path[1:3] == ":\\", path


def test_a_specification_over_255_characters_takes_the_crash_path(parcelo, tmp_path):
    parcelo.crash_path.unlink(missing_ok=True)
    deep = tmp_path / ("d" * 120) / ("e" * 120)
    deep.mkdir(parents=True)
    (deep / "box.mbx").write_bytes(message(1))
    spec = deep / "*.mbx"
    assert len(parcelo.path(spec)) > 255
    result = run(parcelo, spec, tmp_path / "out")
    expect_crash_path(parcelo, result)
    assert listing(tmp_path / "out") == set()


def test_a_long_path_without_wildcards_takes_the_crash_path_too(parcelo, tmp_path):
    # Resolving the two paths lists them too, before the run; the failure must still be
    # reported like any other unexpected one, not end the program without a word.
    parcelo.crash_path.unlink(missing_ok=True)
    deep = tmp_path / ("d" * 120) / ("e" * 120)
    deep.mkdir(parents=True)
    (deep / "box.mbx").write_bytes(message(1))
    result = run(parcelo, deep / "box.mbx", tmp_path / "out")
    expect_crash_path(parcelo, result)


# ---------------------------------------------------------------- cancelling

def interrupt_until_ended(process, gate, line):
    """Ctrl-C, then lines until the run ends: the reader asks for whole blocks, and the run
    sees the Ctrl-C with the next lines it takes in."""
    process.send_signal(signal.SIGINT)
    deadline = time.monotonic() + 120
    while process.poll() is None:
        assert time.monotonic() < deadline, "Ctrl-C did not end the run"
        gate.feed(line * 400)
        time.sleep(0.01)
    return process.returncode


@pytest.mark.native_only
def test_ctrl_c_in_the_middle_of_a_message_leaves_no_partial_file(parcelo, tmp_path):
    box = tmp_path / "box.mbx"
    gate = parcelo.gate(box)
    out = tmp_path / "out"
    parcelo.clear_log()
    process = parcelo.start([str(box), str(out), "/p", "/n"], stdin=subprocess_devnull(),
                            stdout=subprocess_devnull(), stderr=subprocess_devnull())
    # Message 2 has begun and, the gate being open, cannot end.
    line = b"w" * 79 + b"\n"
    gate.feed_all(message(1) + message(2, body=line), process)
    second = out / "box" / "00000002.eml"
    deadline = time.monotonic() + 120
    while not second.exists():
        assert process.poll() is None, "the run ended before the second message was begun"
        assert time.monotonic() < deadline
        gate.feed(line * 400)
        time.sleep(0.01)
    assert interrupt_until_ended(process, gate, line) == 2
    assert not second.exists()
    assert (out / "box" / "00000001.eml").read_bytes() == written(1)
    assert not (out / "box" / "00000003.eml").exists()
    lines = log_lines(parcelo)
    assert "Abbruch durch den Benutzer." in lines, parcelo.log_text()
    assert not [line for line in lines if line.startswith("Fehler beim Lesen")], parcelo.log_text()


@pytest.mark.native_only
def test_ctrl_c_while_the_mailbox_is_slow_to_come_is_a_cancel(parcelo, tmp_path):
    """A mailbox on a pipe (or a slow network share) keeps the reader waiting; a Ctrl-C then
    must cancel the run, not pass as a read error of the mailbox."""
    box = tmp_path / "box.mbx"
    gate = parcelo.gate(box)
    out = tmp_path / "out"
    parcelo.clear_log()
    process = parcelo.start([str(box), str(out), "/p", "/n"], stdin=subprocess_devnull(),
                            stdout=subprocess_devnull(), stderr=subprocess_devnull())
    gate.feed_all(message(1) + message(2), process)
    deadline = time.monotonic() + 120
    while not gate.reader_waits(process.pid):
        assert process.poll() is None, "the run ended without waiting for its mailbox"
        assert time.monotonic() < deadline, "the reader never waited for the pipe"
        time.sleep(0.01)
    assert interrupt_until_ended(process, gate, b"more\n") == 2
    lines = log_lines(parcelo)
    assert "Abbruch durch den Benutzer." in lines, parcelo.log_text()
    assert not [line for line in lines if line.startswith("Fehler beim Lesen")], parcelo.log_text()
    assert listing(out) <= {"box/"}
