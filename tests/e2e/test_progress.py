"""The progress window under Wine: layout, window menu, icon, the minimised title,
and cancelling with Abbrechen by click and by Enter.

The runs split one large generated mailbox, so that they last long enough to act on;
a confirmation box holds the run while it is open.
"""

import re
import shutil
import subprocess
import time

import pytest

from app_support import answer_box, body_lines, exit_code, only_block, wait_for_box
from conftest import REPO, parse_windows
from ui_support import whole_messages, write_mailbox

pytestmark = pytest.mark.wine_only

WINDOW_CLASS = "parcelo_progress"
CONFIRM = "Möchten Sie das Programm wirklich abbrechen?"
MESSAGES = 1000
LINES = 1700  # about 100 KB a message, 100 MB in all
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


@pytest.fixture(scope="module")
def big_mailbox(tmp_path_factory):
    return write_mailbox(tmp_path_factory.mktemp("big") / "big.mbx", MESSAGES, LINES)


def start(parcelo, big_mailbox, tmp_path, *switches):
    out = tmp_path / "out"
    parcelo.clear_log()
    process = parcelo.start([parcelo.path(big_mailbox), parcelo.path(out), "/n", "/p", *switches],
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    return process, out / "big"


def wait_window(parcelo, caption="parcelo", *options):
    found = parcelo.wintest("wait", caption, "--class", WINDOW_CLASS, *options, "--timeout", "30",
                            timeout=40)
    assert found.returncode == 0, found
    (window,) = parse_windows(found)
    return window


def bar_position(parcelo, caption="parcelo", *options):
    result = parcelo.wintest("pos", caption, "--class", WINDOW_CLASS, *options)
    assert result.returncode == 0, result
    return int(result.stdout)


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


def test_layout_menu_icon_and_enter_cancels(parcelo, big_mailbox, tmp_path):
    process, folder = start(parcelo, big_mailbox, tmp_path)
    wait_window(parcelo)
    keep_screenshot(parcelo, "progress_window.png")
    # Enter on the button asks like a click; the open box holds the run while we look.
    assert parcelo.wintest("key", "parcelo", "Abbrechen", "13", "--class", WINDOW_CLASS).returncode == 0
    assert wait_for_box(parcelo, process) == CONFIRM
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
    source, target, percent = window.controls[2], window.controls[4], window.controls[6]
    assert source.text.lower() == parcelo.path(big_mailbox).lower()
    assert target.text.lower().rstrip("\\") == parcelo.path(folder).lower()
    assert re.fullmatch(r"\d{1,3} %", percent.text), percent

    menu = parcelo.wintest("menu", "parcelo", "--class", WINDOW_CLASS)
    assert menu.returncode == 0, menu
    items = [line.split("|") for line in menu.stdout.decode("cp1252").splitlines()]
    assert items, menu
    texts = [item[1].replace("&", "").lower() for item in items]
    assert not [t for t in texts if t.startswith("close") or t.startswith("schlie")], items
    assert items[-1][3] != "separator", items

    icon = parcelo.wintest("icon", "parcelo", "--class", WINDOW_CLASS)
    assert icon.stdout.strip() == b"1", icon

    # Yes ends the run after the current message.
    answer_box(parcelo, "&Yes")
    assert exit_code(process, timeout=60) == 2
    lines = body_lines(only_block(parcelo))
    assert "Abbruch durch den Benutzer." in lines, lines
    assert whole_messages(folder, LINES) < MESSAGES


def test_abbrechen_answered_no_lets_the_run_finish(parcelo, big_mailbox, tmp_path):
    process, folder = start(parcelo, big_mailbox, tmp_path)
    wait_window(parcelo)
    assert parcelo.wintest("click", "parcelo", "Abbrechen", "--class", WINDOW_CLASS).returncode == 0
    assert wait_for_box(parcelo, process) == CONFIRM
    held = bar_position(parcelo)
    answer_box(parcelo, "&No")
    assert parcelo.wintest("gone", "parcelo", "--class", "#32770").returncode == 0
    # The run goes on where it stood.
    deadline = time.monotonic() + 30
    while process.poll() is None and bar_position(parcelo) <= held:
        assert time.monotonic() < deadline, "the bar did not move after No"
        time.sleep(0.2)
    assert exit_code(process, timeout=120) == 0
    assert body_lines(only_block(parcelo)) == ["0 Fehler."]
    assert whole_messages(folder, LINES) == MESSAGES


def test_minimised_start_shows_the_percentage_in_the_title(parcelo, big_mailbox, tmp_path):
    process, folder = start(parcelo, big_mailbox, tmp_path, "/i")
    first = wait_window(parcelo, "% - parcelo", "--suffix")
    assert MINIMISED.match(first.caption), first.caption
    iconic = parcelo.wintest("iconic", "% - parcelo", "--suffix", "--class", WINDOW_CLASS)
    assert iconic.stdout.strip() == b"1", iconic

    # The title counts up while the window stays minimised.
    deadline = time.monotonic() + 60
    while True:
        now = wait_window(parcelo, "% - parcelo", "--suffix")
        assert MINIMISED.match(now.caption), now.caption
        if int(now.caption[:3]) > int(first.caption[:3]):
            break
        assert time.monotonic() < deadline, f"title stayed at {now.caption!r}"
        time.sleep(0.2)

    # Restoring and minimising again are size events during the run: the title follows,
    # and no second run starts (it would write the first message file once more).
    first_file = folder / "00000001.eml"
    assert first_file.exists()
    written_at = first_file.stat().st_ctime_ns
    restored = parcelo.wintest("restore", "% - parcelo", "--suffix", "--class", WINDOW_CLASS)
    assert restored.returncode == 0, restored
    window = wait_window(parcelo)
    assert window.caption == "parcelo"
    assert parcelo.wintest("minimize", "parcelo", "--class", WINDOW_CLASS).returncode == 0
    again = wait_window(parcelo, "% - parcelo", "--suffix")
    assert MINIMISED.match(again.caption), again.caption

    assert exit_code(process, timeout=120) == 0
    assert body_lines(only_block(parcelo)) == ["0 Fehler."]
    assert first_file.stat().st_ctime_ns == written_at
    assert whole_messages(folder, LINES) == MESSAGES


def test_no_window_ends_the_program(parcelo, tmp_path):
    """Without a display the window cannot be made; the run must end, not wait."""
    write_mailbox(tmp_path / "box.mbx", 3, 2)
    result = parcelo.run([parcelo.path(tmp_path / "box.mbx"), parcelo.path(tmp_path / "out"), "/n"],
                         env={"DISPLAY": ""}, timeout=60)
    assert result.returncode == 3, result
    assert b"creation of window 'parcelo' has failed." in result.stderr, result
    assert not (tmp_path / "out" / "box").exists()
