"""/s: a mail program's folder tree, with index files and other files among the mailboxes."""

import os
from collections import defaultdict

from app_support import body_lines, mbox, only_block, run_expecting
from conftest import tree_snapshot

INDEX = b'// <!-- <mdb:mork:z v="1.4"/> -->\n< <(a=c)> >\n'
MAILBOXES = {"Inbox": ("Eingang eins", "Eingang zwei"), "Sent": ("Gesendet",),
             "Inbox.sbd/Work": ("Arbeit",), "Inbox.sbd/Work.sbd/2019": ("Alt",), "Trash": ()}
OTHERS = ["Inbox.msf", "Sent.msf", "Trash.msf", "popstate.dat", "Inbox.sbd/Work.msf",
          "Inbox.sbd/Work.sbd/2019.msf"]


def written(subject_mbox):
    """What each message of an mbox becomes: without its "From " line, in CR LF."""
    parts = subject_mbox.decode().split("From someone@example.org Mon Jan  1 10:00:00 2007\n")
    return sorted(part.replace("\n", "\r\n").encode() for part in parts if part)


def make_tree(root, with_link):
    for rel, subjects in MAILBOXES.items():
        (root / rel).parent.mkdir(parents=True, exist_ok=True)
        (root / rel).write_bytes(mbox(*subjects) if subjects else b"")
    for rel in OTHERS:
        (root / rel).write_bytes(b"# POP3 State File\n" if rel.endswith(".dat") else INDEX)
    if with_link:  # a link back up would never end if it were followed
        os.symlink("..", root / "Inbox.sbd" / "loop")


def messages_by_folder(out):
    found = defaultdict(list)
    for path in out.rglob("*"):
        if path.is_file():
            found[path.parent.relative_to(out).as_posix()].append(path.read_bytes())
    return {folder: sorted(data) for folder, data in found.items()}


def program_path(parcelo, root, rel):
    """A path as the program logs it; Windows lower-cases the directory of the given path."""
    if parcelo.kind == "native":
        return str(root / rel)
    return parcelo.path(root).lower() + "\\" + rel.replace("/", "\\")


def test_folder_tree(parcelo, tmp_path):
    root = tmp_path / "Local Folders"
    make_tree(root, with_link=parcelo.kind == "native")

    out = tmp_path / "out"
    run_expecting(parcelo, [parcelo.path(root), parcelo.path(out), "/s", "/p"], 0)
    assert messages_by_folder(out) == {
        "Inbox": written(mbox(*MAILBOXES["Inbox"])), "Sent": written(mbox("Gesendet")),
        "Inbox/Work": written(mbox("Arbeit")), "Inbox/Work/2019": written(mbox("Alt"))}
    assert sorted(p.relative_to(out).as_posix() for p in out.rglob("*") if p.is_dir()) == \
        ["Inbox", "Inbox/Work", "Inbox/Work/2019", "Sent"]
    body = body_lines(only_block(parcelo))
    assert body[-1] == "0 Fehler."
    assert sorted(body[:-1]) == sorted(
        f"Keine Mailbox-Datei, übersprungen: '{program_path(parcelo, root, rel)}'." for rel in OTHERS)

    flat = tmp_path / "flat"
    run_expecting(parcelo, [parcelo.path(root), parcelo.path(flat), "/s", "/d", "/n"], 0)
    every_message = sorted(m for subjects in MAILBOXES.values() if subjects for m in written(mbox(*subjects)))
    assert sorted(p.name for p in flat.iterdir()) == [f"{n:08d}.eml" for n in range(1, 6)]
    assert sorted(p.read_bytes() for p in flat.iterdir()) == every_message

    parcelo.clear_log()
    plain = tmp_path / "plain"
    run_expecting(parcelo, [parcelo.path(root), parcelo.path(plain), "/p"], 2)
    assert sorted(p.name for p in plain.iterdir()) == ["Inbox", "Sent"]
    body = body_lines(only_block(parcelo))
    assert sorted(body[:-1]) == sorted(
        f"Unbekanntes Dateiformat '{program_path(parcelo, root, rel)}'." for rel in OTHERS if "/" not in rel)
    assert body[-1] == "4 Fehler."


# Names that once led out of the output folder or let one mailbox write over another.
HOSTILE = {"...sbd/m": "Punkte eins", "...sbd/...sbd/m": "Punkte zwei", "..sbd/m": "Punkt drei",
           "...mbox": "Basisname Punkte", "Archiv/m": "Archiv eins", "Archiv.sbd/m": "Archiv zwei",
           "X.mbox": "X Datei", "X/m": "X Ordner"}
CYRILLIC = "Д" * 40


def files_below(root, leave_out):
    return {p for p in root.rglob("*") if not any(p.is_relative_to(d) for d in leave_out)}


def test_hostile_tree(parcelo, tmp_path):
    root = tmp_path / "case"
    tree = root / "tree"
    subjects = dict(HOSTILE, **{CYRILLIC + "/inbox": "Kyrillisch"})
    for rel, subject in subjects.items():
        (tree / rel).parent.mkdir(parents=True, exist_ok=True)
        (tree / rel).write_bytes(mbox(subject))
    (tree / "huge.dat").write_bytes(b"x" * (64 << 20))
    skipped = ["huge.dat"]
    if parcelo.kind == "native":
        os.mkfifo(tree / "pipe")
        os.symlink("/dev/zero", tree / "zero")
        skipped += ["pipe", "zero"]
        out = tree / "saved"  # inside the tree, and named through a link
        out.mkdir()
        out_arg = root / "outlink"
        os.symlink(out, out_arg)
    else:
        out = out_arg = tree / "saved"
    leave_out = [parcelo.temp_dir, parcelo.program_dir]
    before = files_below(tmp_path, leave_out)

    snapshots = []
    for _ in range(2):  # the second run must not read the first one's output
        parcelo.clear_log()
        run_expecting(parcelo, [parcelo.path(tree), parcelo.path(out_arg), "/s", "/n", "/p"], 0, timeout=120)
        body = body_lines(only_block(parcelo))
        assert body[-1] == "0 Fehler."
        assert sorted(body[:-1]) == sorted(f"Keine Mailbox-Datei, übersprungen: '{program_path(parcelo, tree, rel)}'."
                                           for rel in skipped)
        snapshots.append(tree_snapshot(out))
    assert snapshots[0] == snapshots[1]

    created = files_below(tmp_path, leave_out) - before
    assert created and all(p.is_relative_to(out) for p in created), sorted(map(str, created))
    messages = sorted(m for subject in subjects.values() for m in written(mbox(subject)))
    assert sorted(p.read_bytes() for p in out.rglob("*.eml")) == messages
