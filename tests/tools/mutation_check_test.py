"""What the mutation tool plants and which tests it runs for a source file."""

import os
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools"))
import mutation_check as mc  # noqa: E402


def kinds_and_lines(text):
    return [(m.kind, m.replacement) for m in mc.mutants_of_line("game/x.cpp", 1, text)]


class MutantsOfLine(unittest.TestCase):
    def test_each_comparison_turns_to_its_neighbour_one_at_a_time(self):
        found = kinds_and_lines("  if (a < b && c >= d) x = 1;\n")
        self.assertIn(("comparison", "  if (a <= b && c >= d) x = 1;\n"), found)
        self.assertIn(("comparison", "  if (a < b && c > d) x = 1;\n"), found)
        self.assertEqual(2, sum(1 for kind, _ in found if kind == "comparison"))

    def test_compared_integers_shift_both_ways_negative_and_zero_included(self):
        found = [line for kind, line in kinds_and_lines("  return x < -16 || y == 0;\n") if kind == "bound"]
        self.assertEqual(["  return x < -15 || y == 0;\n", "  return x < -17 || y == 0;\n",
                          "  return x < -16 || y == 1;\n", "  return x < -16 || y == -1;\n"], found)

    def test_a_literal_on_the_left_does_not_go_below_zero(self):
        found = [line for kind, line in kinds_and_lines("  ok = 0 <= v;\n") if kind == "bound"]
        self.assertEqual(["  ok = 1 <= v;\n"], found)

    def test_templates_streams_arrows_floats_and_strings_are_left_alone(self):
        for text in ('  std::vector<int> v;\n', '  out << a << "x < 3";\n', '  p->q = r >> 2;\n',
                     '  if (f < 0.5) g();  // a < b\n', "  c = '<';\n"):
            found = [k for k, _ in kinds_and_lines(text) if k != "removed"]
            self.assertEqual([] if "0.5" not in text else ["comparison"], found, text)

    def test_statements_are_removed_but_declarations_returns_and_blocks_kept(self):
        self.assertIn(("removed", "    ;\n"), kinds_and_lines("    ++seen;\n"))
        self.assertIn(("removed", "  ;\n"), kinds_and_lines("  Flush(file);\n"))
        self.assertIn(("removed", "  ;\n"), kinds_and_lines("  a.b[i] += 2;\n"))
        for text in ("  int seen = 0;\n", "  const std::string name = Make();\n", "  return Flush(file);\n",
                     "  if (x) {\n", "  }\n", "#include <x>\n", "  // Flush(file);\n"):
            self.assertNotIn("removed", [k for k, _ in kinds_and_lines(text)], text)


class ChangedLines(unittest.TestCase):
    def test_added_lines_of_each_file_from_a_diff_without_context(self):
        diff = ("diff --git a/core/a.cpp b/core/a.cpp\n--- a/core/a.cpp\n+++ b/core/a.cpp\n"
                "@@ -10,2 +10,3 @@\n-x\n+y\n+z\n+w\n@@ -40 +41 @@\n-q\n+r\n"
                "diff --git a/core/gone.cpp b/core/gone.cpp\n--- a/core/gone.cpp\n+++ /dev/null\n"
                "@@ -1,3 +0,0 @@\n-a\n-b\n-c\n"
                "--- a/game/b.h\n+++ b/game/b.h\n@@ -5,0 +6 @@\n+k\n@@ -9,2 +9,0 @@\n-d\n-e\n")
        self.assertEqual({"core/a.cpp": [10, 11, 12, 41], "game/b.h": [6]}, mc.changed_lines(diff))

    def test_only_library_and_game_sources_are_mutated(self):
        for path in ("core/a.cpp", "game/b.h", "tools/datagen/c.cpp"):
            self.assertTrue(mc.is_library_source(path), path)
        for path in ("tests/core/a_test.cpp", "fuzz/f.cpp", "bench/b.cpp", "docs/x.md", "tools/mutation_check.py",
                     "tools/shaderasm/asm.cpp"):
            self.assertFalse(mc.is_library_source(path), path)


class CoveringSuites(unittest.TestCase):
    TESTS = {
        "tests/core/clock_test.cpp": '#include "core/clock.h"\nTEST(VirtualClock, A) {}\nTEST_F(LibraryClock, B) {}\n',
        "tests/core/other_test.cpp": '#include "core/other.h"\nTEST(Other, A) {}\n',
        "tests/game/model_test.cpp": '#include "game/doors.h"\nTEST_P(CampaignPlayerModelTest, A) {}\n',
        "tests/game/doors_test.cpp": '#include "game/doors.h"\nTEST_P(Doors, A) {}\nTEST_P(Doors, B) {}\n',
    }

    def test_a_test_file_covers_what_it_includes(self):
        self.assertEqual(["VirtualClock.*", "LibraryClock.*"],
                         mc.covering_suites(".", "core/clock.cpp", self.TESTS, slow=False))

    def test_a_header_reached_through_a_fixture_header_of_the_tests_counts(self):
        tests = dict(self.TESTS)
        tests["tests/game/fixture.h"] = '#include "tests/game/deeper.h"\n'
        tests["tests/game/deeper.h"] = '#include "game/floor.h"\n#include "tests/game/fixture.h"\n'
        tests["tests/game/play_test.cpp"] = '#include "tests/game/fixture.h"\nTEST(Play, A) {}\n'
        self.assertEqual(["Play.*"], mc.covering_suites(".", "game/floor.cpp", tests, slow=False))

    def test_parameterised_suites_match_any_instance_and_the_slow_model_waits_for_slow(self):
        self.assertEqual(["*/Doors.*"], mc.covering_suites(".", "game/doors.cpp", self.TESTS, slow=False))
        self.assertEqual(["*/Doors.*", "*/CampaignPlayerModelTest.*"],
                         mc.covering_suites(".", "game/doors.cpp", self.TESTS, slow=True))

    def test_a_file_no_test_names_falls_back_to_its_folders_tests(self):
        self.assertEqual(["VirtualClock.*", "LibraryClock.*", "Other.*"],
                         mc.covering_suites(".", "core/unnamed.cpp", self.TESTS, slow=False))

    def test_a_source_no_test_names_is_covered_by_the_tests_calling_its_functions_and_its_folders(self):
        source = ("namespace plat {\nnamespace {\nSeam& TheSeam() {\n  return s;\n}\n}  // namespace\n\n"
                  "void RecordCalls(bool record) {\n  if (record) Go();\n}\n"
                  "std::vector<std::string> plat::TakeCalls() {\n  return {};\n}\n")
        self.assertEqual(["RecordCalls", "TakeCalls", "TheSeam"], mc.defined_functions(source))
        tests = dict(self.TESTS)
        tests["tests/core/replace_test.cpp"] = "TEST(Replace, A) { plat::TakeCalls(); }\n"
        tests["tests/platform/near_test.cpp"] = "TEST(Near, A) { MyTakeCalls(); }\n"
        self.assertEqual(["Replace.*", "Near.*"], mc.covering_suites(".", "platform/seam.cpp", tests, False, source))
        # Called only by a fixture header: the tests including it are covered.
        tests["tests/game/routes.h"] = "inline void Play() { plat::RecordCalls(true); }\n"
        tests["tests/game/replay_test.cpp"] = '#include "tests/game/routes.h"\nTEST(Replay, A) { Play(); }\n'
        self.assertEqual(["Replace.*", "Replay.*", "Near.*"],
                         mc.covering_suites(".", "platform/seam.cpp", tests, False, source))
        tests["tests/platform/seam_test.cpp"] = '#include "platform/seam.h"\nTEST(Seam, A) {}\n'
        self.assertEqual(["Seam.*"], mc.covering_suites(".", "platform/seam.cpp", tests, False, source))
        # Its own header leaves TakeCalls to a wider one: its callers count too, not MyTakeCalls's.
        with tempfile.TemporaryDirectory() as root:
            os.makedirs(os.path.join(root, "platform"))
            with open(os.path.join(root, "platform", "seam.h"), "w") as f:
                f.write("void RecordCalls(bool record);\n")
            self.assertEqual(["Replace.*", "Seam.*"],
                             mc.covering_suites(root, "platform/seam.cpp", tests, False, source))


class ExtraTrees(unittest.TestCase):
    def test_a_trees_build_folder_sits_where_the_main_one_does_so_compiles_name_the_same_paths(self):
        self.assertEqual("/r/build/dev/mutation-trees/0/build/dev",
                         mc.tree_build_folder("/r", "/r/build/dev", "/r/build/dev/mutation-trees/0"))
        self.assertEqual("/t/out", mc.tree_build_folder("/r/", "/r/out", "/t"))

    def test_builds_leave_the_folder_out_of_the_cache_key_and_keep_a_base_already_set(self):
        saved = os.environ.pop("CCACHE_BASEDIR", None)
        try:
            env = mc.build_environment("/r")
            self.assertEqual(("1", "/r"), (env["CCACHE_NOHASHDIR"], env["CCACHE_BASEDIR"]))
            os.environ["CCACHE_BASEDIR"] = "/work"
            self.assertEqual("/work", mc.build_environment("/r")["CCACHE_BASEDIR"])
        finally:
            os.environ.pop("CCACHE_BASEDIR", None)
            if saved is not None:
                os.environ["CCACHE_BASEDIR"] = saved

    def test_a_build_that_hangs_is_killed_with_the_processes_it_started(self):
        with tempfile.TemporaryDirectory() as folder:
            marker = os.path.join(folder, "late")
            # A generator the build starts sleeps past the limit, then would mark.
            status = mc.run_bounded(["sh", "-c", f"(sleep 2; touch {marker}) & wait"], 0.5)
            self.assertIsNone(status)
            time.sleep(2.5)
            self.assertFalse(os.path.exists(marker))
        self.assertEqual(3, mc.run_bounded(["sh", "-c", "exit 3"], 5))
        self.assertEqual(0, mc.run_bounded(["true"], None))


if __name__ == "__main__":
    unittest.main()
