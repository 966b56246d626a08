"""parcelo.ini: where it is read from, its errors and what it changes."""

import pytest

from app_support import (answer_box, body_lines, exit_code, mbox, native_stderr, only_block,
                         run_expecting, wait_for_box)

PREFIX_ERROR = "Ein Präfix mit einem Komma muss in Anführungszeichen eingeschlossen sein."
BUDGET_ERROR = "Die Erweiterung ist zu lang oder der Wert von 'MaxFilenameLength' ist zu klein."


def write_settings(parcelo, text):
    """The file in the encoding a user of that platform would save it in."""
    parcelo.settings_path.write_bytes(text.encode("cp1252" if parcelo.kind == "wine" else "utf-8"))


def framed(parcelo, message):
    return [f"Fehler in der Datei '{parcelo.path(parcelo.settings_path)}':", message,
            "Programm abgebrochen."]


@pytest.mark.parametrize("text,message", [
    ("; only a comment\n", "Keinen Abschnitt gefunden."),
    ("", "Keinen Abschnitt gefunden."),
    ("fileextension=txt\n", "Keinen Abschnitt gefunden."),
    ("[mailfiles\n", "Ungültiger Abschnitt in Zeile 1."),
    ("; comment\n\n[]\n", "Ungültiger Abschnitt in Zeile 3."),
    ("[MailFiles]\nFileExtension=a\n; x\nfileextension=b\n", "Doppelter Name in Zeile 4."),
    ("[mailfiles]\n[MAILFILES]\n", "Doppelter Name in Zeile 2."),
    ("[ mailfiles ]\n", "Unbekannter Abschnitt ' mailfiles '."),
    ("[mailfiles]\n[Extra]\n", "Unbekannter Abschnitt 'Extra'."),
    ("[mailfiles]\nGröße=1\n", "Unbekannter Schlüssel 'Größe'."),
    ("[mailfiles]\nprefixestoremove=re:,,fw:\n", PREFIX_ERROR),
    ('[mailfiles]\nprefixestoremove=""\n', PREFIX_ERROR),
    ('[mailfiles]\nreplaceinfilename="ab", "ba"\n', "Widerspruch ob 'a' ersetzt werden soll oder nicht."),
    # A replacement no name can hold is dropped, but only after the contradiction check.
    ('[mailfiles]\nreplaceinfilename="ab","b:"\n', "Widerspruch ob 'b' ersetzt werden soll oder nicht."),
    ('[mailfiles]\nreplaceinfilename=""""\n', "Widerspruch ob '\"' ersetzt werden soll oder nicht."),
    ("[mailfiles]\nmaxfilenamelength=20\nfileextension=.abcdefghijk\n", BUDGET_ERROR),
    ("[mailfiles]\nfileextension=..\\..\\evil\n", "Ungültige Dateierweiterung '..\\..\\evil'."),
], ids=["comment-only", "empty", "no-header", "no-bracket", "empty-name", "duplicate-key",
        "duplicate-section", "blanks-in-name", "unknown-section", "unknown-key", "empty-prefix",
        "quoted-empty-prefix", "contradiction", "contradiction-unsafe", "contradiction-quote",
        "name-budget", "escaping-extension"])
def test_errors_are_logged_in_their_frame(parcelo, tmp_path, text, message):
    write_settings(parcelo, text)
    out = tmp_path / "out"
    run_expecting(parcelo, [parcelo.path(tmp_path / "none.mbx"), parcelo.path(out), "/p"], 3)
    assert body_lines(only_block(parcelo)) == framed(parcelo, message)
    assert list(out.iterdir()) == []


def test_error_without_p_is_one_box_of_three_lines(parcelo, tmp_path):
    write_settings(parcelo, "[mailfiles]\nColour=red\n")
    args = [parcelo.path(tmp_path / "none.mbx"), parcelo.path(tmp_path / "out")]
    if parcelo.kind == "native":
        text = native_stderr(run_expecting(parcelo, args, 3))
    else:
        process = parcelo.start(args)
        text = wait_for_box(parcelo, process)
        answer_box(parcelo, "OK")
        assert exit_code(process) == 3
    assert text.strip().split("\n") == framed(parcelo, "Unbekannter Schlüssel 'Colour'.")
    assert not parcelo.log_path.exists()


def split_one(parcelo, tmp_path, *subjects):
    """Splits one mailbox with those subjects; the names of the files written."""
    (tmp_path / "inbox.mbx").write_bytes(mbox(*subjects))
    out = tmp_path / "out"
    run_expecting(parcelo, [parcelo.path(tmp_path / "inbox.mbx"), parcelo.path(out)], 0)
    return sorted(p.name for p in (out / "inbox").iterdir())


def test_without_settings_the_defaults_apply(parcelo, tmp_path):
    (name,) = split_one(parcelo, tmp_path, "Hallo Welt")
    assert name.startswith("Hallo Welt") and name.endswith(".eml"), name


def test_extension_and_replacements(parcelo, tmp_path):
    write_settings(parcelo, '[MailFiles]\nFileExtension = txt\nReplaceInFilename = " _", "._"\n')
    (name,) = split_one(parcelo, tmp_path, "Hallo Welt. Noch ein recht langer Betreff, der gekuerzt wird")
    assert name.startswith("Hallo_Welt__Noch_ein") and name.endswith(".txt"), name
    assert "___" in name and " " not in name, name


@pytest.mark.parametrize("value", ["", "."])
def test_empty_extension_writes_bare_names(parcelo, tmp_path, value):
    write_settings(parcelo, f"[mailfiles]\nfileextension={value}\n")
    (name,) = split_one(parcelo, tmp_path, "Hallo")
    assert name.startswith("Hallo") and "." not in name, name


def test_prefixes_replace_the_default_list(parcelo, tmp_path):
    write_settings(parcelo, "[mailfiles]\nPrefixesToRemove = Antw:, 'WG:'\n")
    names = split_one(parcelo, tmp_path, "Antw: Eins", "WG: Zwei", "Re: Drei")
    assert [n[:4] for n in names] == ["Eins", "Re. ", "Zwei"], names


def test_max_filename_length_shortens_names(parcelo, tmp_path):
    subject = "Ein Betreff mit vierzig Zeichen Laenge!!"
    write_settings(parcelo, "[mailfiles]\nmaxfilenamelength=25\n")
    (name,) = split_one(parcelo, tmp_path, subject)
    # 25 - (4 + 10) leaves 11 bytes: eight of the subject and the mark
    assert name.startswith("Ein Betr...") and name.endswith(".eml"), name


def test_lines_before_the_first_header_are_ignored(parcelo, tmp_path):
    write_settings(parcelo, "fileextension=txt\n[mailfiles]\n")
    (name,) = split_one(parcelo, tmp_path, "Hallo")
    assert name.endswith(".eml"), name


@pytest.mark.native_only
def test_configuration_folder_comes_before_the_program_folder(parcelo, tmp_path):
    write_settings(parcelo, "[mailfiles]\nfileextension=txt\n")
    for run in ("beside", "config", "directory"):
        (tmp_path / run).mkdir()
    assert split_one(parcelo, tmp_path / "beside", "Hallo")[0].endswith(".txt")
    parcelo.config_settings_path.parent.mkdir(parents=True)
    parcelo.config_settings_path.write_text("[mailfiles]\nfileextension=msg\n")
    assert split_one(parcelo, tmp_path / "config", "Hallo")[0].endswith(".msg")
    # A directory of that name is no settings file.
    parcelo.config_settings_path.unlink()
    parcelo.config_settings_path.mkdir()
    assert split_one(parcelo, tmp_path / "directory", "Hallo")[0].endswith(".txt")


@pytest.mark.native_only
def test_home_config_when_xdg_config_home_is_empty(parcelo, tmp_path):
    home_file = tmp_path / "home" / ".config" / "parcelo" / "parcelo.ini"
    home_file.parent.mkdir(parents=True)
    home_file.write_text("[mailfiles]\nColour=red\n")
    out = tmp_path / "out"
    result = parcelo.run([tmp_path / "none.mbx", out, "/p"],
                         env={"XDG_CONFIG_HOME": "", "HOME": str(tmp_path / "home")})
    assert result.returncode == 3, result
    assert body_lines(only_block(parcelo)) == [
        f"Fehler in der Datei '{home_file}':", "Unbekannter Schlüssel 'Colour'.",
        "Programm abgebrochen."]


@pytest.mark.native_only
def test_error_names_the_configuration_file(parcelo, tmp_path):
    write_settings(parcelo, "[mailfiles]\n")
    parcelo.config_settings_path.parent.mkdir(parents=True)
    parcelo.config_settings_path.write_text("[mailfiles]\n[Extra]\n")
    text = native_stderr(run_expecting(parcelo, [tmp_path / "none.mbx", tmp_path / "out"], 3))
    assert text.strip().split("\n") == [
        f"Fehler in der Datei '{parcelo.config_settings_path}':", "Unbekannter Abschnitt 'Extra'.",
        "Programm abgebrochen."]


def test_byte_order_mark_is_skipped(parcelo, tmp_path):
    write_settings(parcelo, "[mailfiles]\nfileextension=txt\n")
    parcelo.settings_path.write_bytes(b"\xef\xbb\xbf" + parcelo.settings_path.read_bytes())
    (name,) = split_one(parcelo, tmp_path, "Hallo")
    assert name.startswith("Hallo") and name.endswith(".txt"), name


def test_settings_file_that_is_a_directory_keeps_the_defaults(parcelo, tmp_path):
    parcelo.settings_path.mkdir()
    (name,) = split_one(parcelo, tmp_path, "Hallo")
    assert name.startswith("Hallo") and name.endswith(".eml"), name
