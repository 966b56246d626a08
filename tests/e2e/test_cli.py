"""The command line: usage, switches, the two paths, the run driver and exit codes."""

import pytest

from app_support import (UNKNOWN_FORMAT, answer_box, body_lines, exit_code, mbox,
                         native_stderr, only_block, run_expecting, wait_for_box)

LAST_USAGE_LINE = "/Message-ID=...  eindeutiger Kennzeichner einer Nachricht"
POSIX_LAST_USAGE_LINE = "--version          Die Version"
EXPANDED = "Die Shell hat das Muster bereits erweitert; bitte in Anführungszeichen setzen: parcelo '*.mbox' Ausgabe"


def shown_text(parcelo, args, code, caption="parcelo"):
    """Runs without /p: the text of the one box (Wine) or of stderr (native)."""
    if parcelo.kind == "native":
        return native_stderr(run_expecting(parcelo, args, code))
    process = parcelo.start(args)
    text = wait_for_box(parcelo, process, caption)
    answer_box(parcelo, "OK", caption)
    assert exit_code(process) == code
    return text


def mailbox_path(parcelo, path):
    """A mailbox path as messages quote it: Windows lower-cases its directory part."""
    if parcelo.kind == "native":
        return str(path)
    return parcelo.path(path.parent).lower() + "\\" + path.name


def logged_body(parcelo, args, code):
    """Runs with /p somewhere in args: the body lines of the one log block."""
    parcelo.clear_log()
    result = run_expecting(parcelo, args, code)
    assert not result.stdout, result
    return body_lines(only_block(parcelo))


# ---------------------------------------------------------------- usage

def without_named_fault(parcelo, text, fault):
    """POSIX names the faulty argument on a line before the usage; Windows shows the usage alone."""
    if parcelo.kind == "native":
        first, _, text = text.partition("\n")
        assert first == fault
    return text


@pytest.mark.parametrize("args", [[], ["only-one"]], ids=["no-arguments", "one-argument"])
def test_missing_paths_show_the_usage(parcelo, args):
    text = without_named_fault(parcelo, shown_text(parcelo, args, 3, caption="Info - parcelo"),
                               "Zu wenige Parameter.")
    assert text.startswith("parcelo 0.68    ")
    assert "\n\nTeilt Mailbox-Dateien im mbox-Format in einzelne E-Mail-Dateien auf.\n" in text
    assert "\n  Aufruf:      parcelo  <Dateispezifikation>  <Ausgabeverzeichnis>  [Optionen]\n" in text
    if parcelo.kind == "native":
        # Every switch in both forms, the quoted pattern and an example of this system.
        for switch in "pifnds":
            assert f"\n/{switch}  -{switch}  " in text, switch
        for switch in ("MinDate=J-M-T", "MaxDate=J-M-T", "Message-ID=ID"):
            assert f"\n/{switch}" in text and f" -{switch} " in text, switch
        assert "\n--  " in text and "\n--help  -h  " in text
        assert "parcelo '*.mbox' Ausgabe\n" in text
        assert "\n( Beispiel:    parcelo  '/home/anna/Mail/*.mbox'  /tmp/post  -n )\n" in text
        assert max(len(line) for line in text.splitlines()) <= 80
        assert text.rstrip("\n").endswith(POSIX_LAST_USAGE_LINE)
    else:
        assert "/p" + " " * 26 + "Im Falle eines Fehlers" in text
        assert text.rstrip("\n").endswith(LAST_USAGE_LINE)
    assert not parcelo.log_path.exists()


def test_unknown_switch_shows_the_usage(parcelo):
    text = without_named_fault(parcelo, shown_text(parcelo, ["in.mbx", "out", "/x"], 3, caption="Info - parcelo"),
                               "Unbekannter Parameter '/x'.")
    assert text.startswith("parcelo 0.68")


@pytest.mark.parametrize("switches", [
    ["/px"], ["/d=1"], ["-p"], ["/n", "/N"], ["/i", "/I"], ["/f", "/f"], ["/d", "/D"],
    ["/MinDate=2007-01-01", "/mindate=2008-01-01"], ["/Message-ID=a", "/message-id=b"],
], ids=lambda s: "+".join(s))
def test_unknown_and_repeated_switches_are_logged_syntax_errors(parcelo, switches):
    body = logged_body(parcelo, ["in.mbx", "out", "/p"] + switches, 3)
    # The log names the faulty argument too: the last one, or an unknown single one.
    unknown = len(switches) == 1 and not (switches[0] == "-p" and parcelo.kind == "native")
    fault = "Unbekannter Parameter '%s'." if unknown else "Doppelter Parameter '%s'."
    assert body == ["Syntaxfehler beim Aufruf des Programms.", fault % switches[-1]]


def test_p_twice_logs_the_syntax_error(parcelo):
    body = logged_body(parcelo, ["in.mbx", "out", "/p", "/P"], 3)
    assert body == ["Syntaxfehler beim Aufruf des Programms.", "Doppelter Parameter '/P'."]


# ---------------------------------------------------------------- dates and Message-IDs

@pytest.mark.parametrize("argument,quoted", [
    ("/MinDate=", ""), ("/MinDate=2007-13-01", "2007-13-01"), ("/MINDATE=1970-01-01", "1970-01-01"),
    ("/MaxDate=2007-02-29", "2007-02-29"),
])
def test_invalid_date_after_p_goes_to_the_log(parcelo, argument, quoted):
    body = logged_body(parcelo, ["in.mbx", "out", "/p", argument], 3)
    assert body == [f"Ungültiges Datum '{quoted}'.", "Programm abgebrochen."]


def test_invalid_date_before_p_is_shown(parcelo):
    parcelo.clear_log()
    text = shown_text(parcelo, ["in.mbx", "out", "/MinDate=2007-13-01", "/p"], 3)
    assert text.strip() == "Ungültiges Datum '2007-13-01'.\nProgramm abgebrochen."
    assert not parcelo.log_path.exists()


def test_invalid_date_wins_over_an_earlier_syntax_error(parcelo):
    body = logged_body(parcelo, ["in.mbx", "out", "/p", "/x", "/MaxDate=2100-12-32"], 3)
    assert body == ["Ungültiges Datum '2100-12-32'.", "Programm abgebrochen."]


def test_bang_alone_is_an_invalid_message_id(parcelo):
    body = logged_body(parcelo, ["in.mbx", "out", "/p", "/Message-ID=!"], 3)
    assert body == ["Ungültige Message-ID '!'.", "Programm abgebrochen."]


# ---------------------------------------------------------------- paths

def test_no_match_with_wildcards_ends_with_1(parcelo, tmp_path):
    spec = parcelo.path(tmp_path / "nothing*.mbx")
    body = logged_body(parcelo, [spec, parcelo.path(tmp_path / "out"), "/p"], 1)
    assert body == [f"Keine Datei passend zu '{spec}' gefunden."]


def test_missing_file_ends_with_1(parcelo, tmp_path):
    spec = parcelo.path(tmp_path / "missing.mbx")
    body = logged_body(parcelo, [spec, parcelo.path(tmp_path / "out"), "/p"], 1)
    assert body == [f"Datei '{spec}' nicht gefunden."]


def test_missing_file_without_p_is_shown(parcelo, tmp_path):
    spec = parcelo.path(tmp_path / "missing.mbx")
    text = shown_text(parcelo, [spec, parcelo.path(tmp_path / "out")], 1)
    assert text.strip() == f"Datei '{spec}' nicht gefunden."


def test_missing_output_directory_is_created_with_its_parents(parcelo, tmp_path):
    out = tmp_path / "new" / "deeper" / "out"
    run_expecting(parcelo, [parcelo.path(tmp_path / "missing.mbx"), parcelo.path(out), "/p"], 1)
    assert out.is_dir()


def test_spec_ending_in_a_separator_must_be_a_directory(parcelo, tmp_path):
    spec = parcelo.path(str(tmp_path / "nowhere") + "/")
    body = logged_body(parcelo, [spec, parcelo.path(tmp_path / "out"), "/p"], 3)
    assert body == [f"Ungültiges Verzeichnis '{spec}'.", "Programm abgebrochen."]


@pytest.mark.parametrize("kind", ["file", "wildcard"])
def test_output_that_is_no_directory_ends_with_3(parcelo, tmp_path, kind):
    if kind == "file":
        out = tmp_path / "plain.txt"
        out.write_bytes(b"x")
    else:
        out = tmp_path / "out*"
    body = logged_body(parcelo, [parcelo.path(tmp_path / "a.mbx"), parcelo.path(out), "/p"], 3)
    assert body == [f"Ungültiges Verzeichnis '{parcelo.path(out)}'.", "Programm abgebrochen."]


def test_uncreatable_output_directory_ends_with_3(parcelo, tmp_path):
    (tmp_path / "plain.txt").write_bytes(b"x")
    out = parcelo.path(tmp_path / "plain.txt" / "sub")
    body = logged_body(parcelo, [parcelo.path(tmp_path / "a.mbx"), out, "/p"], 3)
    assert body == [f"Fehler beim Erzeugen des Verzeichnisses '{out}'.", "Programm abgebrochen."]


# ---------------------------------------------------------------- the run driver

def test_directory_spec_takes_its_files_and_skips_sub_directories(parcelo, tmp_path):
    source = tmp_path / "post"
    (source / "inner").mkdir(parents=True)
    (source / "a.mbx").write_bytes(mbox("Eins"))
    (source / "inner" / "b.mbx").write_bytes(mbox("Zwei"))
    out = tmp_path / "out"
    body = logged_body(parcelo, [parcelo.path(source), parcelo.path(out), "/p"], 0)
    assert body == ["0 Fehler."]
    assert sorted(p.name for p in out.iterdir()) == ["a"]
    assert len(list((out / "a").iterdir())) == 1


def test_spec_matching_only_directories_ends_normally(parcelo, tmp_path):
    source = tmp_path / "post"
    (source / "one").mkdir(parents=True)
    (source / "two").mkdir()
    out = tmp_path / "out"
    body = logged_body(parcelo, [parcelo.path(source / "*"), parcelo.path(out), "/p"], 0)
    assert body == ["0 Fehler."]
    assert list(out.iterdir()) == []


def test_clashing_base_names_keep_their_extensions(parcelo, tmp_path):
    source = tmp_path / "post"
    source.mkdir()
    (source / "inbox.mbx").write_bytes(mbox("Eins"))
    (source / "inbox.txt").write_bytes(mbox("Zwei"))
    (source / "other.mbx").write_bytes(mbox("Drei"))
    out = tmp_path / "out"
    run_expecting(parcelo, [parcelo.path(source), parcelo.path(out), "/p"], 0)
    assert sorted(p.name for p in out.iterdir()) == ["inbox.mbx", "inbox.txt", "other.mbx"]


def test_single_mailbox_goes_to_its_base_name(parcelo, tmp_path):
    (tmp_path / "inbox.mbx").write_bytes(mbox("Eins", "Zwei"))
    out = tmp_path / "out"
    run_expecting(parcelo, [parcelo.path(tmp_path / "inbox.mbx"), parcelo.path(out)], 0)
    assert [p.name for p in out.iterdir()] == ["inbox"]
    assert len(list((out / "inbox").iterdir())) == 2


def test_d_writes_every_mailbox_into_the_output_directory(parcelo, tmp_path):
    source = tmp_path / "post"
    source.mkdir()
    (source / "a.mbx").write_bytes(mbox("Eins"))
    (source / "b.mbx").write_bytes(mbox("Zwei"))
    out = tmp_path / "out"
    run_expecting(parcelo, [parcelo.path(source / "*.mbx"), parcelo.path(out), "/d", "/n"], 0)
    names = sorted(p.name for p in out.iterdir())
    assert len(names) == 2 and all(p.is_file() for p in out.iterdir()), names


def test_message_id_with_bang_stops_the_run(parcelo, tmp_path):
    source = tmp_path / "post"
    source.mkdir()
    (source / "a.mbx").write_bytes(mbox("Eins", "Zwei"))
    (source / "b.mbx").write_bytes(mbox("Drei", "Vier"))
    out = tmp_path / "out"
    body = logged_body(parcelo, [parcelo.path(source), parcelo.path(out), "/p", "/d",
                                 "/Message-ID=2@EXAMPLE.org!"], 0)
    assert body == ["0 Fehler."]
    assert len(list(out.iterdir())) == 1


def test_unknown_format_is_counted_and_logged(parcelo, tmp_path):
    source = tmp_path / "post"
    source.mkdir()
    (source / "bad.mbx").write_bytes(UNKNOWN_FORMAT)
    (source / "good.mbx").write_bytes(mbox("Eins"))
    out = tmp_path / "out"
    body = logged_body(parcelo, [parcelo.path(source), parcelo.path(out), "/p"], 2)
    assert body == [f"Unbekanntes Dateiformat '{mailbox_path(parcelo, source / 'bad.mbx')}'.",
                    "1 Fehler."]
    assert (out / "good").is_dir()


def _two_bad_mailboxes(tmp_path):
    source = tmp_path / "post"
    source.mkdir()
    (source / "bad1.mbx").write_bytes(UNKNOWN_FORMAT)
    (source / "bad2.mbx").write_bytes(UNKNOWN_FORMAT)
    return source


QUESTION_END = "\n\nMöchten Sie fortfahren?"


@pytest.mark.wine_only
def test_question_yes_goes_on_and_ends_with_2(parcelo, tmp_path):
    source = _two_bad_mailboxes(tmp_path)
    process = parcelo.start([parcelo.path(source), parcelo.path(tmp_path / "out")])
    for _ in range(2):
        text = wait_for_box(parcelo, process)
        assert text.startswith("Unbekanntes Dateiformat '") and text.endswith(QUESTION_END), text
        answer_box(parcelo, "&Yes")
        # Else the next look could find this box once more and answer it twice.
        gone = parcelo.wintest("gone", "parcelo", "--class", "#32770", "--timeout", "60", timeout=70)
        assert gone.returncode == 0, gone
    assert exit_code(process) == 2


@pytest.mark.wine_only
def test_question_no_stops_the_run_with_2(parcelo, tmp_path):
    source = _two_bad_mailboxes(tmp_path)
    process = parcelo.start([parcelo.path(source), parcelo.path(tmp_path / "out")])
    wait_for_box(parcelo, process)
    answer_box(parcelo, "&No")
    assert exit_code(process) == 2


@pytest.mark.native_only
def test_question_without_a_terminal_answers_no(parcelo, tmp_path):
    source = _two_bad_mailboxes(tmp_path)
    result = run_expecting(parcelo, [str(source), str(tmp_path / "out")], 2)
    assert native_stderr(result).count("Unbekanntes Dateiformat") == 1, result


def test_p_logs_every_question_and_goes_on(parcelo, tmp_path):
    source = _two_bad_mailboxes(tmp_path)
    body = logged_body(parcelo, [parcelo.path(source), parcelo.path(tmp_path / "out"), "/p"], 2)
    assert len(body) == 3 and body[-1] == "2 Fehler.", body


@pytest.mark.parametrize("size,too_large", [
    (2**31, False), (2**31 + 1, True), (2**32 + 10, True),
], ids=["2GiB", "2GiB+1", "4GiB+10"])
def test_mailboxes_over_2_gib_are_refused(parcelo, tmp_path, size, too_large):
    mailbox = tmp_path / "big.mbx"
    with open(mailbox, "wb") as sparse:
        sparse.write(UNKNOWN_FORMAT)
        sparse.truncate(size)
    body = logged_body(parcelo, [parcelo.path(mailbox), parcelo.path(tmp_path / "out"), "/p"], 2)
    path = mailbox_path(parcelo, mailbox)
    # The refusal says where the limit is lifted: in the user's own settings file.
    settings = parcelo.config_settings_path if parcelo.kind == "native" else parcelo.settings_path
    expected = [f"Die Datei '{path}' ist zu groß (> 2 GiB).",
                f"Die Grenze lässt sich mit [Mailboxes] MaxMailboxSize in '{parcelo.path(settings)}' ändern "
                "(0 = keine Grenze)."] if too_large else [f"Unbekanntes Dateiformat '{path}'."]
    assert body == expected + ["1 Fehler."]


def test_over_long_path_ends_through_the_crash_report(parcelo, tmp_path):
    spec = parcelo.path(tmp_path / ("a" * 200) / ("b" * 100 + ".mbx"))
    body = logged_body(parcelo, [spec, parcelo.path(tmp_path / "out"), "/p"], 3)
    assert len(body) == 1, body
    assert body[0].startswith("Ein unerwarteter Fehler ist aufgetreten, siehe Datei '"), body
    assert body[0].endswith("ex.err'."), body
    report = parcelo.crash_path.read_bytes().replace(b"\r\n", b"\n")
    assert report.endswith(b"------------\nparcelo 0.68\nFehler beim Verarbeiten der Datei '' (0 bytes).\n"), report


# ---------------------------------------------------------------- POSIX habits

@pytest.mark.native_only
@pytest.mark.parametrize("args,code,stdout,first_error_line,written", [
    (["--help"], 0, "parcelo 0.68    (c) parcelo-Team\n\nTeilt", "", None),
    (["--version"], 0, "parcelo 0.68\n(c) parcelo-Team\n", "", None),
    (["-n", "IN", "OUT"], 0, "", "VON: ", "inbox/00000001.eml"),
    (["--", "DASHED", "OUT", "/N"], 0, "", "VON: ", "-inbox/00000001.eml"),
    (["IN", "-x", "OUT"], 3, "", "Unbekannter Parameter '-x'.", None),
    (["-n", "IN", "OUT", "/N"], 3, "", "Doppelter Parameter '/N'.", None),
    (["IN", "OTHER", "OUT"], 3, "", EXPANDED + "\nparcelo 0.68", None),
], ids=["help", "version", "dash-before-paths", "double-dash", "unknown", "repeated", "expanded-pattern"])
def test_posix_command_line(parcelo, tmp_path, args, code, stdout, first_error_line, written):
    (tmp_path / "inbox.mbx").write_bytes(mbox("Eins"))
    (tmp_path / "-inbox.mbx").write_bytes(mbox("Eins"))
    paths = {"IN": tmp_path / "inbox.mbx", "DASHED": "-inbox.mbx", "OTHER": tmp_path / "-inbox.mbx",
             "OUT": tmp_path / "out"}
    result = parcelo.run([paths.get(a, a) for a in args], cwd=tmp_path)
    assert result.returncode == code, result
    assert result.stdout.decode().startswith(stdout) and (stdout or not result.stdout), result
    assert native_stderr(result).startswith(first_error_line), result
    if code == 3:
        assert native_stderr(result).rstrip("\n").endswith(POSIX_LAST_USAGE_LINE)
    if written:
        assert (tmp_path / "out" / written).is_file()
