"""A real mailbox over 2 GiB: refused by default, split whole once parcelo.ini lifts the limit."""

import shutil

import pytest

from fault_support import assert_logged, log_lines, message, numbered, written

TOO_LARGE = "Die Datei '%s' ist zu groß (> %d GiB)."
MESSAGES = 3
CHUNKS = 700  # per message, of 1 MiB: 2100 MiB in all, past 2^31
# 1 MiB of lines of 1024 bytes; each chunk starts with its own number, so a chunk written
# twice or left out cannot pass as another.
TAIL = (b"x" * 1023 + b"\n") * 1023 + b"y" * 1015 + b"\n"


def chunk(number):
    return b"%08d" % number + TAIL


@pytest.fixture(scope="module")
def big_mailbox(tmp_path_factory):
    """Made once for both builds and deleted at the end: the disk is shared."""
    folder = tmp_path_factory.mktemp("big")
    path = folder / "big.mbox"
    with open(path, "wb") as out:
        for n in range(1, MESSAGES + 1):
            out.write(message(n, body=b"\n"))
            for k in range(CHUNKS):
                out.write(chunk(n * CHUNKS + k))
    assert path.stat().st_size > 2 ** 31
    yield path
    shutil.rmtree(folder)


def split(parcelo, mailbox, out):
    parcelo.clear_log()
    return parcelo.run([parcelo.path(mailbox), parcelo.path(out), "/p", "/n"], timeout=600)


def test_over_2_gib_only_with_the_key(parcelo, tmp_path, big_mailbox):
    out = tmp_path / "out"
    for settings, limit in ((None, 2), ("[Mailboxes]\nMaxMailboxSize = 1\n", 1)):
        if settings:
            parcelo.settings_path.write_text(settings)
        result = split(parcelo, big_mailbox, out)
        assert result.returncode == 2, result
        assert_logged(parcelo, TOO_LARGE.replace("%d", str(limit)), big_mailbox)
        assert list(out.iterdir()) == []

    parcelo.settings_path.write_text("[Mailboxes]\nMaxMailboxSize = 0\n")
    try:
        result = split(parcelo, big_mailbox, out)
        assert result.returncode == 0, (result, log_lines(parcelo))
        files = numbered(out / "big", MESSAGES)
        assert sorted((out / "big").iterdir()) == files
        for n, path in enumerate(files, 1):
            with open(path, "rb") as got:
                assert got.read(len(written(n, body=b"\n"))) == written(n, body=b"\n")
                crlf_tail = TAIL.replace(b"\n", b"\r\n")
                for k in range(CHUNKS):
                    expected = b"%08d" % (n * CHUNKS + k) + crlf_tail
                    assert got.read(len(expected)) == expected, (path, k)
                assert got.read(1) == b""
    finally:
        shutil.rmtree(out, ignore_errors=True)
