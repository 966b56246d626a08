"""POSIX paths in any script, and names that are not UTF-8 at all, from the command line and
the directory listing to the files written and back into the log."""

import os

import pytest

from app_support import body_lines, log_blocks, mbox

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

