"""POSIX paths in any script, and names that are not UTF-8 at all, from the command line and
the directory listing to the files written and back into the log."""

import os
import subprocess
import time

import pytest

from app_support import answer_box, body_lines, exit_code, log_blocks, mbox, wait_for_box
from conftest import parse_windows
from ui_support import MessageFeed

MAILBOXES = ["Входящие.mbox", "Спам", "Чаты", os.fsdecode(b"caf\xe9.mbox")]


@pytest.mark.native_only
@pytest.mark.parametrize("form", ["pattern", "directory"])
def test_mailboxes_in_any_script(parcelo, tmp_path, form):
    folder = tmp_path / "下载"
    folder.mkdir()
    for number, name in enumerate(MAILBOXES, 1):
        (folder / name).write_bytes(mbox(*[f"Nachricht {number}.{k}" for k in range(number)]))
    temp = tmp_path / "Временные файлы"
    temp.mkdir()
    config = tmp_path / "Настройки"
    (config / "parcelo").mkdir(parents=True)
    (config / "parcelo" / "parcelo.ini").write_text("[mailfiles]\nfileextension=txt\n")
    spec = str(folder / "*") if form == "pattern" else str(folder)
    out = tmp_path / "Вывод"

    result = parcelo.run([spec, str(out), "/p"], env={"TMPDIR": str(temp), "XDG_CONFIG_HOME": str(config)})
    assert result.returncode == 0, result.stderr

    # "Спам" and "Чаты" once both became "____": one folder, messages mixed.
    written = {entry.name: sorted(f.suffix for f in entry.iterdir()) for entry in out.iterdir()}
    assert written == {"Входящие": [".txt"], "Спам": [".txt"] * 2, "Чаты": [".txt"] * 3,
                       os.fsdecode(b"caf\xe9"): [".txt"] * 4}
    [block] = log_blocks((temp / "parcelo.log").read_text(encoding="utf-8"))
    assert block[2:4] == ["   " + spec, "   " + str(out)]
    assert body_lines(block) == ["0 Fehler."]



def _count_files(out):
    """folder -> number of message files, for every folder below out that holds any."""
    return {folder.relative_to(out).as_posix(): len(list(folder.glob("*.eml")))
            for folder in [out, *out.rglob("*")] if folder.is_dir() and any(folder.glob("*.eml"))}


@pytest.mark.parametrize("tree", [False, True], ids=["folder", "tree"])
def test_paths_in_any_script_with_and_without_tree(parcelo, tmp_path, tree):
    mail = tmp_path / "users" / "Łukasz" / "Mail"
    # Some 130 characters in all, but more than 255 bytes inside: still not too deep.
    letters = mail / "Письма от мамы, папы и бабушки.sbd"
    letters.mkdir(parents=True)
    (mail / "Inbox").write_bytes(mbox("Eins"))
    (letters / "Входящие").write_bytes(mbox("Zwei", "Drei"))
    (letters / "Спам").write_bytes(mbox("Vier", "Fuenf", "Sechs"))
    # What the ANSI command line made of "Łukasz" once: a folder the user never named.
    decoy = tmp_path / "users" / "Lukasz" / "Mail"
    decoy.mkdir(parents=True)
    (decoy / "Inbox").write_bytes(mbox("Falsch"))
    out = tmp_path / "Ausgabe"

    spec, switches = (mail, ["/s"]) if tree else (letters, [])
    result = parcelo.run([parcelo.path(spec), parcelo.path(out), "/p", *switches])
    assert result.returncode == 0, result

    expected = {"Входящие": 2, "Спам": 3}
    if tree:
        expected = {"Inbox": 1, **{f"{letters.stem}/{name}": n for name, n in expected.items()}}
    assert _count_files(out) == expected
    if parcelo.kind == "native":
        [block] = log_blocks(parcelo.log_path.read_text(encoding="utf-8"))
        shown = parcelo.path(spec)
    else:
        # The log stays in the ANSI code page; what it lacks is written as its Unicode value.
        [block] = log_blocks(parcelo.log_path.read_bytes().decode("cp1252"))
        shown = "".join(c if ord(c) < 0x100 else f"<U+{ord(c):04X}>" for c in parcelo.path(spec))
    assert block[2] == "   " + shown
    assert body_lines(block) == ["0 Fehler."]


@pytest.mark.wine_only
def test_windows_fullwidth_solidus_is_a_letter(parcelo, tmp_path):
    data = tmp_path / "data"
    (data / "a").mkdir(parents=True)
    (data / "a／b.mbox").write_bytes(mbox("Richtig"))
    (data / "a" / "b.mbox").write_bytes(mbox("Falsch"))  # where "/" would have led
    out = tmp_path / "x／y"

    result = parcelo.run([parcelo.path(data / "a／b.mbox"), parcelo.path(out), "/p"])
    assert result.returncode == 0, result
    assert [p.relative_to(tmp_path).as_posix() for p in sorted(tmp_path.rglob("*.eml"))] == \
        ["x／y/a／b/Richtig_362150200.eml"]


@pytest.mark.wine_only
def test_windows_window_and_boxes_show_any_script(parcelo, tmp_path):
    folder = tmp_path / "Письма"
    folder.mkdir()
    feed = MessageFeed(parcelo.gate(folder / "Łódź.mbx"), 10)
    out = tmp_path / "Ausgabe"
    process = parcelo.start([parcelo.path(folder / "*.mbx"), parcelo.path(out), "/n"],
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 120
    while True:  # the names come when the run begins the mailbox
        found = parcelo.wintest("wait", "parcelo", "--class", "parcelo_progress", "--timeout", "60", timeout=70)
        assert found.returncode == 0, found
        (window,) = parse_windows(found)
        if window.controls[2].text or time.monotonic() > deadline:
            break
        time.sleep(0.05)
    assert window.controls[2].text.lower() == parcelo.path(folder / "Łódź.mbx").lower()
    assert window.controls[4].text.lower().rstrip("\\") == parcelo.path(out / "Łódź").lower()
    feed.finish(process)
    assert exit_code(process) == 0

    missing = folder / "Нет.mbx"
    process = parcelo.start([parcelo.path(missing), parcelo.path(out)],
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    assert wait_for_box(parcelo, process) == f"Datei '{parcelo.path(missing)}' nicht gefunden."
    answer_box(parcelo, "OK")
    assert exit_code(process) == 1
