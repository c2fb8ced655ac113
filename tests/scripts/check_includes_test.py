#!/usr/bin/env python3
"""scripts/check-includes on small made-up trees: each row is one core file's
includes and whether the check must refuse them (naming file and line)."""
import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "check-includes")

ARCHITECTURE = """# Architecture

Core folders, from the bottom up (each includes only folders before it):

| folder | what it holds |
|---|---|
| `util` | helpers |
| `content` | books |
| `store` | the store |
| `reader` | the reader |

## Main flows
| `app` | not a core folder: after the table |
"""


def run(files):
    """Writes `files` ({path: text}) under a fresh root and runs the check."""
    with tempfile.TemporaryDirectory() as root:
        os.makedirs(os.path.join(root, "docs"))
        with open(os.path.join(root, "docs", "architecture.md"), "w", encoding="utf-8") as f:
            f.write(ARCHITECTURE)
        for path, text in files.items():
            full = os.path.join(root, path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "w", encoding="utf-8") as f:
                f.write(text)
        done = subprocess.run([sys.executable, SCRIPT, root], capture_output=True, text=True)
        return done.returncode, done.stdout + done.stderr


class CheckIncludes(unittest.TestCase):
    def test_layer_order(self):
        # name, files, expected exit code, text the report must contain
        cases = [
            ("downward include", {"src/core/reader/A.cpp": '#include "core/store/B.h"\n'}, 0, "keep the layer order"),
            ("own folder", {"src/core/store/A.cpp": '#include "B.h"\n#include "core/store/C.h"\n'}, 0, ""),
            ("system and Qt headers", {"src/core/util/A.cpp": "#include <QString>\n#include <vector>\n"}, 0, ""),
            ("upward include", {"src/core/store/A.cpp": '// x\n#include "core/reader/BookInfo.h"\n'}, 1,
             "src/core/store/A.cpp:2: core/store includes core/reader/BookInfo.h from the layer above"),
            ("upward from a header", {"src/core/util/A.h": '#include "core/content/Zip.h"\n'}, 1,
             "src/core/util/A.h:1:"),
            ("core includes ui", {"src/core/reader/A.cpp": '#include "ui/app/Navigation.h"\n'}, 1,
             "src/core/reader/A.cpp:1: core includes ui"),
            ("core includes app", {"src/core/reader/A.cpp": '#  include "app/AppDelegate.h"\n'}, 1,
             "core includes app"),
            ("a folder the order does not know", {"src/core/misc/A.cpp": "\n"}, 1, "core/misc is not in the order"),
            ("an include of an unknown folder", {"src/core/reader/A.cpp": '#include "core/misc/X.h"\n'}, 1,
             "unknown core folder"),
            ("two classes include each other", {
                "src/core/reader/A.h": '#include "B.h"\n',
                "src/core/reader/B.cpp": '#include "B.h"\n\n#include "A.h"\n'}, 1,
             "circle of includes: core/reader/A -> core/reader/B -> core/reader/A"),
            ("a circle of three", {
                "src/core/store/A.cpp": '#include "B.h"\n',
                "src/core/store/B.cpp": '#include "C.h"\n',
                "src/core/store/C.cpp": '#include "core/store/A.h"\n'}, 1, "src/core/store/C.cpp:1"),
            ("a class includes its own header", {
                "src/core/store/A.cpp": '#include "A.h"\n', "src/core/store/A.h": '#include "B.h"\n'}, 0, ""),
        ]
        for name, files, code, text in cases:
            with self.subTest(name):
                rc, out = run(files)
                self.assertEqual(rc, code, f"{name}: {out}")
                self.assertIn(text, out, name)

    def test_this_repository_keeps_the_order(self):
        done = subprocess.run([sys.executable, SCRIPT], capture_output=True, text=True)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)


if __name__ == "__main__":
    unittest.main()
