"""The log of /p runs: head, body and end blocks, appending, line ends, encoding."""

import datetime

from app_support import (MINUSES, STAMP, UNKNOWN_FORMAT, WEEKDAYS, answer_box, body_lines,
                         exit_code, log_blocks, only_block, run_expecting, wait_for_box)


def check_stamp(text):
    """A time stamp whose weekday belongs to its date."""
    match = STAMP.match(text)
    assert match, text
    weekday, year, month, day = match.group(1), *map(int, match.groups()[1:4])
    assert weekday == WEEKDAYS[datetime.date(year, month, day).weekday()], text
    return datetime.datetime(year, month, day, *map(int, match.groups()[4:]))


def test_block_of_a_run_with_one_error(parcelo, tmp_path):
    mailbox = tmp_path / "x.mbx"
    mailbox.write_bytes(UNKNOWN_FORMAT)
    spec, out = parcelo.path(mailbox), parcelo.path(tmp_path / "out")
    before = datetime.datetime.now().replace(microsecond=0)
    run_expecting(parcelo, [spec, out, "/p"], 2)
    after = datetime.datetime.now()

    block = only_block(parcelo)
    assert block[:5] == ["parcelo 0.68", "Kommandozeilen-Parameter:", "   " + spec, "   " + out, "   /p"]
    assert block[5].startswith("Beginn: ")
    assert block[6].startswith("Unbekanntes Dateiformat '") and block[6].endswith("x.mbx'.")
    assert block[7] == "1 Fehler."
    assert block[8].startswith("Ende: ")
    assert len(block) == 9
    begin, end = check_stamp(block[5][len("Beginn: "):]), check_stamp(block[8][len("Ende: "):])
    assert before <= begin <= end <= after


def test_line_ends_follow_the_platform(parcelo, tmp_path):
    run_expecting(parcelo, [parcelo.path(tmp_path / "none.mbx"), parcelo.path(tmp_path / "out"), "/p"], 1)
    raw = parcelo.log_path.read_bytes()
    if parcelo.kind == "wine":
        assert raw.count(b"\r\n") == raw.count(b"\n") and raw.endswith(b"-\r\n"), raw
    else:
        assert b"\r" not in raw and raw.endswith(b"-\n"), raw


def test_arguments_are_logged_as_given(parcelo, tmp_path):
    folder = tmp_path / "Grüße"
    folder.mkdir()
    spec = parcelo.path(folder / "Post*.MBX")
    run_expecting(parcelo, [spec, parcelo.path(tmp_path / "Out"), "/P", "/N"], 1)
    block = only_block(parcelo)
    assert block[2:6] == ["   " + spec, "   " + parcelo.path(tmp_path / "Out"), "   /P", "   /N"]
    assert body_lines(block) == [f"Keine Datei passend zu '{spec}' gefunden."]


def test_second_run_appends_a_block(parcelo, tmp_path):
    args = [parcelo.path(tmp_path / "none.mbx"), parcelo.path(tmp_path / "out"), "/p"]
    run_expecting(parcelo, args, 1)
    first = parcelo.log_text()
    run_expecting(parcelo, args + ["/x"], 3)
    text = parcelo.log_text()
    assert text.startswith(first)
    blocks = log_blocks(text)
    assert len(blocks) == 2
    assert blocks[1][0] == "parcelo 0.68"
    assert body_lines(blocks[1]) == ["Syntaxfehler beim Aufruf des Programms.", "Unbekannter Parameter '/x'."]
    assert text.splitlines()[-1] == MINUSES


def test_without_p_nothing_is_logged(parcelo, tmp_path):
    spec = parcelo.path(tmp_path / "none.mbx")
    args = [spec, parcelo.path(tmp_path / "out")]
    if parcelo.kind == "native":
        run_expecting(parcelo, args, 1)
    else:
        process = parcelo.start(args)
        assert wait_for_box(parcelo, process) == f"Datei '{spec}' nicht gefunden."
        answer_box(parcelo, "OK")
        assert exit_code(process) == 1
    assert not parcelo.log_path.exists()


def test_successful_run_logs_zero_errors(parcelo, tmp_path):
    (tmp_path / "empty").mkdir()
    run_expecting(parcelo, [parcelo.path(tmp_path / "empty" / "*"), parcelo.path(tmp_path / "out"), "/p"], 0)
    assert body_lines(only_block(parcelo)) == ["0 Fehler."]
