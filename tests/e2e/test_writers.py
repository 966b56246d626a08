"""Message files written by several threads: the same tree as with one."""

import pytest

from conftest import assert_same_trees, tree_snapshot
from test_split import UTC, _many_messages


@pytest.mark.native_only
def test_many_writers_give_the_tree_of_one(parcelo, tmp_path):
    # Also the run that the ThreadSanitizer build makes: thousands of files, four threads.
    source = tmp_path / "post"
    source.mkdir()
    (source / "box.mbx").write_bytes(_many_messages(3000, seed=5)["lf.mbx"])
    trees = {}
    for count in (1, 4):
        parcelo.settings_path.write_bytes(b"[Mailboxes]\nWriters = %d\n" % count)
        out = tmp_path / f"out-{count}"
        result = parcelo.run([parcelo.path(source), parcelo.path(out), "/p"], env=UTC)
        assert result.returncode == 0, result
        assert b"ThreadSanitizer" not in result.stderr, result.stderr.decode("utf-8", "replace")
        trees[count] = tree_snapshot(out)
    assert len(trees[1]) > 2500, len(trees[1])
    assert_same_trees(trees[1], trees[4], "one writer", "four writers")
