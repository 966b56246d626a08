"""The progress window under Wine: layout, window menu, icon, the minimised title,
and cancelling with Abbrechen by click and by Enter.

The runs read mailboxes on pipes that the tests feed (gates), so a run is held exactly
where a test acts on it, whatever the speed of the machine. A run that waits for its
mailbox takes no window messages; one that shows a box takes them all. So the tests post
a click or a key, feed the gate until the box it opens is up, and do their work while the
box holds the run.
"""

import re
import shutil
import subprocess
import time

import pytest

from app_support import answer_box, body_lines, exit_code, only_block, wait_for_box
from conftest import REPO, parse_windows
from ui_support import MessageFeed, whole_messages, write_mailbox

pytestmark = pytest.mark.wine_only

WINDOW_CLASS = "parcelo_progress"
CONFIRM = "Möchten Sie das Programm wirklich abbrechen?"
MESSAGES = 300
LINES = 200  # b.mbx is several times what a run may take of a gate before a box holds it
MINIMISED = re.compile(r"^[ \d]{2}\d % - parcelo$")
ARTEFACTS = REPO / "build" / "artefacts"

# class, text, client rectangle, style beyond WS_CHILD | WS_VISIBLE
LAYOUT = [
    ("static", "Kopieren", (230, 10, 45, 15), 0),
    ("static", "VON:", (10, 30, 35, 17), 0),
    ("static", None, (50, 30, 440, 17), 0),
    ("static", "NACH:", (10, 45, 35, 17), 0),
    ("static", None, (50, 45, 440, 17), 0),
    ("msctls_progress32", "", (25, 70, 450, 25), 0x1),  # PBS_SMOOTH
    ("static", None, (237, 100, 30, 15), 0x2),           # SS_RIGHT
    ("button", "Abbrechen", (200, 130, 100, 25), 0x1),   # BS_DEFPUSHBUTTON
]
WS_CHILD_VISIBLE = 0x50000000
WS_SYSMENU, WS_MINIMIZEBOX, WS_MAXIMIZEBOX, WS_THICKFRAME = 0x80000, 0x20000, 0x10000, 0x40000


def start(parcelo, spec, tmp_path, *switches):
    out = tmp_path / "out"
    parcelo.clear_log()
    process = parcelo.start([parcelo.path(spec), parcelo.path(out), "/n", "/p", *switches],
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    return process, out


def three_mailboxes(parcelo, tmp_path):
    """a.mbx and c.mbx are gates, b.mbx an ordinary file in between; they are split in
    that order. Only b.mbx has a size, so the run is at 0 % while it waits for a.mbx and
    at 100 % while it waits for c.mbx."""
    source = tmp_path / "in"
    source.mkdir()
    first = MessageFeed(parcelo.gate(source / "a.mbx"), LINES)
    write_mailbox(source / "b.mbx", MESSAGES, LINES)
    last = MessageFeed(parcelo.gate(source / "c.mbx"), LINES)
    return source / "*.mbx", first, last


def wait_window(parcelo, caption="parcelo", *options):
    found = parcelo.wintest("wait", caption, "--class", WINDOW_CLASS, *options, "--timeout", "60",
                            timeout=70)
    assert found.returncode == 0, found
    (window,) = parse_windows(found)
    return window


def percent_label(window):
    return window.controls[6].text


def wait_for_percent(parcelo, text):
    """The label under the bar reads text; the window's texts are read without its help."""
    deadline = time.monotonic() + 120
    while True:
        window = wait_window(parcelo)
        if percent_label(window) == text:
            return window
        assert time.monotonic() < deadline, f"the bar stayed at {percent_label(window)!r}"
        time.sleep(0.05)


def screen_size(parcelo):
    info = subprocess.run(["xdpyinfo"], env=parcelo.env, capture_output=True, text=True, timeout=30)
    match = re.search(r"dimensions:\s+(\d+)x(\d+) pixels", info.stdout)
    assert match, info
    return int(match[1]), int(match[2])


def keep_screenshot(parcelo, name):
    if not shutil.which("import"):
        return
    ARTEFACTS.mkdir(parents=True, exist_ok=True)
    subprocess.run(["import", "-window", "root", str(ARTEFACTS / name)], env=parcelo.env,
                   timeout=60, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def test_layout_menu_icon_and_enter_cancels(parcelo, tmp_path):
    box = tmp_path / "box.mbx"
    feed = MessageFeed(parcelo.gate(box), LINES)
    process, out = start(parcelo, box, tmp_path)
    folder = out / "box"
    wait_window(parcelo)
    keep_screenshot(parcelo, "progress_window.png")
    # Enter on the button asks like a click; the open box holds the run while we look.
    assert parcelo.wintest("key", "parcelo", "Abbrechen", "13", "--class", WINDOW_CLASS).returncode == 0
    assert wait_for_box(parcelo, process, nudge=feed.more) == CONFIRM
    window = wait_window(parcelo)

    assert (window.caption, window.cls) == ("parcelo", WINDOW_CLASS)
    assert window.style & (WS_SYSMENU | WS_MINIMIZEBOX) == WS_SYSMENU | WS_MINIMIZEBOX
    assert window.style & (WS_MAXIMIZEBOX | WS_THICKFRAME) == 0
    width, height = screen_size(parcelo)
    x, y, w, h = window.rect
    assert (w, h) == (505, 195)
    assert x == (width - 505) // 2
    # 90 pixels above the middle, the caption height (the system's) taken off first
    assert y in [(height - 195 - caption) // 2 - 90 for caption in range(12, 40)], (y, height)

    assert len(window.controls) == len(LAYOUT), window.controls
    for control, (cls, text, rect, style) in zip(window.controls, LAYOUT):
        assert control.cls.lower() == cls, control
        if text is not None:
            assert control.text == text, control
        assert control.rect == rect, control
        assert control.style == WS_CHILD_VISIBLE | style, control
    source, target = window.controls[2], window.controls[4]
    assert source.text.lower() == parcelo.path(box).lower()
    assert target.text.lower().rstrip("\\") == parcelo.path(folder).lower()
    assert percent_label(window) == "0 %"  # a mailbox on a pipe has no size to count against

    menu = parcelo.wintest("menu", "parcelo", "--class", WINDOW_CLASS)
    assert menu.returncode == 0, menu
    items = [line.split("|") for line in menu.stdout.decode("cp1252").splitlines()]
    assert items, menu
    texts = [item[1].replace("&", "").lower() for item in items]
    assert not [t for t in texts if t.startswith("close") or t.startswith("schlie")], items
    assert items[-1][3] != "separator", items

    icon = parcelo.wintest("icon", "parcelo", "--class", WINDOW_CLASS)
    assert icon.stdout.strip() == b"1", icon

    # Yes ends the run: the message being read is not written, whatever else comes.
    answer_box(parcelo, "&Yes")
    feed.finish(process)
    assert exit_code(process) == 2
    lines = body_lines(only_block(parcelo))
    assert "Abbruch durch den Benutzer." in lines, lines
    assert whole_messages(folder, LINES) < feed.number


def test_abbrechen_answered_no_lets_the_run_finish(parcelo, tmp_path):
    spec, first, last = three_mailboxes(parcelo, tmp_path)
    process, out = start(parcelo, spec, tmp_path)
    wait_window(parcelo)
    assert parcelo.wintest("click", "parcelo", "Abbrechen", "--class", WINDOW_CLASS).returncode == 0
    assert wait_for_box(parcelo, process, nudge=first.more) == CONFIRM
    held = percent_label(wait_window(parcelo))
    assert held != "100 %", held
    answer_box(parcelo, "&No")
    assert parcelo.wintest("gone", "parcelo", "--class", "#32770", "--timeout", "60",
                           timeout=70).returncode == 0
    # The run goes on where it stood: through b.mbx to the full bar, then it waits for c.mbx.
    first.finish(process)
    wait_for_percent(parcelo, "100 %")
    last.whole(1, process)
    last.finish(process)
    assert exit_code(process) == 0
    assert body_lines(only_block(parcelo)) == ["0 Fehler."]
    assert whole_messages(out / "a", LINES) == first.number
    assert whole_messages(out / "b", LINES) == MESSAGES
    assert whole_messages(out / "c", LINES) == 1


def test_minimised_start_shows_the_percentage_in_the_title(parcelo, tmp_path):
    spec, first, last = three_mailboxes(parcelo, tmp_path)
    process, out = start(parcelo, spec, tmp_path, "/i")
    shown = wait_window(parcelo, "% - parcelo", "--suffix")
    assert shown.caption == "  0 % - parcelo", shown.caption
    iconic = parcelo.wintest("iconic", "% - parcelo", "--suffix", "--class", WINDOW_CLASS)
    assert iconic.stdout.strip() == b"1", iconic

    # The title counts up while the window stays minimised.
    first.whole(2, process)
    first.finish(process)
    full = wait_window(parcelo, "100 % - parcelo")
    assert MINIMISED.match(full.caption), full.caption

    # Restoring and minimising again are size events during the run: the title follows,
    # and no second run starts (it would write the first message file once more). The run
    # takes window messages while a box holds it, so Abbrechen's question holds it here.
    first_file = out / "b" / "00000001.eml"
    written_at = first_file.stat().st_ctime_ns
    assert parcelo.wintest("click", "100 % - parcelo", "Abbrechen", "--class", WINDOW_CLASS).returncode == 0
    assert wait_for_box(parcelo, process, nudge=last.more) == CONFIRM
    restored = parcelo.wintest("restore", "100 % - parcelo", "--class", WINDOW_CLASS,
                               "--timeout", "60", timeout=70)
    assert restored.returncode == 0, restored
    assert wait_window(parcelo).caption == "parcelo"
    assert parcelo.wintest("minimize", "parcelo", "--class", WINDOW_CLASS, "--timeout", "60",
                           timeout=70).returncode == 0
    assert wait_window(parcelo, "100 % - parcelo").caption == "100 % - parcelo"
    answer_box(parcelo, "&No")

    last.finish(process)
    assert exit_code(process) == 0
    assert body_lines(only_block(parcelo)) == ["0 Fehler."]
    assert first_file.stat().st_ctime_ns == written_at
    assert whole_messages(out / "a", LINES) == 2
    assert whole_messages(out / "b", LINES) == MESSAGES
    assert whole_messages(out / "c", LINES) == last.number


def test_no_window_ends_the_program(parcelo, tmp_path):
    """Without a display the window cannot be made; the run must end, not wait."""
    write_mailbox(tmp_path / "box.mbx", 3, 2)
    result = parcelo.run([parcelo.path(tmp_path / "box.mbx"), parcelo.path(tmp_path / "out"), "/n"],
                         env={"DISPLAY": ""}, timeout=60)
    assert result.returncode == 3, result
    assert b"creation of window 'parcelo' has failed." in result.stderr, result
    assert not (tmp_path / "out" / "box").exists()
