"""End-to-end harness: runs the POSIX build and parcelo.exe under Wine the same way.

Fixtures:
  parcelo     one runner per build (ids "native" and "wine"): run, start, path,
              local_path, temp_dir, program_temp_dir, log_text, clear_log,
              log_path, crash_path, wintest, gate; the program sits in a folder of its
              own per test, so a test may write settings_path (its parcelo.ini);
              natively config_settings_path is the one in XDG_CONFIG_HOME
  both        both runners in one test: run_each, assert_same_output
Helpers: Gate (a mailbox on a pipe that holds a run), tree_snapshot, compare_trees, assert_same_trees, parse_windows, cp1252_text
Markers:
  native_only / wine_only   keep only that build's variant of a test
  each_writers              run once with the default writer threads and once with
                            Writers = 1 in parcelo.ini (write_settings keeps that line)
Environment:
  PARCELO_NATIVE, PARCELO_EXE, PARCELO_WINTEST   binaries to use instead of build/...
  PARCELO_KINDS   "native", "wine" or "native,wine" (default): which builds to test
"""

import codecs
import os
import select
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path, PureWindowsPath

import pytest

REPO = Path(__file__).resolve().parents[2]
WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
KINDS = ("native", "wine")
LOG_NAME = "parcelo.log"
CRASH_NAME = "ex.err"


def _binary(variable, default):
    value = os.environ.get(variable)
    return Path(value).resolve() if value else REPO / default


NATIVE_BINARY = _binary("PARCELO_NATIVE", "build/native/parcelo")
EXE_BINARY = _binary("PARCELO_EXE", "build/windows/parcelo.exe")
WINTEST_BINARY = _binary("PARCELO_WINTEST", "build/windows/wintest.exe")


def _selected_kinds():
    text = os.environ.get("PARCELO_KINDS", ",".join(KINDS))
    return [k for k in KINDS if k in {part.strip() for part in text.split(",")}]


# ---------------------------------------------------------------- test selection

def pytest_generate_tests(metafunc):
    if "parcelo" in metafunc.fixturenames:
        kinds = _selected_kinds()
        metafunc.parametrize("parcelo", kinds, ids=kinds, indirect=True)
    if "writers" in metafunc.fixturenames and metafunc.definition.get_closest_marker("each_writers"):
        metafunc.parametrize("writers", [None, 1], ids=["writers-default", "writers-1"], indirect=True)


def pytest_collection_modifyitems(config, items):
    kept, dropped = [], []
    for item in items:
        kind = getattr(getattr(item, "callspec", None), "params", {}).get("parcelo")
        wrong = (kind == "wine" and item.get_closest_marker("native_only")) or (
            kind == "native" and item.get_closest_marker("wine_only"))
        (dropped if wrong else kept).append(item)
    if dropped:
        config.hook.pytest_deselected(items=dropped)
        items[:] = kept


# ---------------------------------------------------------------- texts

def _windows_undefined(error):
    # Windows maps the five bytes cp1252 leaves undefined to U+0081 and so on.
    byte = error.object[error.start]
    return chr(byte), error.start + 1


codecs.register_error("parcelo_cp1252", _windows_undefined)


def cp1252_text(data):
    """Bytes of the Windows build as text, as Windows itself would read them."""
    return data.decode("cp1252", "parcelo_cp1252")


# ---------------------------------------------------------------- output trees

def tree_snapshot(root):
    """relpath -> (bytes, mtime in ns) for files, relpath + "/" -> None for directories.

    Both builds write names as UTF-8 on disk (the POSIX layer converts, Wine maps
    through Unicode), so the raw names compare directly; undecodable bytes survive
    as surrogate escapes.
    """
    root = Path(root)
    snapshot = {}
    for dirpath, dirnames, filenames in os.walk(root):
        rel_dir = Path(dirpath).relative_to(root)
        for name in dirnames:
            snapshot[(rel_dir / name).as_posix() + "/"] = None
        for name in filenames:
            full = Path(dirpath) / name
            snapshot[(rel_dir / name).as_posix()] = (full.read_bytes(), full.stat().st_mtime_ns)
    return snapshot


def compare_trees(first, second, first_name="first", second_name="second"):
    """Differences between two snapshots (names, bytes, mtimes) as readable lines."""
    lines = []
    for rel in sorted(set(first) | set(second)):
        if rel not in second:
            lines.append(f"only in {first_name}: {rel!r}")
        elif rel not in first:
            lines.append(f"only in {second_name}: {rel!r}")
        elif first[rel] is None or second[rel] is None:
            if (first[rel] is None) != (second[rel] is None):
                lines.append(f"file in one, directory in the other: {rel!r}")
        else:
            (data_a, time_a), (data_b, time_b) = first[rel], second[rel]
            if data_a != data_b:
                lines.append(f"bytes differ: {rel!r} ({len(data_a)} vs {len(data_b)} bytes)")
            if time_a != time_b:
                lines.append(f"mtime differs: {rel!r} ({time_a} vs {time_b} ns)")
    return lines


def assert_same_trees(first, second, first_name="first", second_name="second"):
    lines = compare_trees(first, second, first_name, second_name)
    assert not lines, "output trees differ:\n" + "\n".join(lines)


# ---------------------------------------------------------------- wintest output

class Control:
    def __init__(self, cls, text, rect, style):
        self.cls, self.text, self.rect, self.style = cls, text, rect, style

    def __repr__(self):
        return f"Control({self.cls!r}, {self.text!r}, {self.rect}, {self.style:#010x})"


class Window(Control):
    def __init__(self, caption, cls, rect, style, exstyle):
        super().__init__(cls, caption, rect, style)
        self.caption, self.exstyle = caption, exstyle
        self.client = None
        self.controls = []

    def control(self, cls=None, text=None):
        """The first control of that class and/or text (classes compared ignoring case)."""
        for control in self.controls:
            if (cls is None or control.cls.lower() == cls.lower()) and \
                    (text is None or control.text == text):
                return control
        return None


def _fields(line):
    """Splits a wintest line at unescaped "|" and undoes its escapes."""
    fields, current, chars = [], [], iter(line)
    plain = {"n": "\n", "r": "\r", "t": "\t", "|": "|", "\\": "\\"}
    for c in chars:
        if c == "\\":
            escaped = next(chars, "")
            if escaped == "u" and next(chars, "") == "{":  # a character the code page lacks
                digits = "".join(iter(lambda: next(chars, "}"), "}"))
                current.append(chr(int(digits, 16)))
                continue
            current.append(plain.get(escaped, "\\" + escaped))
        elif c == "|":
            fields.append("".join(current))
            current = []
        else:
            current.append(c)
    fields.append("".join(current))
    return fields


def _numbers(text):
    return tuple(int(n) for n in text.split(","))


def parse_windows(output):
    """The windows that "wintest wait" (or "list") printed, with their controls.
    Accepts the CompletedProcess or its stdout (cp1252 bytes or text)."""
    if isinstance(output, subprocess.CompletedProcess):
        output = output.stdout
    if isinstance(output, bytes):
        output = cp1252_text(output)
    windows = []
    for line in output.splitlines():
        fields = _fields(line)
        if fields[0] == "window" and len(fields) == 6:
            windows.append(Window(fields[1], fields[2], _numbers(fields[3]),
                                  int(fields[4], 16), int(fields[5], 16)))
        elif fields[0] == "client" and len(fields) == 2 and windows:
            windows[-1].client = _numbers(fields[1])
        elif len(fields) == 4 and windows:
            windows[-1].controls.append(
                Control(fields[0], fields[1], _numbers(fields[2]), int(fields[3], 16)))
    return windows


# ---------------------------------------------------------------- processes

def _kill_group(process):
    try:
        os.killpg(process.pid, signal.SIGKILL)
    except (ProcessLookupError, PermissionError):
        pass
    try:
        process.wait(timeout=10)
    except subprocess.TimeoutExpired:
        pass


def _run_to_files(command, env, cwd, timeout, input_bytes, what):
    """Runs with output to files, not pipes: Wine's helper processes may keep a
    pipe open long after the program has ended. On timeout the whole process
    group dies (with it the windows) and the test fails with what was captured."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        stdin = subprocess.PIPE if input_bytes is not None else subprocess.DEVNULL
        process = subprocess.Popen(command, stdin=stdin, stdout=out, stderr=err,
                                   env=env, cwd=cwd, start_new_session=True)
        if input_bytes is not None:
            try:
                process.stdin.write(input_bytes)
                process.stdin.close()
            except BrokenPipeError:
                pass
        try:
            process.wait(timeout=timeout)
            timed_out = False
        except subprocess.TimeoutExpired:
            _kill_group(process)
            timed_out = True
        out.seek(0)
        err.seek(0)
        stdout, stderr = out.read(), err.read()
    if timed_out:
        pytest.fail(f"{what} did not end within {timeout} s: {command!r}\n"
                    f"stdout: {stdout!r}\nstderr: {stderr!r}", pytrace=False)
    return subprocess.CompletedProcess(command, process.returncode, stdout, stderr)


def _clean_env():
    env = {k: v for k, v in os.environ.items() if not k.startswith("LC_")}
    # A UTF-8 locale: under plain "C" Wine cannot map any non-ASCII file name or
    # argument; with it the ANSI code page stays 1252 and buttons read "&Yes"/"&No".
    env["LANG"] = "C.UTF-8"
    return env


# ---------------------------------------------------------------- gates

class Gate:
    """A mailbox on a pipe that the test feeds: the run waits in the reader for what the
    test has not fed yet, so the test acts while the run is surely busy, on a fast machine
    or a slow one, and decides itself when the run may go on and end.

    It is opened for reading and writing, so that opening it waits for nobody, neither here
    nor in the program: under Wine the server opens files, and a wait there would hold up
    every program of the prefix. For the same reason the test closes it only once the
    program has it open (close), and at the end removes it before closing (discard)."""

    def __init__(self, path):
        self.path = path
        os.mkfifo(path)
        self.fd = os.open(path, os.O_RDWR | os.O_NONBLOCK)
        identity = os.fstat(self.fd)
        self.identity = (identity.st_dev, identity.st_ino)

    def feed(self, data):
        """Writes what fits; the pipe holds 64 KiB, and a run held by a box reads nothing."""
        try:
            return os.write(self.fd, data)
        except BlockingIOError:
            return 0

    def feed_all(self, data, process):
        """Waits while the program reads; what a program that has ended never reads is dropped."""
        deadline = time.monotonic() + 120
        while data and process.poll() is None:
            data = data[self.feed(data):]
            if data:
                assert time.monotonic() < deadline, f"{self.path} was not read within 120 s"
                time.sleep(0.01)

    def opened_by_another(self):
        for pid in os.listdir("/proc"):
            if not pid.isdigit() or int(pid) == os.getpid():
                continue
            try:
                for fd in os.listdir(f"/proc/{pid}/fd"):
                    status = os.stat(f"/proc/{pid}/fd/{fd}")
                    if (status.st_dev, status.st_ino) == self.identity:
                        return True
            except OSError:  # gone, or not ours to look at
                continue
        return False

    def wait_opened(self, process, seconds=120):
        deadline = time.monotonic() + seconds
        while not self.opened_by_another():
            assert process.poll() is None, f"ended with {process.returncode} before opening {self.path}"
            assert time.monotonic() < deadline, f"{self.path} was not opened within {seconds} s"
            time.sleep(0.01)

    def reader_waits(self, pid):
        """Is process pid (POSIX) blocked reading this pipe?"""
        try:
            with open(f"/proc/{pid}/syscall") as call:
                fields = call.read().split()
            if len(fields) < 2 or fields[0] != "0":  # read(2) on x86-64
                return False
            status = os.stat(f"/proc/{pid}/fd/{int(fields[1], 16)}")
        except (OSError, ValueError):
            return False
        return (status.st_dev, status.st_ino) == self.identity

    def close(self, process):
        """End of file for the program, once it has the pipe open (or has ended)."""
        deadline = time.monotonic() + 120
        while process.poll() is None and not self.opened_by_another():
            assert time.monotonic() < deadline, f"{self.path} was not opened within 120 s"
            time.sleep(0.01)
        os.close(self.fd)
        self.fd = None

    def discard(self):
        if os.path.lexists(self.path):
            os.unlink(self.path)
        if self.fd is not None:
            os.close(self.fd)
            self.fd = None


# ---------------------------------------------------------------- the Wine session

class WineSession:
    """One temporary prefix for the whole pytest session, with a persistent server."""

    def __init__(self):
        self.xvfb = None
        self.server = None
        self.prefix = None
        self.temp_dir = None
        self.temp_dir_windows = None  # the same folder as the program names it
        self.env = None
        self.skip_reason = None

    def start(self):
        if not Path(WINE).exists():
            self.skip_reason = f"Wine is not installed ({WINE} missing)"
            return
        display = os.environ.get("DISPLAY")
        if not display:
            display = self._start_xvfb()
            if not display:
                return
        self.prefix = Path(tempfile.mkdtemp(prefix="parcelo-wine-"))
        env = _clean_env()
        env.update(WINEPREFIX=str(self.prefix), WINEDEBUG="-all", DISPLAY=display,
                   WINEDLLOVERRIDES="mscoree,mshtml=")
        self.env = env
        # A persistent server keeps Wine's own services running between programs,
        # which makes every later start take a fraction of a second. It runs in
        # the foreground as our child, in our process group, so that it ends with
        # the session even when pytest itself is stopped by a signal.
        self.server = subprocess.Popen([WINESERVER, "-f", "-p"], env=env,
                                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
        if not self._wait_for_server():
            self.skip_reason = f"the Wine server did not start for {self.prefix}"
            return
        boot = self._quiet([WINE, "wineboot", "-i"], timeout=600)
        if boot != 0:
            self.skip_reason = f"wineboot -i failed with {boot} in {self.prefix}"
            return
        # A real crash must end the process, not open the debugger's dialog.
        self._quiet([WINE, "reg", "add", r"HKCU\Software\Wine\WineDbg", "/v",
                     "ShowCrashDialog", "/t", "REG_DWORD", "/d", "0", "/f"], timeout=60)
        self._quiet([WINE, "reg", "delete",
                     r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug",
                     "/v", "Debugger", "/f"], timeout=60)
        self.temp_dir = self._find_temp_dir()
        if self.temp_dir is None:
            self.skip_reason = "could not find the temporary directory of the Wine prefix"

    def _wait_for_server(self):
        # A program started before the socket exists would start a server of its
        # own. Where the socket lives differs between builds of Wine; the server
        # works from that folder, so its working directory tells.
        deadline = time.monotonic() + 120
        while time.monotonic() < deadline and self.server.poll() is None:
            try:
                folder = Path(os.readlink(f"/proc/{self.server.pid}/cwd"))
            except OSError:
                folder = None
            if folder and folder.name.startswith("server-") and (folder / "socket").exists():
                return True
            time.sleep(0.05)
        return False

    def _start_xvfb(self):
        xvfb = shutil.which("Xvfb")
        if not xvfb:
            self.skip_reason = "no DISPLAY and no Xvfb to start (install xvfb)"
            return None
        # -displayfd: Xvfb picks a free display itself and reports it when ready;
        # choosing a number ourselves races with other X servers starting.
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen([xvfb, "-displayfd", str(write_end), "-screen", "0",
                                      "1280x1024x24", "-nolisten", "tcp"],
                                     pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 120
        with os.fdopen(read_end, "rb", buffering=0) as reader:
            while not number.endswith(b"\n") and time.monotonic() < deadline:
                ready, _, _ = select.select([reader], [], [], 0.5)
                if ready:
                    chunk = reader.read(16)
                    if not chunk:
                        break
                    number += chunk
        if number.strip().isdigit():
            return f":{number.strip().decode()}"
        self.skip_reason = "Xvfb did not come up"
        return None

    def _quiet(self, command, timeout):
        try:
            return subprocess.run(command, env=self.env, timeout=timeout,
                                  stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL).returncode
        except subprocess.TimeoutExpired:
            return -1

    def _output(self, command):
        result = _run_to_files(command, self.env, None, 60, None, "wine helper")
        return result.stdout.decode("utf-8", "replace").strip()

    def _find_temp_dir(self):
        # GetTempPathA tries TMP, then TEMP, then the profile folder.
        for name in ("TMP", "TEMP", "USERPROFILE"):
            value = self._output([WINE, "cmd", "/c", f"echo %{name}%"])
            if value and value != f"%{name}%":
                self.temp_dir_windows = value.rstrip("\\")
                unix = self._output([WINE, "winepath", "-u", value])
                if unix:
                    path = Path(unix).resolve()
                    path.mkdir(parents=True, exist_ok=True)
                    return path
        return None

    def stop(self):
        if self.server is not None:
            # -k ends every program of the prefix, and the server with them.
            try:
                subprocess.run([WINESERVER, "-k"], env=self.env, timeout=30,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                self.server.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.server.kill()
                self.server.wait()
        if self.prefix is not None:
            shutil.rmtree(self.prefix, ignore_errors=True)
        if self.xvfb is not None:
            # Terminated, not killed, so that it removes its socket and lock file.
            self.xvfb.terminate()
            try:
                self.xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
                self.xvfb.wait()


@pytest.fixture(scope="session")
def wine_session():
    session = WineSession()
    session.start()
    yield session
    session.stop()


# ---------------------------------------------------------------- the runner

class Parcelo:
    """One build of the program, copied into a folder of its own per test so that
    a test may put a parcelo.ini next to it."""

    def __init__(self, kind, work_dir, wine=None, writers=None):
        self.kind = kind
        self.writers = writers
        self.work_dir = Path(work_dir)
        self.program_dir = self.work_dir / f"program-{kind}"
        self.program_dir.mkdir(parents=True, exist_ok=True)
        self._wine = wine
        self._started = []
        self._gates = []
        source = NATIVE_BINARY if kind == "native" else EXE_BINARY
        self.exe = self.program_dir / source.name
        try:
            os.link(source, self.exe)
        except OSError:
            shutil.copy2(source, self.exe)
        if kind == "native":
            self.temp_dir = self.work_dir / "tmp-native"
            self.temp_dir.mkdir(exist_ok=True)
            self.env = _clean_env()
            self.env["TMPDIR"] = str(self.temp_dir)
            # The POSIX build prefers a settings file in the user's configuration
            # folder; an empty one of our own keeps the tester's file out.
            self.env["XDG_CONFIG_HOME"] = str(self.work_dir / "config-native")
        else:
            self.temp_dir = wine.temp_dir
            self.env = dict(wine.env)
            # The prefix and its temporary folder are shared by the session.
            for name in (LOG_NAME, CRASH_NAME):
                (self.temp_dir / name).unlink(missing_ok=True)

        if writers is not None:
            self.write_settings(b"")

    @property
    def settings_path(self):
        return self.program_dir / "parcelo.ini"

    def write_settings(self, data):
        """parcelo.ini beside the program, with the runner's number of writers if it has one."""
        if self.writers is not None:
            data += b"\n[Mailboxes]\nWriters = %d\n" % self.writers
        self.settings_path.write_bytes(data)

    @property
    def config_settings_path(self):
        """POSIX only: the settings file in the configuration folder, read first."""
        return Path(self.env["XDG_CONFIG_HOME"]) / "parcelo" / "parcelo.ini"

    @property
    def program_temp_dir(self):
        """temp_dir as the program names it, without a trailing separator."""
        return str(self.temp_dir) if self.kind == "native" else self._wine.temp_dir_windows

    @property
    def log_path(self):
        return self.temp_dir / LOG_NAME

    @property
    def crash_path(self):
        return self.temp_dir / CRASH_NAME

    def path(self, local_path):
        text = os.fspath(local_path)
        if self.kind == "native":
            return text
        trailing = text.endswith("/")
        text = os.path.abspath(text)
        windows = "Z:" + text.replace("/", "\\")
        if trailing and not windows.endswith("\\"):
            windows += "\\"
        return windows

    def local_path(self, program_path):
        """The inverse of path(): a path the program printed (under Wine on any
        drive of the prefix, in any letter case), as a local path."""
        if self.kind == "native":
            return Path(program_path)
        windows = PureWindowsPath(program_path)
        drive = windows.drive.lower()
        if len(drive) != 2 or not drive.endswith(":"):
            raise ValueError(f"not a path with a drive letter: {program_path!r}")
        local = (self._wine.prefix / "dosdevices" / drive).resolve()
        for part in windows.parts[1:]:
            exact = local / part
            # Windows names ignore case; the program lower-cases some paths.
            if not exact.exists() and local.is_dir():
                exact = next((entry for entry in local.iterdir()
                              if entry.name.lower() == part.lower()), exact)
            local = exact
        return local

    def command(self, args):
        args = [os.fspath(a) for a in args]
        return ([str(self.exe)] if self.kind == "native" else [WINE, str(self.exe)]) + args

    def _env(self, env):
        merged = dict(self.env)
        if env:
            merged.update(env)
        return merged

    def run(self, args, timeout=300, env=None, cwd=None, input=None):
        """Runs to the end; returncode is the exit code, stdout/stderr are bytes."""
        return _run_to_files(self.command(args), self._env(env), cwd, timeout, input,
                             f"parcelo ({self.kind})")

    def start(self, args, env=None, cwd=None, **popen_args):
        """Starts without waiting; the process is killed at the end of the test."""
        popen_args.setdefault("stdin", subprocess.PIPE)
        popen_args.setdefault("stdout", subprocess.PIPE)
        popen_args.setdefault("stderr", subprocess.PIPE)
        process = subprocess.Popen(self.command(args), env=self._env(env), cwd=cwd,
                                   start_new_session=True, **popen_args)
        self._started.append(process)
        return process

    def log_text(self):
        if not self.log_path.exists():
            return ""
        data = self.log_path.read_bytes()
        return cp1252_text(data) if self.kind == "wine" else data.decode("utf-8")

    def clear_log(self):
        self.log_path.unlink(missing_ok=True)

    def wintest(self, *args, timeout=30):
        if self.kind != "wine":
            raise RuntimeError("wintest runs only under Wine")
        if not WINTEST_BINARY.exists():
            pytest.skip(f"wintest.exe is not built ({WINTEST_BINARY})")
        command = [WINE, str(WINTEST_BINARY)] + [os.fspath(a) for a in args]
        # wintest's own timeouts are shorter; this one only guards the suite.
        return _run_to_files(command, self.env, None, timeout + 30, None, "wintest")

    def gate(self, local_path):
        """A mailbox on a pipe at local_path (see Gate), removed at the end of the test."""
        gate = Gate(local_path)
        self._gates.append(gate)
        return gate

    def finish(self):
        for process in self._started:
            if process.poll() is None:
                _kill_group(process)
            for stream in (process.stdin, process.stdout, process.stderr):
                if stream:
                    stream.close()
        # Only now: a program that still wanted to open a gate is gone.
        for gate in self._gates:
            gate.discard()


def _make_runner(kind, tmp_path, request, writers=None):
    binary = NATIVE_BINARY if kind == "native" else EXE_BINARY
    if not binary.exists():
        pytest.skip(f"{binary} is not built")
    wine = None
    if kind == "wine":
        wine = request.getfixturevalue("wine_session")
        if wine.skip_reason:
            pytest.skip(wine.skip_reason)
    return Parcelo(kind, tmp_path, wine, writers)


@pytest.fixture
def writers(request):
    """The [Mailboxes] Writers value of the runner, None for the default (each_writers)."""
    return getattr(request, "param", None)


@pytest.fixture
def parcelo(request, tmp_path, writers):
    runner = _make_runner(request.param, tmp_path, request, writers)
    yield runner
    runner.finish()


class Both:
    """Both builds in one test; run_each gives each its own output folder."""

    def __init__(self, native, wine, work_dir):
        self.native = native
        self.wine = wine
        self.work_dir = work_dir

    def run_each(self, make_args, timeout=300, env=None, label="out"):
        """make_args(runner, out_dir) -> args; each build gets the empty folder
        label-<kind>. Returns {kind: (result, snapshot of that folder)}."""
        results = {}
        for runner in (self.native, self.wine):
            out_dir = self.work_dir / f"{label}-{runner.kind}"
            out_dir.mkdir()
            result = runner.run(make_args(runner, out_dir), timeout=timeout, env=env)
            results[runner.kind] = (result, tree_snapshot(out_dir))
        return results

    def assert_same_output(self, make_args, timeout=300, env=None, label="out"):
        """Runs both, checks equal exit codes and equal trees; returns the results."""
        results = self.run_each(make_args, timeout, env, label)
        (native_result, native_tree), (wine_result, wine_tree) = \
            results["native"], results["wine"]
        assert native_result.returncode == wine_result.returncode, \
            f"exit codes differ: native {native_result.returncode}, wine {wine_result.returncode}"
        assert_same_trees(native_tree, wine_tree, "native", "wine")
        return results


@pytest.fixture
def both(request, tmp_path):
    kinds = _selected_kinds()
    if len(kinds) != 2:
        pytest.skip("comparing builds needs both (PARCELO_KINDS)")
    native = _make_runner("native", tmp_path, request)
    wine = _make_runner("wine", tmp_path, request)
    yield Both(native, wine, tmp_path)
    native.finish()
    wine.finish()
