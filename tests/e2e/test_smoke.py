"""Self-tests of the harness; they hold whatever state the program is in."""

import os
import time

import pytest

from conftest import (REPO, WINE, _run_to_files, compare_trees, parse_windows,
                      tree_snapshot)


def test_paths_with_umlauts_reach_the_file(parcelo, tmp_path):
    folder = tmp_path / "Grüße aus Köln"
    folder.mkdir()
    (folder / "Bücher €.txt").write_bytes(b"inhalt\r\n")
    program_path = parcelo.path(folder / "Bücher €.txt")
    assert parcelo.local_path(program_path) == folder / "Bücher €.txt"
    if parcelo.kind == "native":
        assert parcelo.path(str(folder) + "/") == str(folder) + "/"
    else:
        assert program_path == "Z:" + str(folder).replace("/", "\\") + "\\Bücher €.txt"
        assert parcelo.path(str(folder) + "/").endswith("ln\\")
        # Wine's own shell must find the file under the mapped name.
        shown = _run_to_files([WINE, "cmd", "/c", "type", program_path], parcelo.env,
                              None, 60, None, "cmd")
        assert b"inhalt" in shown.stdout, shown


@pytest.mark.wine_only
def test_temp_dir_is_where_wine_programs_write(parcelo):
    probe = parcelo.temp_dir / "probe.txt"
    probe.unlink(missing_ok=True)
    _run_to_files([WINE, "cmd", "/c", "echo probe> %TMP%\\probe.txt"], parcelo.env, None,
                  60, None, "cmd")
    assert probe.read_bytes().startswith(b"probe")
    named = parcelo.program_temp_dir + "\\probe.txt"
    assert parcelo.local_path(named) == probe
    assert parcelo.local_path(named.upper()) == probe
    probe.unlink()


def test_a_hanging_program_is_killed_with_its_children(tmp_path):
    marker = tmp_path / "child.pid"
    started = time.monotonic()
    with pytest.raises(pytest.fail.Exception, match="did not end within 1 s"):
        _run_to_files(["sh", "-c", f"sleep 60 & echo $! > {marker}; wait"], None, None, 1,
                      None, "sleeper")
    assert time.monotonic() - started < 15
    child = int(marker.read_text())
    # The killed child may linger briefly as a zombie of init before it is reaped.
    deadline = time.monotonic() + 5
    while time.monotonic() < deadline:
        try:
            state = open(f"/proc/{child}/stat").read().split()[2]
        except FileNotFoundError:
            break
        if state == "Z":
            break
        time.sleep(0.05)
    else:
        pytest.fail(f"child {child} survived the timeout")


def test_tree_comparison_reports_names_bytes_and_times(tmp_path):
    for side, data, stamp in (("a", b"one", 1_000_000_000), ("b", b"two", 2_000_000_000)):
        (tmp_path / side / "sub").mkdir(parents=True)
        (tmp_path / side / "sub" / "same.eml").write_bytes(b"x")
        (tmp_path / side / "sub" / "Grüße.eml").write_bytes(data)
        os.utime(tmp_path / side / "sub" / "same.eml", ns=(stamp, stamp))
        os.utime(tmp_path / side / "sub" / "Grüße.eml", ns=(5, 5))
        (tmp_path / side / f"only-{side}.eml").write_bytes(b"")
    first, second = tree_snapshot(tmp_path / "a"), tree_snapshot(tmp_path / "b")
    assert "sub/" in first and first["sub/Grüße.eml"][0] == b"one"
    lines = compare_trees(first, second, "a", "b")
    assert any(l.startswith("bytes differ: 'sub/Grüße.eml'") for l in lines), lines
    assert any(l.startswith("mtime differs: 'sub/same.eml'") for l in lines), lines
    assert "only in a: 'only-a.eml'" in lines and "only in b: 'only-b.eml'" in lines
    assert len(lines) == 4, lines


def test_wintest_output_is_parsed_back():
    text = ("window|Info - parcelo|#32770|1,2,3,4|94C801C4|00010101\n"
            "client|92,80\n"
            "Button|&OK|25,48,48,24|50030001\n"
            "Static|a\\|b\\nc\\\\d|56,12,24,24|50020080\n").encode("cp1252")
    text += b"Static|\x81\xfc|0,0,1,1|0\n"
    (window,) = parse_windows(text)
    assert (window.caption, window.cls, window.rect, window.client) == \
        ("Info - parcelo", "#32770", (1, 2, 3, 4), (92, 80))
    assert window.control("button").text == "&OK"
    assert window.control("static").text == "a|b\nc\\d"
    assert window.controls[-1].text == "\x81\xfc"  # undefined in cp1252, kept as Windows does


def _wait_for_box(parcelo, process, caption, seconds):
    deadline = time.monotonic() + seconds
    while True:
        ended = process.poll() is not None
        result = parcelo.wintest("wait", caption, "--timeout", "1", timeout=5)
        if result.returncode == 0:
            return parse_windows(result)
        assert not ended, f"ended with {process.returncode} without a \"{caption}\" box"
        assert time.monotonic() < deadline, f"no \"{caption}\" box within {seconds} s"


@pytest.mark.wine_only
def test_wintest_reads_and_clicks_the_usage_box(parcelo):
    process = parcelo.start([])
    (box,) = _wait_for_box(parcelo, process, "Info - parcelo", 60)
    assert box.cls == "#32770"
    assert box.control("button", "OK"), box.controls
    assert any(c.text.startswith("parcelo 0.68") for c in box.controls), box.controls
    assert parcelo.wintest("click", "Info - parcelo", "ok").returncode == 0
    assert process.wait(timeout=60) == 3
    assert parcelo.wintest("gone", "Info - parcelo", "--timeout", "60", timeout=70).returncode == 0


@pytest.mark.native_only
def test_no_arguments_end_with_code_3(parcelo):
    result = parcelo.run([])
    if result.returncode == 0 and not result.stdout and not result.stderr:
        pytest.skip("this build has no usage message yet")
    assert result.returncode == 3, result


@pytest.mark.parametrize("switches", [[], ["/n"]], ids=["subjects", "numbered"])
def test_both_builds_split_the_examples_alike(both, switches):
    results = both.assert_same_output(
        lambda runner, out: [runner.path(REPO / "examples"), runner.path(out), "/p", *switches],
        label="split")
    if not any(tree for _, tree in results.values()):
        pytest.skip("this build writes no messages yet")
