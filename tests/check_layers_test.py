#!/usr/bin/env python3
"""The layering check catches includes that run up a layer: each case plants
one offence in a copy of the real sources and expects the check to name it."""
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = pathlib.Path(__file__).resolve().parents[1]
CHECK = ROOT / "tests" / "check_layers.py"
LAYERS = ["framework", "support", "update", "controls", "launcher", "app", "res"]


def run_check(root):
    return subprocess.run([sys.executable, str(CHECK), str(root)], capture_output=True, text=True)


class LayeringCheck(unittest.TestCase):
    def setUp(self):
        self.work = pathlib.Path(tempfile.mkdtemp(prefix="layers-"))
        for layer in LAYERS:
            shutil.copytree(ROOT / layer, self.work / layer)

    def tearDown(self):
        shutil.rmtree(self.work)

    def plant(self, file, line):
        path = self.work / file
        path.write_text(line + "\n" + path.read_text(encoding="utf-8"), encoding="utf-8")

    def test_real_tree_passes(self):
        result = run_check(self.work)
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_planted_offences_are_named(self):
        cases = [
            ("support/path_utils.cpp", '#include "update/http_client.h"', "support/ may not include update/http_client.h"),
            ("update/url_info.cpp", '#include "controls/easy_progress.h"', "update/ may not include controls/easy_progress.h"),
            ("controls/bitmap_button.cpp", '#include "update/url_info.h"', "controls/ may not include update/url_info.h"),
            ("framework/afx_app.cpp", '#include "support/system_log.h"', "framework/ may not include support/system_log.h"),
            ("launcher/data_control.cpp", '#include "app/launcher_app.h"', "launcher/ may not include app/launcher_app.h"),
            ("update/http_client.h", '#include "res/resource.h"', "update/ may not include res/resource.h"),
            ("launcher/install_workflow.cpp", "static int* used = &theApp.m_bQuietMode;", "only app/ may name theApp"),
        ]
        for file, line, expected in cases:
            with self.subTest(file=file):
                self.setUp()
                self.plant(file, line)
                result = run_check(self.work)
                self.assertEqual(result.returncode, 1)
                self.assertIn(expected, result.stderr)
                self.tearDown()
        self.setUp()  # tearDown of the test itself

    def test_downward_includes_and_comments_pass(self):
        self.plant("launcher/install_workflow.cpp", '#include "update/url_info.h"\n// theApp is not read here')
        self.plant("app/launcher_app.cpp", '#include "launcher/launcher_dlg.h"')
        result = run_check(self.work)
        self.assertEqual(result.returncode, 0, result.stderr)


if __name__ == "__main__":
    unittest.main()
