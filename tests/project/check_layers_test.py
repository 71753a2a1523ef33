#!/usr/bin/env python3
"""check_layers_test.py CHECKER SRC: the include check against src/ and small trees."""

import pathlib
import subprocess
import sys
import tempfile
import unittest

CHECKER = SRC = None


def run(src):
    return subprocess.run([sys.executable, CHECKER, str(src)], capture_output=True, text=True)


class Tree:
    """A throwaway src/ with the given files."""

    def __init__(self, files):
        self.dir = tempfile.TemporaryDirectory()
        self.root = pathlib.Path(self.dir.name) / "src"
        for name, text in files.items():
            path = self.root / name
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(text)

    def __enter__(self):
        return self.root

    def __exit__(self, *exc):
        self.dir.cleanup()


class CheckLayersTest(unittest.TestCase):
    def test_the_sources_keep_to_their_layers(self):
        result = run(SRC)
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_a_lower_layer_including_a_higher_one_is_named_with_its_line(self):
        with Tree({"pst/ltp/heap.h": "#pragma once\n",
                   "pst/ndb/writer.h": '#pragma once\n\n#include "pst/ltp/heap.h"\n'}) as src:
            result = run(src)
        self.assertEqual(result.returncode, 1)
        self.assertIn('pst/ndb/writer.h:3: pst/ndb may not include "pst/ltp/heap.h" (pst/ltp)', result.stderr)

    def test_sibling_layers_may_not_use_each_other(self):
        with Tree({"pst/messaging/store_impl.h": "",
                   "pst/read/reader.cpp": '#include "pst/messaging/store_impl.h"\n',
                   "eml/parser.cpp": '#include "pst/read/reader.h"\n', "pst/read/reader.h": ""}) as src:
            result = run(src)
        self.assertEqual(result.returncode, 1)
        self.assertIn("pst/read/reader.cpp:1: pst/read may not include", result.stderr)
        self.assertIn("eml/parser.cpp:1: eml may not include", result.stderr)

    def test_a_relative_include_is_judged_by_the_file_it_reaches(self):
        with Tree({"util/text.h": "", "selection/list.h": "",
                   "util/paths.cpp": '#include "../selection/list.h"\n#include "text.h"\n'}) as src:
            result = run(src)
        self.assertEqual(result.returncode, 1)
        self.assertIn('util/paths.cpp:1: util may not include "../selection/list.h" (selection)', result.stderr)
        self.assertNotIn("paths.cpp:2", result.stderr)

    def test_the_value_types_in_pst_sit_below_the_store_facade(self):
        with Tree({"pst/store.h": "", "pst/ltp/pc.h": "",
                   "pst/value_source.h": '#include "pst/ltp/pc.h"\n',
                   "pst/read/ltp.h": '#include "pst/value_source.h"\n#include "pst/store.h"\n'}) as src:
            result = run(src)
        self.assertEqual(result.returncode, 1)
        self.assertIn('pst/value_source.h:1: pst/format may not include "pst/ltp/pc.h"', result.stderr)
        self.assertIn('pst/read/ltp.h:2: pst/read may not include "pst/store.h" (pst/messaging)', result.stderr)
        self.assertNotIn("ltp.h:1", result.stderr)

    def test_higher_layers_may_use_every_layer_below(self):
        with Tree({"util/text.h": "", "pst/format/nid.h": "", "pst/property.h": "", "pst/store.h": "",
                   "eml/parser.h": '#include "pst/property.h"\n#include "pst/format/nid.h"\n#include "util/text.h"\n',
                   "conversion/run.cpp": '#include "eml/parser.h"\n#include "pst/store.h"\n',
                   "app/main.cpp": '#include <QApplication>\n#include "conversion/run.cpp"\n'}) as src:
            result = run(src)
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_outside_libraries_only_where_their_layer_links_them(self):
        with Tree({"conversion/run.cpp": "#include <QString>\n#include <vector>\n",
                   "pst/ndb/file.cpp": "#include <gmime/gmime.h>\n"}) as src:
            result = run(src)
        self.assertEqual(result.returncode, 1)
        self.assertIn("conversion/run.cpp:1: conversion may not include <QString>", result.stderr)
        self.assertIn("pst/ndb/file.cpp:1: pst/ndb may not include <gmime/gmime.h>", result.stderr)
        self.assertNotIn("run.cpp:2", result.stderr)

    def test_a_file_outside_every_layer_or_a_missing_include_fails(self):
        with Tree({"plugins/extra.cpp": "", "pst/archive/zip.cpp": "",
                   "util/a.cpp": '#include "util/missing.h"\n'}) as src:
            result = run(src)
        self.assertEqual(result.returncode, 1)
        self.assertIn("plugins/extra.cpp: belongs to no layer", result.stderr)
        self.assertIn("pst/archive/zip.cpp: belongs to no layer", result.stderr)
        self.assertIn('util/a.cpp:1: "util/missing.h" is no file below src/', result.stderr)


if __name__ == "__main__":
    CHECKER, SRC = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=1)
