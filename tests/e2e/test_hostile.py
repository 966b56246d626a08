"""Hostile mailboxes: NUL bytes, invalid UTF-8 and 8-bit garbage, a line of hundreds of
megabytes, a header without an end, thousands of equal subjects and subjects that make
device names or climb out of the folder. No crash, nothing written outside the output
folder, no name Windows refuses, memory bounded by the longest line; and on POSIX the log
and the crash report in the shared temporary folder are not opened through planted links
or files of another user."""

import os
import subprocess
import sys

import pytest

from fault_support import crlf, listing, message, numbered, sparse_file, written

RESERVED = set('<>:"/\\|?*')
DEVICES = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"} | \
    {f"{p}{d}" for p in ("COM", "LPT") for d in "123456789\u00b9\u00b2\u00b3"}


def windows_fault(name):
    """Why Windows would refuse or alter the file name, or None."""
    if not name or name in (".", ".."):
        return "empty or a folder name"
    if len(name) > 255:
        return "too long"
    if any(ord(c) < 32 or c in RESERVED for c in name):
        return "reserved character"
    if name[-1] in " .":
        return "trailing blank or dot"
    if name.split(".")[0].rstrip(" ").upper() in DEVICES:
        return "device name"
    return None


def check_output(out, expected_files):
    """Every file directly in a mailbox folder, with valid names distinct without case,
    and exactly the expected contents."""
    contents = []
    for folder in out.iterdir():
        assert folder.is_dir(), folder
        seen = {}
        for path in folder.iterdir():
            assert path.is_file(), path
            fault = windows_fault(path.name)
            assert fault is None, f"{path.name!r}: {fault}"
            assert path.name.casefold() not in seen, (path.name, seen.get(path.name.casefold()))
            seen[path.name.casefold()] = path.name
            contents.append(path.read_bytes())
    assert sorted(contents) == sorted(expected_files)


def assert_nothing_outside(root, before, parcelo):
    """Nothing new below `root` but the output folder (and, natively, the log)."""
    temp = os.path.relpath(parcelo.temp_dir, root) + "/"
    new = {p for p in listing(root) - before if not p.startswith(("out/", temp))}
    assert new == set()


def normalised(data):
    """Every CR LF and lone CR as LF, as the reader hands lines out."""
    return data.replace(b"\r\n", b"\n").replace(b"\r", b"\n")


def run(parcelo, spec, out, *switches, timeout=300):
    parcelo.clear_log()
    return parcelo.run([parcelo.path(spec), parcelo.path(out), "/p", *switches], timeout=timeout)


GARBAGE_SUBJECTS = [
    b"nul\x00byte", b"\xff\xfe\xfd invalid utf-8 \xc3\x28 \xe2\x82", b"\x80\x81\x9f\xa0",
    b"=?utf-8?b?/w==?=", b"=?utf-8?q?=00=FF?=", b"\x1a\x1b\x7f", b"\xe4\xf6\xfc\xdf \xc4\xd6\xdc",
]


def test_nul_bytes_invalid_utf8_and_8bit_garbage(parcelo, tmp_path):
    source = tmp_path / "in"
    source.mkdir()
    bodies = [b"\x00\x00\x00\n", b"\xc3\x28\xa0\xa1\n\xf0\x28\x8c\x28\n", bytes(range(14, 256)) + b"\n",
              b"a\x00b\r\x00\r\n", b"\x1a\x1a\n", b"\xef\xbb\xbf\n", b"x\n"]
    box = b"".join(message(n + 1, subject, body)
                   for n, (subject, body) in enumerate(zip(GARBAGE_SUBJECTS, bodies)))
    (source / "box.mbx").write_bytes(box)
    out = tmp_path / "out"
    before = listing(tmp_path)
    result = run(parcelo, source / "box.mbx", out)
    assert result.returncode == 0, (result, parcelo.log_text())
    expected = [written(n + 1, subject, normalised(body)).replace(b"\x1a", b"<EOF>")
                for n, (subject, body) in enumerate(zip(GARBAGE_SUBJECTS, bodies))]
    check_output(out, expected)
    assert_nothing_outside(tmp_path, before, parcelo)


def test_subjects_that_name_devices_climb_or_differ_only_in_case(parcelo, tmp_path):
    subjects = [b"CON", b"con", b"NUL", b"nul.txt", b"AUX .x", b"PRN. Termin", b"COM1", b"lpt9",
                b"COM\xb9", b"CONIN$", b"..", b".", b"...", b"../../escape", b"..\\..\\escape",
                b"/etc/passwd", b"C:\\Windows\\x", b"a.", b"a ", b"Hallo", b"HALLO", b"hallo",
                b"H\xc4LLO", b"h\xe4llo", b"=?utf-8?q?=2E=2E=2F=2E=2E?=", b"=?utf-8?b?Q09O?=",
                b"\t \x01", b"?*<>|\"", b"x" * 400]
    source = tmp_path / "in"
    source.mkdir()
    (source / "box.mbx").write_bytes(b"".join(message(1, s, b"%d\n" % n) for n, s in enumerate(subjects)))
    out = tmp_path / "out"
    before = listing(tmp_path)
    result = run(parcelo, source / "box.mbx", out)
    assert result.returncode == 0, (result, parcelo.log_text())
    check_output(out, [written(1, s, b"%d\n" % n) for n, s in enumerate(subjects)])
    assert_nothing_outside(tmp_path, before, parcelo)


def test_thousands_of_equal_subjects(parcelo, tmp_path):
    box = tmp_path / "box.mbx"
    count = 1500
    box.write_bytes(b"".join(message(1, (b"Hallo", b"HALLO", b"h\xe4llo")[n % 3], b"%d\n" % n)
                             for n in range(count)))
    out = tmp_path / "out"
    result = run(parcelo, box, out)
    assert result.returncode == 0, result
    check_output(out, [written(1, (b"Hallo", b"HALLO", b"h\xe4llo")[n % 3], b"%d\n" % n) for n in range(count)])


def test_a_header_block_without_an_end(parcelo, tmp_path):
    box = tmp_path / "box.mbx"
    fields = b"".join(b"X-Field-%d: value\r\n" % n for n in range(200_000))
    box.write_bytes(message(1) + b"From a\r\nDate: Mon, 01 Jan 2024 10:00:00 +0000\r\nFrom: b\r\n" + fields)
    out = tmp_path / "out"
    result = run(parcelo, box, out, "/n")
    assert result.returncode == 0, result
    first, second = numbered(out / "box", 2)
    assert first.read_bytes() == written(1)
    assert second.read_bytes() == crlf(b"Date: Mon, 01 Jan 2024 10:00:00 +0000\nFrom: b\n") + fields


def peak_memory_run(parcelo, args):
    """Runs the native program in a child of its own; returns (exit code, peak RSS in bytes)."""
    probe = ("import resource, subprocess, sys\n"
             "code = subprocess.run(sys.argv[1:], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,"
             " stderr=subprocess.DEVNULL).returncode\n"
             "print(code, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss * 1024)\n")
    result = subprocess.run([sys.executable, "-c", probe, *parcelo.command(args)], env=parcelo.env,
                            stdout=subprocess.PIPE, timeout=600, check=True)
    code, peak = result.stdout.split()
    return int(code), int(peak)


@pytest.mark.native_only
def test_a_line_of_300_mb_keeps_memory_bounded(parcelo, tmp_path):
    line = 300 * 2 ** 20
    box = tmp_path / "box.mbx"
    head = message(1) + message(2, body=b"")[:-len(b"Text 2\n")]
    # The long line is a run of NUL bytes: sparse on disk, written straight through.
    sparse_file(box, len(head) + line, head)
    with open(box, "ab") as tail:
        tail.write(b"\n" + message(3))
    out = tmp_path / "out"
    code, peak = peak_memory_run(parcelo, [str(box), str(out), "/p", "/n"])
    assert code == 0
    first, second, third = numbered(out / "box", 3)
    assert first.read_bytes() == written(1)
    assert second.stat().st_size == len(written(2, body=b"\n")) + line
    assert third.read_bytes() == written(3)
    second.unlink()
    # The reader holds the line while the writer holds it back for one step: a few times
    # the line, never anything that grows with the mailbox.
    assert peak < 5 * line, f"peak {peak / 2**20:.0f} MiB for a line of {line / 2**20:.0f} MiB"


@pytest.mark.native_only
def test_memory_does_not_grow_with_the_mailbox(parcelo, tmp_path):
    # 100 MB of messages, all before the minimum date: read through, none written.
    box = tmp_path / "box.mbx"
    one = message(1, b"s", b"line\n" * 50)
    with open(box, "wb") as out_file:
        out_file.write(one * (100 * 2 ** 20 // len(one)))
    out = tmp_path / "out"
    code, peak = peak_memory_run(parcelo, [str(box), str(out), "/p", "/MinDate=2030-01-01"])
    assert code == 0
    assert not out.exists() or listing(out) == set()
    assert peak < 48 * 2 ** 20, f"peak {peak / 2**20:.0f} MiB"


# ---------------------------------------------------------------- the shared temporary folder

def run_writing(parcelo, tmp_path, planted):
    """A run that writes `planted`: the log of a clean run with /p, or the crash report of a
    run that ends through the crash routine (a mailbox path over 255 characters)."""
    if planted == "parcelo.log":
        box = tmp_path / "box.mbx"
        box.write_bytes(message(1))
        result = parcelo.run([str(box), str(tmp_path / "out"), "/p"])
        assert result.returncode == 0, result
    else:
        deep = tmp_path / ("d" * 120) / ("e" * 120)
        deep.mkdir(parents=True)
        result = run(parcelo, deep / "*.mbx", tmp_path / "out")
        assert result.returncode == 3, result


@pytest.mark.native_only
@pytest.mark.parametrize("planted", ["parcelo.log", "ex.err"])
def test_planted_links_in_the_temporary_folder_are_not_followed(parcelo, tmp_path, planted):
    victim = tmp_path / "victim.txt"
    victim.write_bytes(b"precious\n")
    link = parcelo.temp_dir / planted
    link.unlink(missing_ok=True)
    link.symlink_to(victim)
    run_writing(parcelo, tmp_path, planted)
    assert victim.read_bytes() == b"precious\n"
    assert link.is_symlink()


@pytest.mark.native_only
@pytest.mark.parametrize("planted", ["parcelo.log", "ex.err"])
def test_files_of_another_user_in_the_temporary_folder_are_left_alone(parcelo, tmp_path, planted):
    if os.geteuid() != 0:
        pytest.skip("giving a file to another user needs root")
    foreign = parcelo.temp_dir / planted
    foreign.write_bytes(b"not yours\n")
    os.chown(foreign, 65534, 65534)
    run_writing(parcelo, tmp_path, planted)
    assert foreign.read_bytes() == b"not yours\n"
