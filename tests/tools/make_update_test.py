#!/usr/bin/env python3
"""tools/make-update.py empties its output folder: it must refuse every folder that is not its own."""
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "..", "..", "tools", "make-update.py")
TEST_KEY = os.path.join(HERE, "..", "keys", "update-test-private.pem")


def make_update(release, out, cwd):
    return subprocess.run([sys.executable, SCRIPT, "--version", "1.20", "--base-url", "http://127.0.0.1/u/",
                           "--manifest-name", "Update.zip", release, out],
                          cwd=cwd, capture_output=True, text=True, env=dict(os.environ, VW_UPDATE_SIGNING_KEY=TEST_KEY))


def tree(folder):
    """Every path below folder with its content, to show that nothing was touched."""
    found = {}
    for root, _, files in os.walk(folder):
        for name in files:
            path = os.path.join(root, name)
            with open(path, "rb") as f:
                found[os.path.relpath(path, folder)] = f.read()
    return found


class OutputFolder(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.TemporaryDirectory()
        self.root = self.work.name
        os.makedirs(os.path.join(self.root, "rel", "lang"))
        for path, text in [("rel/Vaultwren.exe", "exe"), ("rel/lang/zh.txt", "中文"), ("mine/notes.txt", "keep")]:
            os.makedirs(os.path.dirname(os.path.join(self.root, path)), exist_ok=True)
            with open(os.path.join(self.root, path), "w", encoding="utf-8") as f:
                f.write(text)

    def tearDown(self):
        self.work.cleanup()

    def test_refuses_folders_that_are_not_its_own(self):
        cases = [  # output folder (relative to the work folder), the reason it names
            (".", "holds the release folder"),
            ("rel", "holds the release folder"),
            ("rel/update", "inside the release folder"),
            ("rel/Vaultwren.exe", "inside the release folder"),
            ("mine", "not empty and not an earlier update folder"),
            ("mine/notes.txt", "not a folder"),
        ]
        before = tree(self.root)
        for out, reason in cases:
            with self.subTest(out=out):
                result = make_update("rel", out, self.root)
                self.assertNotEqual(result.returncode, 0)
                self.assertIn(reason, result.stderr)
                self.assertEqual(tree(self.root), before)

    def test_writes_a_new_an_empty_and_an_earlier_update_folder(self):
        os.makedirs(os.path.join(self.root, "empty"))
        for out in ["new/update", "empty", "new/update"]:  # the last one: written before
            with self.subTest(out=out):
                result = make_update("rel", out, self.root)
                self.assertEqual(result.returncode, 0, result.stderr)
                written = tree(os.path.join(self.root, out))
                self.assertEqual(written[os.path.join("files", "lang", "zh.txt")], "中文".encode())
                self.assertEqual(written["Updater.ini"], written["Update.zip"])
                self.assertEqual(written["Updater.ini.sig"], written["Update.zip.sig"])

    def test_an_update_folder_with_something_else_inside_is_not_emptied(self):
        self.assertEqual(make_update("rel", "upd", self.root).returncode, 0)
        os.makedirs(os.path.join(self.root, "upd", "photos"))
        result = make_update("rel", "upd", self.root)
        self.assertNotEqual(result.returncode, 0)
        self.assertTrue(os.path.isdir(os.path.join(self.root, "upd", "photos")))


if __name__ == "__main__":
    unittest.main()
