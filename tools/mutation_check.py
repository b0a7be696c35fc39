#!/usr/bin/env python3
"""Plants small faults in the lines a change touched and reports which survive.

For every C++ source line added or changed since BASE (tests, fuzz targets and
benchmarks excluded) it makes mutants one at a time: a comparison turned to its
neighbour (< and <=, > and >=, == and !=), an integer compared with shifted by
one either way, and a plain statement removed. Each mutant is built and the
tests that cover its file are run; a mutant that still passes them marks a line
no test guards. The source is restored after each mutant, and on an interrupt.

    tools/mutation_check.py --build build/dev [--base main] [--jobs 4]

Extra trees (--jobs above 1) sit in BUILD/mutation-trees, each built at the
same place under its tree as BUILD under this one, with ccache told not to
hash the build folder: with ccache as the compiler launcher and CCACHE_BASEDIR
above the tree, the first tree's build fills the cache and the others and
every later run take their objects from it.

Covering tests are found from the includes: a test file covers a source file
when it includes the source's header (or the source itself), itself or through
a header of tests/, or is named after it; a source no test file names falls back to its folder's tests. Suites of
the model of a player are left out unless --slow is given: they take minutes.
"""

import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import time
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass

SOURCE_FOLDERS = ("core", "graphics", "image", "input", "sound", "font", "softrender", "movie", "network",
                  "platform", "game", "tools")
SOURCE_SUFFIXES = (".cpp", ".h")
SLOW_SUITES = ("CampaignPlayerModelTest",)
# A mutant's build may take this many times a test run's limit.
BUILD_TIME_PER_TEST_TIME = 3

# Binary comparisons as the formatter writes them: one space each side. That
# keeps template brackets and stream operators out.
COMPARISON = re.compile(r"(?<=\s)(<=|>=|==|!=|<|>)(?=\s)")
FLIPPED = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}
BOUND_AFTER = re.compile(r"(?<=\s)(<=|>=|==|!=|<|>)\s+(-?\d+)\b(?![.\dxXeEfFuUlL])")
BOUND_BEFORE = re.compile(r"(?<![\w.])(\d+)\s+(<=|>=|==|!=|<|>)(?=\s)")
# A statement that stands alone on its line and whose removal still builds
# as often as not: calls, assignments, increments, breaks and continues.
STATEMENT = re.compile(r"^\s*(?:[\w:.\->\[\]*()]+\s*(?:[-+*/|&^]?=|\+\+|--)\s*.*|[\w:.\->]+\(.*\)|"
                       r"\+\+\w+|--\w+|break|continue)\s*;\s*(?://.*)?$")
DECLARATION = re.compile(r"^\s*(?:const\s+|static\s+|constexpr\s+)*(?:auto|int|bool|double|float|char|"
                         r"std::[\w:<>, ]+|unsigned|u?int\d+_t|size_t|[A-Z]\w*(?:<[^;]*>)?)\s*[&*]?\s+\w+\s*[=({;]")


@dataclass(frozen=True)
class Mutant:
    path: str
    line: int  # 1-based
    original: str
    replacement: str
    kind: str

    def describe(self):
        if self.kind == "removed":
            return "removed: " + self.original.strip()
        return self.kind + ": " + self.replacement.strip()


def strip_comment_and_strings(text):
    """The line with string and character literals blanked and any // comment cut,
    so positions still match the original."""
    out, i, quote = [], 0, None
    while i < len(text):
        c = text[i]
        if quote:
            if c == "\\" and i + 1 < len(text):
                out.append("  ")
                i += 2
                continue
            out.append(" " if c != quote else c)
            if c == quote:
                quote = None
        elif c in "\"'":
            quote = c
            out.append(c)
        elif text.startswith("//", i):
            break
        else:
            out.append(c)
        i += 1
    return "".join(out).ljust(len(text))


def mutants_of_line(path, number, text):
    """Every mutant of one source line, in a fixed order."""
    code = strip_comment_and_strings(text)
    stripped = code.strip()
    if not stripped or stripped.startswith(("#", "*", "/*")):
        return []
    found = []

    def add(start, end, new, kind):
        found.append(Mutant(path, number, text, text[:start] + new + text[end:], kind))

    for match in COMPARISON.finditer(code):
        op = match.group(1)
        add(match.start(1), match.end(1), FLIPPED[op], "comparison")
    for match in BOUND_AFTER.finditer(code):
        value = int(match.group(2))
        for shifted in (value + 1, value - 1):
            add(match.start(2), match.end(2), str(shifted), "bound")
    for match in BOUND_BEFORE.finditer(code):
        value = int(match.group(1))
        for shifted in (value + 1, value - 1):
            if shifted >= 0:
                add(match.start(1), match.end(1), str(shifted), "bound")
    if STATEMENT.match(code) and not DECLARATION.match(code) and not stripped.startswith("return"):
        indent = text[:len(text) - len(text.lstrip())]
        found.append(Mutant(path, number, text, indent + ";" + ("\n" if text.endswith("\n") else ""), "removed"))
    return found


HUNK = re.compile(r"^@@ -\d+(?:,\d+)? \+(\d+)(?:,(\d+))? @@")


def changed_lines(diff_text):
    """{path: sorted added line numbers} from a unified diff with no context."""
    lines, path = {}, None
    for row in diff_text.splitlines():
        if row.startswith("+++ "):
            path = row[6:] if row.startswith("+++ b/") else None
        elif path and (match := HUNK.match(row)):
            start, count = int(match.group(1)), int(match.group(2) or "1")
            lines.setdefault(path, []).extend(range(start, start + count))
    return {p: sorted(set(n)) for p, n in lines.items() if n}


def is_library_source(path):
    return path.endswith(SOURCE_SUFFIXES) and path.split("/", 1)[0] in SOURCE_FOLDERS and \
        not path.startswith("tools/shaderasm/") and not os.path.basename(path).endswith("_test.cpp")


TEST_NAME = re.compile(r"^\s*TEST(_F|_P)?\(\s*(\w+)\s*,", re.M)


def suites_in(test_text):
    suites = []
    for kind, suite in TEST_NAME.findall(test_text):
        pattern = ("*/" + suite + ".*") if kind == "_P" else (suite + ".*")
        if pattern not in suites:
            suites.append(pattern)
    return suites


# A function defined at the start of a line: "Type Name(" or "Type Space::Name(".
DEFINITION = re.compile(r"^(?!return\b|if\b|for\b|while\b|switch\b)[A-Za-z_][\w:<>,*& ]*[\s*&]"
                        r"(?:\w+::)*(\w+)\(", re.M)


def defined_functions(source_text):
    """The names of the functions a source defines at namespace level."""
    return sorted(set(DEFINITION.findall(source_text)))


INCLUDE = re.compile(r'#include "([^"]+)"')


def reached_includes(test_path, test_files):
    """Every quoted include a test file reaches, through the headers of tests/
    it includes too (a fixture header that includes the game's headers)."""
    reached, pending = set(), [test_path]
    while pending:
        for name in INCLUDE.findall(test_files.get(pending.pop(), "")):
            if name not in reached:
                reached.add(name)
                if name in test_files:
                    pending.append(name)
    return reached


def covering_suites(root, path, test_files, slow, source_text=""):
    """The gtest patterns of the suites whose files cover a source file: those
    that include it or its header or are named after it; for a source no test
    names that way (its functions declared in a wider header), those that call
    a function it defines, themselves or through a header of tests/ they
    include, and its folder's tests."""
    stem = os.path.splitext(path)[0]
    names = {path, stem + ".h"}
    base = os.path.basename(stem)
    chosen = []
    for test_path in test_files:
        if reached_includes(test_path, test_files) & names or os.path.basename(test_path).startswith(base + "_"):
            chosen.append(test_path)
    # A function the source defines that its own header leaves to a wider one
    # is reached by its callers without that include.
    try:
        with open(os.path.join(root, stem + ".h"), encoding="utf-8", errors="replace") as f:
            own_header = f.read()
    except OSError:
        own_header = None
    wider = [name for name in defined_functions(source_text)
             if own_header is not None and not re.search(r"\b" + name + r"\(", own_header)]
    if chosen and wider:
        called = re.compile(r"\b(?:" + "|".join(wider) + r")\(")
        chosen += [t for t in test_files if t not in chosen and any(
            called.search(test_files.get(name, "")) for name in {t} | reached_includes(t, test_files))]
    if not chosen:
        folder = "tests/" + path.split("/", 1)[0] + "/"
        functions = defined_functions(source_text)
        called = re.compile(r"\b(?:" + "|".join(functions) + r")\(") if functions else None
        # A call made in a fixture header of tests/ counts for every test that includes it.
        chosen = [t for t in test_files
                  if t.startswith(folder) or (called is not None and any(
                      called.search(test_files.get(name, "")) for name in {t} | reached_includes(t, test_files)))]
    patterns = []
    for test_path in sorted(chosen):
        for pattern in suites_in(test_files[test_path]):
            if (slow or not any(s in pattern for s in SLOW_SUITES)) and pattern not in patterns:
                patterns.append(pattern)
    return patterns


def read_test_files(root):
    found = {}
    for folder, _, files in os.walk(os.path.join(root, "tests")):
        for name in files:
            if name.endswith((".cpp", ".h")):
                full = os.path.join(folder, name)
                with open(full, encoding="utf-8", errors="replace") as f:
                    found[os.path.relpath(full, root)] = f.read()
    return found


def build_environment(root):
    """Builds share ccache entries across trees: the build folder is left out
    of the hash (debug information puts it in by default), and paths are made
    relative from ROOT down (the trees are inside it) when no base is set."""
    env = dict(os.environ, CCACHE_NOHASHDIR="1")
    env.setdefault("CCACHE_BASEDIR", root)
    return env


def tree_build_folder(root, build, tree):
    """The build folder of an extra tree: where BUILD is under ROOT, so that
    every path a compile names is the same relative to its build folder."""
    return os.path.join(tree, os.path.relpath(os.path.abspath(build), os.path.abspath(root)))


def run_bounded(command, limit, **options):
    """COMMAND's exit status, or None when it outlasts LIMIT seconds (None:
    no limit); then it is killed with every process it started."""
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               start_new_session=True, **options)
    try:
        return process.wait(timeout=limit)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        return None


class Tree:
    """A source tree and its build folder, where one mutant at a time is tried."""

    def __init__(self, root, build, target, test_binary, timeout):
        self.root, self.build, self.target = root, build, target
        self.test_binary, self.timeout = test_binary, timeout

    def compile(self, parallel=1, limit=None):
        """True when the target builds; None when it outlasts LIMIT seconds."""
        status = run_bounded(["cmake", "--build", self.build, "--target", self.target, "--parallel", str(parallel)],
                             limit, cwd=self.root, env=build_environment(self.root))
        return None if status is None else status == 0

    def tests_pass(self, patterns):
        env = dict(os.environ, QZ_BACKEND="headless")
        command = [os.path.join(self.build, self.test_binary), "--gtest_brief=1",
                   "--gtest_filter=" + ":".join(patterns)]
        # A mutant that hangs is caught by the time limit (None).
        return run_bounded(command, self.timeout, cwd=self.root, env=env) == 0

    def attempt(self, mutant, patterns):
        """'built' is False when the compiler refused the mutant."""
        full = os.path.join(self.root, mutant.path)
        with open(full, encoding="utf-8") as f:
            original = f.read()
        rows = original.splitlines(keepends=True)
        rows[mutant.line - 1] = mutant.replacement
        try:
            with open(full, "w", encoding="utf-8") as f:
                f.write("".join(rows))
            # The build runs generators over the library (the shader pack goes
            # through the archive encoder): one a mutant hangs has caught it.
            built = self.compile(limit=BUILD_TIME_PER_TEST_TIME * self.timeout)
            if built is None:
                return "tests"
            if not built:
                return "compiler"
            return "tests" if not self.tests_pass(patterns) else "survived"
        finally:
            with open(full, "w", encoding="utf-8") as f:
                f.write(original)


def add_worktrees(root, build, count):
    """Extra trees at HEAD, each with a build folder configured like BUILD's:
    (tree, its build folder) pairs."""
    cache = open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8").read()
    options = []
    # The outside test data too: beside a tree it is not, and its tests would skip.
    for key in ("CMAKE_BUILD_TYPE", "QZ_SANITIZE", "QZ_BUILD_BENCH", "CMAKE_CXX_COMPILER_LAUNCHER",
                "CMAKE_C_COMPILER_LAUNCHER", "QZ_SHARED_TESTDATA"):
        match = re.search(r"^" + key + r":\w+=(.*)$", cache, re.M)
        if match and match.group(1):
            options.append("-D" + key + "=" + match.group(1))
    head = subprocess.check_output(["git", "rev-parse", "HEAD"], cwd=root, text=True).strip()
    trees = []
    for k in range(count):
        path = os.path.join(os.path.abspath(build), "mutation-trees", str(k))
        if os.path.isdir(path):
            subprocess.run(["git", "checkout", "--detach", "--force", head], cwd=path, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        else:
            subprocess.run(["git", "worktree", "add", "--detach", path, head], cwd=root, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        tree_build = tree_build_folder(root, build, path)
        subprocess.run(["cmake", "-S", path, "-B", tree_build] + options, check=True, stdout=subprocess.DEVNULL)
        trees.append((path, tree_build))
    return trees


def stop_on_signal(*_):
    raise KeyboardInterrupt


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", required=True, help="a configured build folder of this tree")
    parser.add_argument("--base", default="HEAD~1", help="the revision the change is measured from")
    parser.add_argument("--jobs", type=int, default=1, help="mutants tried at once (extra trees at HEAD)")
    parser.add_argument("--only", default="", help="a regular expression the source paths must match")
    parser.add_argument("--slow", action="store_true", help="run the model of a player's suites too")
    parser.add_argument("--list", action="store_true", help="list the mutants and their tests, try none")
    parser.add_argument("--timeout", type=int, default=300,
                        help="seconds a test run may take (a mutant's build, three times as long)")
    args = parser.parse_args()

    root = subprocess.check_output(["git", "rev-parse", "--show-toplevel"], text=True).strip()
    build = os.path.abspath(args.build)
    # A base far back takes in files that are not UTF-8; they hold no C++ to mutate.
    diff = subprocess.check_output(["git", "diff", "-U0", "--no-color", args.base, "--"], cwd=root,
                                   text=True, errors="replace")
    if args.jobs > 1 and subprocess.check_output(["git", "status", "--porcelain", "--untracked-files=no"],
                                                 cwd=root, text=True).strip():
        sys.exit("mutation_check: --jobs above 1 tries mutants in trees at HEAD: commit the change first")
    test_files = read_test_files(root)
    work = []
    for path, numbers in sorted(changed_lines(diff).items()):
        if not is_library_source(path) or (args.only and not re.search(args.only, path)):
            continue
        with open(os.path.join(root, path), encoding="utf-8") as f:
            rows = f.read().splitlines(keepends=True)
        patterns = covering_suites(root, path, test_files, args.slow, "".join(rows))
        for number in numbers:
            if number <= len(rows):
                work.extend((m, patterns) for m in mutants_of_line(path, number, rows[number - 1]))
    if args.list:
        for mutant, patterns in work:
            print(f"{mutant.path}:{mutant.line}: {mutant.describe()}  [{':'.join(patterns) or 'no tests'}]")
        print(f"{len(work)} mutants")
        return 0
    if not work:
        print("no mutable lines changed since " + args.base)
        return 0

    trees = [Tree(root, build, "qz_tests", "tests/qz_tests", args.timeout)]
    if args.jobs > 1:
        # The build folder may sit any depth under its tree (build/dev): the
        # tree is where the mutants are written, so it is taken as made.
        trees = [Tree(tree, tree_build, "qz_tests", "tests/qz_tests", args.timeout)
                 for tree, tree_build in add_worktrees(root, build, args.jobs)]
    # Every tree must build and pass the chosen tests unmutated, or a failing
    # test would pass for a caught mutant.
    every_pattern = sorted({p for _, patterns in work for p in patterns})
    # The first tree builds alone on every job, filling the cache the others
    # then build from side by side.
    first_built = trees[0].compile(parallel=len(trees))
    with ThreadPoolExecutor(max_workers=len(trees)) as checks:
        sound = list(checks.map(lambda tree: tree.compile() and tree.tests_pass(every_pattern), trees))
    sound[0] = sound[0] and first_built
    for tree, ready in zip(trees, sound):
        if not ready:
            sys.exit(f"mutation_check: {tree.root} does not build or its tests fail before any mutant")

    free = list(trees)
    previous = signal.signal(signal.SIGTERM, stop_on_signal)
    results = []
    started = time.time()

    def try_one(item):
        tree = free.pop()
        try:
            return item[0], ("untested" if not item[1] else tree.attempt(*item))
        finally:
            free.append(tree)

    pool = ThreadPoolExecutor(max_workers=len(trees))
    try:
        for future in [pool.submit(try_one, item) for item in work]:
            mutant, outcome = future.result()
            results.append((mutant, outcome))
            if outcome in ("survived", "untested"):
                print(f"{mutant.path}:{mutant.line}: {outcome}: {mutant.describe()}", flush=True)
    finally:
        # Mutants being tried finish and restore their files; the rest never start.
        pool.shutdown(wait=True, cancel_futures=True)
        signal.signal(signal.SIGTERM, previous)

    counts = {k: sum(1 for _, o in results if o == k) for k in ("tests", "compiler", "survived", "untested")}
    total = len(results)
    # A mutant the compiler refuses is no planted fault: the figure counts
    # only those that built.
    planted = total - counts["compiler"]
    lines = {(m.path, m.line) for m, _ in results}
    unguarded = {(m.path, m.line) for m, o in results if o in ("survived", "untested")}
    print(f"\n{total} mutants on {len(lines)} changed lines in {time.time() - started:.0f} s: "
          f"{counts['tests']} caught by tests, {counts['compiler']} refused by the compiler, "
          f"{counts['survived']} survived, {counts['untested']} on files no test covers")
    for path in sorted({m.path for m, _ in results}):
        built = [o for m, o in results if m.path == path and o != "compiler"]
        print(f"  {path}: {built.count('tests')}/{len(built)} caught")
    print(f"caught: {counts['tests']}/{planted} ({100.0 * counts['tests'] / max(planted, 1):.1f}%) of the faults "
          f"that built; lines no test guards: {len(unguarded)} of {len(lines)}")
    return 0 if counts["survived"] + counts["untested"] == 0 else 1


if __name__ == "__main__":
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        sys.exit("mutation_check: interrupted; every source file was restored")
