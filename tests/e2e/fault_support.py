"""Helpers for the fault and hostile-input tests: mounts, sparse files, mailboxes."""

import os
import subprocess
from contextlib import contextmanager

import pytest

FOX = b"\x10" * 7 + b"\x11" * 6 + b"S\n"


def message(number, subject=None, body=b"", separator=b"From a@b Mon Jan  1 10:00:00 2024\n"):
    """One valid mbox message; `subject` may be bytes (any bytes at all)."""
    if subject is None:
        subject = b"Nachricht %d" % number
    return (separator +
            b"Date: Mon, 01 Jan 2024 10:%02d:00 +0000\n" % (number % 60) +
            b"From: someone@example.org\n"
            b"Subject: " + subject + b"\n"
            b"\n" + (body or b"Text %d\n" % number))


def crlf(data):
    return data.replace(b"\n", b"\r\n")


def written(number, subject=None, body=b""):
    """What the program writes for message(number, ...): no separator, CR LF line ends."""
    whole = message(number, subject, body)
    return crlf(whole[whole.index(b"\n") + 1:])


def numbered(directory, count):
    return [directory / ("%08d.eml" % n) for n in range(1, count + 1)]


def _root_command(args):
    result = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    return result.returncode, result.stdout.decode("utf-8", "replace")


@contextmanager
def mounted(kind, target, options):
    """A mount that the test owns; skips the test when this machine does not allow it."""
    target.mkdir(parents=True, exist_ok=True)
    source = "tmpfs" if kind == "tmpfs" else str(target)
    args = ["mount"] + (["-t", "tmpfs"] if kind == "tmpfs" else ["--bind"]) + ["-o", options, source, str(target)]
    code, output = _root_command(args)
    if code != 0:
        pytest.skip(f"cannot mount here ({output.strip()})")
    try:
        yield target
    finally:
        _root_command(["umount", "-l", str(target)])


@contextmanager
def read_only(directory):
    """`directory` bound onto itself and made read-only (root may write anywhere else)."""
    with mounted("bind", directory, "bind"):
        code, output = _root_command(["mount", "-o", "remount,bind,ro", str(directory)])
        if code != 0:
            pytest.skip(f"cannot remount read-only ({output.strip()})")
        probe = directory / "probe"
        try:
            probe.write_bytes(b"")
            pytest.skip("a read-only mount still takes files here")
        except OSError:
            pass
        yield directory


def sparse_file(path, size, head=b""):
    """`head`, then zeros up to `size` bytes, without writing the zeros to disk."""
    with open(path, "wb") as out:
        out.write(head)
        out.truncate(size)
    return path


def log_lines(parcelo):
    return parcelo.log_text().splitlines()


def same_path(parcelo, shown, local):
    """Does a path the program printed name `local`? Wine paths compare without case."""
    expected = parcelo.path(local)
    if parcelo.kind == "wine":
        return shown.lower() == expected.lower()
    return shown == expected


def assert_logged(parcelo, template, local):
    """The log holds `template` (one %s) formatted with the path of `local`."""
    prefix, suffix = template.split("%s")
    for line in log_lines(parcelo):
        if line.startswith(prefix) and line.endswith(suffix):
            if same_path(parcelo, line[len(prefix):len(line) - len(suffix)], local):
                return line
    raise AssertionError(f"no line {template!r} for {local} in the log:\n{parcelo.log_text()}")


def line_after(parcelo, template, local):
    """The log line that follows `template` for `local`: where the reason stands."""
    lines = log_lines(parcelo)
    index = lines.index(assert_logged(parcelo, template, local))
    return lines[index + 1] if index + 1 < len(lines) else None


def listing(root):
    """Every path below `root`, relative, directories with a trailing "/"."""
    found = set()
    for dirpath, dirnames, filenames in os.walk(root):
        rel = os.path.relpath(dirpath, root)
        for name in dirnames:
            found.add(os.path.normpath(os.path.join(rel, name)) + "/")
        for name in filenames:
            found.add(os.path.normpath(os.path.join(rel, name)))
    return found
