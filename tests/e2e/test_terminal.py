"""The POSIX build's terminal front end: the progress display on a terminal and in a
file, Ctrl-C as Abbrechen, and questions asked on the terminal."""

import os
import pty
import re
import select
import signal
import time

import pytest

from ui_support import MessageFeed, whole_messages, write_mailbox

pytestmark = pytest.mark.native_only

LINES = 2
CONFIRM = "Möchten Sie das Programm wirklich abbrechen? (j/n) ".encode("utf-8")
FULL_BAR = b"\r[" + b"#" * 40 + b"] 100 %"


class Child:
    """poll() for a pty.fork child without reaping it: run_in_terminal does that."""

    def __init__(self, pid):
        self.pid = pid
        self.returncode = None

    def poll(self):
        try:
            with open(f"/proc/{self.pid}/stat") as stat:
                state = stat.read().rsplit(")", 1)[1].split()[0]
        except OSError:
            return 0
        return 0 if state in ("Z", "X") else None


def gated_mailboxes(parcelo, tmp_path):
    """a.mbx is a gate (see conftest), b.mbx a short mailbox split after it."""
    source = tmp_path / "in"
    source.mkdir()
    feed = MessageFeed(parcelo.gate(source / "a.mbx"), LINES)
    short_mailbox(source / "b.mbx", 5)
    return source, feed


def short_mailbox(path, count=300):
    return write_mailbox(path, count, LINES)


def run_in_terminal(parcelo, args, reactions=(), timeout=120, nudge=None):
    """Runs with a terminal for stdin, stdout and stderr (and as /dev/tty). reactions:
    (output to wait for, bytes to type or a function of the terminal and the child), in
    order; nudge, if given, is called with the child between looks. Returns (exit code, output)."""
    command = parcelo.command(args)
    env = parcelo._env(None)
    pid, terminal = pty.fork()
    if pid == 0:
        try:
            os.execve(command[0], command, env)
        finally:
            os._exit(127)
    child = Child(pid)
    output, pending, seen = b"", list(reactions), 0
    deadline = time.monotonic() + timeout
    try:
        while time.monotonic() < deadline:
            ready, _, _ = select.select([terminal], [], [], 0.05)
            if ready:
                try:
                    data = os.read(terminal, 65536)
                except OSError:  # the program has ended and closed the terminal
                    break
                if not data:
                    break
                output += data
            if pending:
                found = output.find(pending[0][0], seen)
                if found >= 0:
                    seen = found + len(pending[0][0])
                    action = pending.pop(0)[1]
                    if callable(action):
                        action(terminal, child)
                    else:
                        os.write(terminal, action)
            if nudge:
                nudge(child)
        else:
            os.kill(pid, signal.SIGKILL)
            pytest.fail(f"no end within {timeout} s; output: {output[-2000:]!r}")
        _, status = os.waitpid(pid, 0)
    finally:
        os.close(terminal)
    assert not pending, f"never saw {pending[0][0]!r}; output: {output[-2000:]!r}"
    return os.waitstatus_to_exitcode(status), output


def test_progress_bar_redrawn_in_place(parcelo, tmp_path):
    short_mailbox(tmp_path / "box.mbx")
    out = tmp_path / "out"
    code, output = run_in_terminal(parcelo, [tmp_path / "box.mbx", out, "/n"])
    assert code == 0, output
    lines = output.split(b"\r\n")
    assert lines[0] == f"VON: {tmp_path / 'box.mbx'}".encode()
    assert lines[1] == f"NACH: {out / 'box'}/".encode()
    # The bar is one line, redrawn with a carriage return, ending full.
    bar = lines[2]
    assert bar.startswith(b"\r[") and bar.endswith(FULL_BAR), output
    draws = bar.split(b"\r")[1:]
    assert all(re.fullmatch(rb"\[[#.]{40}\] [ \d]{2}\d %", d) for d in draws), draws
    assert lines[3:] == [b""], output
    assert whole_messages(out / "box", LINES) == 300


def test_minimised_keeps_to_one_line(parcelo, tmp_path):
    short_mailbox(tmp_path / "box.mbx")
    code, output = run_in_terminal(parcelo, [tmp_path / "box.mbx", tmp_path / "out", "/n", "/i"])
    assert code == 0, output
    assert output.endswith(b"\r100 % - parcelo\r\n"), output
    assert output.count(b"\n") == 1 and b"VON:" not in output, output


def test_plain_lines_when_stderr_is_no_terminal(parcelo, tmp_path):
    short_mailbox(tmp_path / "box.mbx")
    out = tmp_path / "out"
    result = parcelo.run([tmp_path / "box.mbx", out, "/n"])
    assert result.returncode == 0, result
    assert b"\r" not in result.stderr
    lines = result.stderr.decode("utf-8").splitlines()
    assert lines[:2] == [f"VON: {tmp_path / 'box.mbx'}", f"NACH: {out / 'box'}/"]
    # A line per ten percent at most, counting up to 100.
    percents = [int(re.fullmatch(r"(\d+) %", line)[1]) for line in lines[2:]]
    assert percents[-1] == 100, lines
    tens = [p // 10 for p in percents]
    assert tens == sorted(set(tens)) and len(percents) <= 10, lines


@pytest.mark.parametrize("answer, code", [(b"j\n", 2), (b"n\n", 0), (b"\x03", 2)],
                         ids=["yes", "no", "second-ctrl-c"])
def test_ctrl_c_asks_whether_to_cancel(parcelo, tmp_path, answer, code):
    source, feed = gated_mailboxes(parcelo, tmp_path)
    out = tmp_path / "out"
    # A Ctrl-C is seen with the next lines the run takes in: feed them until the question
    # is answered; then after a no the rest and the end of a.mbx, after a yes more lines
    # until the run has ended.
    answered = []

    def nudge(child):
        if not answered or code == 2:
            feed.more()

    def reply(terminal, child):
        os.write(terminal, answer)
        answered.append(answer)
        if code == 0:
            feed.finish(child)

    status, output = run_in_terminal(parcelo, [source, out, "/n"],
                                     [(b"%", b"\x03"), (CONFIRM, reply)], nudge=nudge)
    assert status == code, output
    assert output.count(CONFIRM) == 1, output
    if code == 0:
        assert whole_messages(out / "a", LINES) == feed.number
        assert whole_messages(out / "b", LINES) == 5
        assert output.endswith(FULL_BAR + b"\r\n"), output[-200:]
    else:
        assert whole_messages(out / "a", LINES) < feed.number
        assert not (out / "b").exists()


def test_ctrl_c_without_terminal_cancels(parcelo, tmp_path):
    source, feed = gated_mailboxes(parcelo, tmp_path)
    out = tmp_path / "out"
    # start() puts the program in a session of its own: no terminal to ask on.
    process = parcelo.start([source, out, "/n"])
    feed.whole(2, process)
    feed.gate.wait_opened(process)
    process.send_signal(signal.SIGINT)
    deadline = time.monotonic() + 120
    while process.poll() is None:  # the run sees the Ctrl-C with the next lines it takes in
        assert time.monotonic() < deadline, "Ctrl-C did not end the run"
        feed.more()
        time.sleep(0.01)
    assert process.returncode == 2
    assert whole_messages(out / "a", LINES) < feed.number
    assert not (out / "b").exists()


def two_mailboxes(tmp_path):
    """a.mbx cannot be read as a mailbox, b.mbx can; they are split in that order."""
    source = tmp_path / "post"
    source.mkdir()
    (source / "a.mbx").write_bytes(b"no mailbox at all\n")
    short_mailbox(source / "b.mbx", 3)
    return source


def test_question_without_terminal_answers_no(parcelo, tmp_path):
    source, out = two_mailboxes(tmp_path), tmp_path / "out"
    result = parcelo.run([source, out, "/n"])
    assert result.returncode == 2, result
    text = result.stderr.decode("utf-8")
    assert f"Unbekanntes Dateiformat '{source}/a.mbx'.\n\nMöchten Sie fortfahren?\n" in text, text
    assert not (out / "b").exists()


def test_question_answered_on_the_terminal(parcelo, tmp_path):
    source, out = two_mailboxes(tmp_path), tmp_path / "out"
    code, output = run_in_terminal(parcelo, [source, out, "/n"],
                                   [("Möchten Sie fortfahren? (j/n) ".encode(), b"J\n")])
    assert code == 2, output
    assert f"Unbekanntes Dateiformat '{source}/a.mbx'.".encode() in output
    assert whole_messages(out / "b", LINES) == 3
