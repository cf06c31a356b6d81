"""The manual's run-at-build-time examples (docs/_ext/sylvo_run.py): a
small Sphinx project built with the extension must pass as written and fail,
naming the difference, when an example's output is changed.

    /usr/bin/python3 tests/docs/test_run_examples.py     (sylvo from build/bin,
                                                          or SYLVO_DOCS_BIN)
"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
BIN = os.environ.get("SYLVO_DOCS_BIN", str(ROOT / "build" / "bin"))
sys.path.insert(0, str(ROOT / "docs" / "_ext"))
import sylvo_run  # noqa: E402

CONF = f"""
import sys
sys.path.insert(0, {str(ROOT / 'docs' / '_ext')!r})
extensions = ["myst_parser", "sylvo_run"]
sylvo_run_root = {str(ROOT)!r}
sylvo_run_bin = [{BIN!r}]
"""


def build(pages, readme=None):
    """Builds PAGES ({name: text}) with -W, checking the console blocks of
    README when given; returns (status, warnings)."""
    with tempfile.TemporaryDirectory() as tmp:
        src = Path(tmp) / "src"
        src.mkdir()
        conf = CONF
        if readme is not None:
            (Path(tmp) / "README.md").write_text(readme)
            conf += f"sylvo_run_check_files = [{str(Path(tmp) / 'README.md')!r}]\n"
        (src / "conf.py").write_text(conf)
        names = sorted(pages)
        (src / "index.md").write_text("# Test\n\n```{toctree}\n" + "\n".join(names) + "\n```\n")
        for name, text in pages.items():
            (src / f"{name}.md").write_text(text)
        done = subprocess.run(["/usr/bin/python3", "-m", "sphinx", "-b", "html", "-W", "--keep-going", "-E", "-q",
                               str(src), str(Path(tmp) / "out")], capture_output=True, text=True)
        return done.returncode, done.stderr


HEIGHT = """# Height

```{run}
$ sylvo height --model a --age 20 --site 24 --format csv | cut -d, -f1,2
age_yr,site_index_m
20,24
```
"""


class Transcripts(unittest.TestCase):
    def test_an_example_as_written_builds_and_a_changed_one_fails_naming_the_difference(self):
        status, err = build({"height": HEIGHT})
        self.assertEqual(status, 0, err)
        status, err = build({"height": HEIGHT.replace("20,24", "20,25")})
        self.assertNotEqual(status, 0)
        self.assertIn("height.md", err)
        self.assertIn("-20,25", err)
        self.assertIn("+20,24", err)

    def test_status_and_standard_error(self):
        refused = "# R\n\n```{run}\n:status: 2\n:stderr:\n$ sylvo height --model d --age 20 --site 24\n" \
                  "sylvo: --model: 'd' is not a model; accepted: a, b or c (Model A, B or C)\n```\n"
        status, err = build({"refused": refused})
        self.assertEqual(status, 0, err)
        status, err = build({"refused": refused.replace(":status: 2\n", "")})
        self.assertNotEqual(status, 0)
        self.assertIn("ended with status 2, not 0", err)

    def test_a_real_page_of_the_manual_changed_fails(self):
        page = (ROOT / "docs" / "getting-started" / "first-table.md").read_text()
        first, rest = page.split(" 25   13.61", 1)
        status, err = build({"first-table": first + " 25   13.62" + rest})
        self.assertNotEqual(status, 0)
        self.assertIn("- 25   13.62", err)

    def test_the_readmes_console_blocks_are_checked(self):
        readme = (ROOT / "README.md").read_text()
        self.assertIn("```console", readme)
        self.assertEqual(build({"height": HEIGHT}, readme=readme)[0], 0)
        changed = readme.replace(" 25   13.61", " 25   13.60", 1)
        self.assertNotEqual(changed, readme)
        status, err = build({"height": HEIGHT}, readme=changed)
        self.assertNotEqual(status, 0)
        self.assertIn("README.md", err)
        self.assertIn("- 25   13.60", err)

    def test_transcripts_split_into_commands_and_their_output(self):
        steps = sylvo_run.split_transcript(["$ echo 'a", "b'", "a", "b", "$ printf x \\", "  y", "x y"])
        self.assertEqual(steps, [("echo 'a\nb'", ["a", "b"]), ("printf x \\\n  y", ["x y"])])
        with self.assertRaises(sylvo_run.RunError):
            sylvo_run.split_transcript(["output before any command"])

    def test_an_ellipsis_stands_for_any_lines_and_nothing_else(self):
        m = sylvo_run.matches
        self.assertTrue(m(["a", "...", "z"], ["a", "b", "c", "z"]))
        self.assertTrue(m(["a", "...", "z"], ["a", "z"]))
        self.assertFalse(m(["a", "...", "z"], ["a", "b", "y"]))
        self.assertFalse(m(["a", "b"], ["a", "b", "c"]))
        self.assertFalse(m(["a ..."], ["a b"]))


class CodeAndFigures(unittest.TestCase):
    def test_python_output_compared_and_inserted(self):
        code = "# P\n\n```{run} python\nprint(sum(range(5)))\n---\n10\n```\n"
        self.assertEqual(build({"p": code})[0], 0)
        status, err = build({"p": code.replace("\n10\n", "\n11\n")})
        self.assertNotEqual(status, 0)
        self.assertIn("+10", err)
        self.assertEqual(build({"p": "# P\n\n```{run} python\n:insert:\nprint(1)\n```\n"})[0], 0)
        status, err = build({"p": "# P\n\n```{run} python\nprint(1)\n```\n"})
        self.assertNotEqual(status, 0)
        self.assertIn("has no line '---'", err)

    def test_a_figure_not_drawn_fails(self):
        drawn = "# F\n\n```{run-figure} f.png\n:lang: console\nprintf x > \"$SYLVO_FIGURE\"\n```\n"
        self.assertEqual(build({"f": drawn})[0], 0)
        status, err = build({"f": drawn.replace('printf x > "$SYLVO_FIGURE"', "true")})
        self.assertNotEqual(status, 0)
        self.assertIn("did not draw f.png", err)


if __name__ == "__main__":
    if not shutil.which("sylvo", path=BIN):
        sys.exit(f"test_run_examples: no sylvo in {BIN}; build it first (scripts/run.sh)")
    unittest.main()
