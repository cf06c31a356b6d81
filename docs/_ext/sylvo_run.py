"""Examples that run when the manual is built.

Directives (MyST: a fenced block whose info string is the directive):

  ```{run}                      a shell transcript: "$ COMMAND" lines, each
  $ sylvo height --age 20 ...   followed by the output it must print
  ...                           (a line "..." stands for any lines)
  ```

  ```{run} python               Python (/usr/bin/python3) or R (Rscript):
  print(1 + 1)                  the code, a line "---", and the output the
  ---                           code must print
  2
  ```

  :insert:   take the output as the program prints it instead of comparing
             (for output that is not worth checking line by line)
  :status: N the exit status every command must end with (default 0)
  :stderr:   compare standard error too (merged with standard output)
  :cwd: DIR  run in DIR, relative to the checkout (default: the checkout)
  :hide-output:  run and compare, show only the code

  ```{run-figure} images/name.png    runs the code (Python by default;
  :alt: text                         "r" or "console" as :lang:) with the
  :show-code:                        path to draw to in $SYLVO_FIGURE, and
  import sylvo ...                   shows the picture
  ```

Any difference between the output and the block, a command that cannot be
run, a non-zero status not asked for or a figure not drawn is a warning,
which the manual's build (-W) turns into a failure. Programs run with the
built sylvo tool first on PATH (sylvo_run_bin), the Python package on
PYTHONPATH (sylvo_run_pythonpath) and MPLBACKEND=Agg, in the checkout.

The ```console blocks of the files in sylvo_run_check_files (the README)
are checked as {run} blocks when the build starts.
"""
import difflib
import os
import re
import shlex
import subprocess
import tempfile
from pathlib import Path

from docutils import nodes
from docutils.parsers.rst import directives
from sphinx.util import logging
from sphinx.util.docutils import SphinxDirective

logger = logging.getLogger(__name__)

SEPARATOR = "---"
ELLIPSIS = "..."
LANGUAGES = {"console": "console", "sh": "console", "python": "python", "r": "r"}


class RunError(Exception):
    pass


def _environment(config):
    env = dict(os.environ)
    path = [str(p) for p in config.sylvo_run_bin if p]
    env["PATH"] = os.pathsep.join(path + [env.get("PATH", "/usr/bin:/bin")])
    if config.sylvo_run_pythonpath:
        env["PYTHONPATH"] = os.pathsep.join([str(p) for p in config.sylvo_run_pythonpath] +
                                            ([env["PYTHONPATH"]] if env.get("PYTHONPATH") else []))
    env["MPLBACKEND"] = "Agg"
    env["LC_ALL"] = "C.UTF-8"
    env["COLUMNS"] = "200"
    return env


def _run(argv, *, config, cwd, stderr, stdin=None, extra_env=None):
    env = _environment(config)
    env.update(extra_env or {})
    try:
        done = subprocess.run(argv, cwd=cwd, env=env, input=stdin, capture_output=True, text=True,
                              timeout=config.sylvo_run_timeout)
    except (OSError, subprocess.TimeoutExpired) as e:
        raise RunError(f"{' '.join(argv[:2])}: cannot be run ({e})") from None
    out = done.stdout + (done.stderr if stderr else "")
    return done.returncode, out, done.stderr


def _built(command, config):
    """COMMAND with build/bin/ of the checkout read as the build being
    documented (sylvo_run_bin), where that is another directory."""
    if not config.sylvo_run_bin:
        return command
    bin_dir = Path(config.sylvo_run_bin[0]).resolve()
    if bin_dir == _root(config) / "build" / "bin":
        return command
    return re.sub(r"(?<![\w/.-])build/bin/", shlex.quote(str(bin_dir)) + "/", command)


def split_transcript(lines):
    """[(command, [expected lines])] of a "$ COMMAND" transcript. A command
    goes on over the next lines while it ends in a backslash or has a quote
    open, or where they start with "> "."""
    steps = []
    i = 0
    while i < len(lines):
        line = lines[i]
        if not line.startswith("$ "):
            if steps:
                steps[-1][1].append(line)
            elif line.strip():
                raise RunError(f"line {i + 1} of the block comes before any '$ ' command: {line!r}")
            i += 1
            continue
        command = [line[2:]]
        i += 1
        while i < len(lines) and _continues("\n".join(command), lines[i]):
            command.append(lines[i][2:] if lines[i].startswith("> ") else lines[i])
            i += 1
        steps.append(("\n".join(command), []))
    return steps


def _continues(command, next_line):
    if next_line.startswith("> "):
        return True
    if command.endswith("\\"):
        return True
    try:
        shlex.split(command)
    except ValueError:  # a quote still open
        return True
    return False


def _normalise(text):
    lines = [line.rstrip() for line in text.replace("\r\n", "\n").split("\n")]
    while lines and not lines[-1]:
        lines.pop()
    return lines


def matches(expected, actual):
    """Whether the ACTUAL lines match the EXPECTED ones, where a line "..."
    matches any number of lines."""
    def at(e, a):
        if e == len(expected):
            return a == len(actual)
        if expected[e] == ELLIPSIS:
            return any(at(e + 1, k) for k in range(a, len(actual) + 1))
        return a < len(actual) and expected[e] == actual[a] and at(e + 1, a + 1)
    return at(0, 0)


def difference(expected, actual, what):
    diff = difflib.unified_diff(expected, actual, "the block", what, lineterm="", n=2)
    return "\n".join(diff)


def check_transcript(lines, *, config, cwd, status=0, stderr=False, insert=False):
    """Runs each command of a transcript; returns (the transcript with the
    real output where INSERT, the list of problems)."""
    problems = []
    shown = []
    for command, expected in split_transcript(lines):
        code, out, err = _run(["bash", "-c", _built(command, config)], config=config, cwd=cwd, stderr=stderr)
        actual = _normalise(out)
        shown.append("$ " + command.replace("\n", "\n"))
        if code != status:
            problems.append(f"'{command}' ended with status {code}, not {status}" +
                            (f"; standard error:\n{err.rstrip()}" if err.strip() else ""))
        if insert:
            shown += actual
            continue
        want = _normalise("\n".join(expected))
        if not matches(want, actual):
            problems.append(f"'{command}' printed something else than the block shows:\n" +
                            difference(want, actual, "the output"))
        shown += expected
    while shown and not shown[-1].strip():
        shown.pop()
    return shown, problems


def run_code(language, code, *, config, cwd, status=0, stderr=False, extra_env=None):
    """Runs CODE (python or r); returns (status, output lines)."""
    suffix = {"python": ".py", "r": ".R"}[language]
    with tempfile.NamedTemporaryFile("w", suffix=suffix, delete=False) as f:
        f.write(code + "\n")
        script = f.name
    try:
        argv = [config.sylvo_run_python, script] if language == "python" else [config.sylvo_run_rscript, script]
        code_, out, err = _run(argv, config=config, cwd=cwd, stderr=stderr, extra_env=extra_env)
    finally:
        os.unlink(script)
    return code_, _normalise(out), err


def _root(config):
    return Path(config.sylvo_run_root).resolve()


class RunDirective(SphinxDirective):
    has_content = True
    optional_arguments = 1
    option_spec = {"insert": directives.flag, "status": directives.nonnegative_int, "stderr": directives.flag,
                   "cwd": directives.unchanged, "hide-output": directives.flag}

    def run(self):
        config = self.config
        language = LANGUAGES.get((self.arguments[0] if self.arguments else "console").lower())
        if language is None:
            raise self.error(f"run: '{self.arguments[0]}' is not a language; accepted: console, python or r")
        cwd = _root(config) / self.options.get("cwd", ".")
        status = self.options.get("status", 0)
        stderr = "stderr" in self.options
        insert = "insert" in self.options
        lines = list(self.content)
        location = self.get_location()
        try:
            if language == "console":
                shown, problems = check_transcript(lines, config=config, cwd=cwd, status=status, stderr=stderr,
                                                   insert=insert)
                result = [self._literal("\n".join(shown), "console")]
            else:
                if SEPARATOR in lines:
                    k = lines.index(SEPARATOR)
                    code, expected = lines[:k], lines[k + 1:]
                elif insert:
                    code, expected = lines, []
                else:
                    raise self.error(f"run {language}: the block has no line '{SEPARATOR}' before the output it "
                                     "must print (or give :insert: to show the output as it comes)")
                code_text = "\n".join(code)
                got, actual, err = run_code(language, code_text, config=config, cwd=cwd, stderr=stderr)
                problems = []
                if got != status:
                    problems.append(f"the {language} code ended with status {got}, not {status}" +
                                    (f"; standard error:\n{err.rstrip()}" if err.strip() else ""))
                want = _normalise("\n".join(expected))
                if not insert and not matches(want, actual):
                    problems.append(f"the {language} code printed something else than the block shows:\n" +
                                    difference(want, actual, "the output"))
                result = [self._literal(code_text, language)]
                output = actual if insert else expected
                if "hide-output" not in self.options and any(s.strip() for s in output):
                    result.append(self._literal("\n".join(output), "text", classes=["run-output"]))
        except RunError as e:
            problems, result = [str(e)], []
        for p in problems:
            logger.warning(f"example: {p}", location=location, type="sylvo-run", subtype="example")
        return result

    def _literal(self, text, language, classes=()):
        node = nodes.literal_block(text, text, language=language, classes=list(classes))
        self.set_source_info(node)
        return node


class RunFigureDirective(SphinxDirective):
    has_content = True
    required_arguments = 1
    option_spec = {"alt": directives.unchanged, "width": directives.unchanged, "lang": directives.unchanged,
                   "show-code": directives.flag, "caption": directives.unchanged}

    def run(self):
        config = self.config
        relative = self.arguments[0]
        target = (Path(self.env.srcdir) / relative).resolve()
        target.parent.mkdir(parents=True, exist_ok=True)
        language = LANGUAGES.get(self.options.get("lang", "python").lower())
        code = "\n".join(self.content)
        location = self.get_location()
        before = target.stat().st_mtime_ns if target.exists() else None
        env = {"SYLVO_FIGURE": str(target)}
        try:
            if language == "console":
                got, out, err = _run(["bash", "-c", code], config=config, cwd=_root(config),
                                     stderr=False, extra_env=env)
            else:
                got, out, err = run_code(language, code, config=config, cwd=_root(config), extra_env=env)
            problem = None
            if got != 0:
                problem = f"the figure's code ended with status {got}; standard error:\n{err.rstrip()}"
            elif not target.exists() or target.stat().st_mtime_ns == before:
                problem = f"the figure's code did not draw {relative}"
        except RunError as e:
            problem = str(e)
        if problem:
            logger.warning(f"figure: {problem}", location=location, type="sylvo-run", subtype="figure")
        result = []
        if "show-code" in self.options:
            result.append(nodes.literal_block(code, code, language=language or "python"))
        image = nodes.image(uri="/" + relative, alt=self.options.get("alt", ""))
        if "width" in self.options:
            image["width"] = self.options["width"]
        if "caption" in self.options:
            figure = nodes.figure("", image)
            caption = self.options["caption"]
            figure += nodes.caption(caption, caption)
            result.append(figure)
        else:
            result.append(image)
        return result


FENCE = re.compile(r"^```+\s*console\s*$")


def check_files(app):
    """The ```console blocks of sylvo_run_check_files, run as transcripts."""
    config = app.config
    for name in config.sylvo_run_check_files:
        path = _root(config) / name
        lines = path.read_text(encoding="utf-8").split("\n")
        i = 0
        while i < len(lines):
            if FENCE.match(lines[i]):
                start = i + 1
                j = start
                while j < len(lines) and not lines[j].startswith("```"):
                    j += 1
                try:
                    _, problems = check_transcript(lines[start:j], config=config, cwd=_root(config))
                except RunError as e:
                    problems = [str(e)]
                for p in problems:
                    logger.warning(f"example: {p}", location=f"{path}:{start}", type="sylvo-run",
                                   subtype="example")
                i = j
            i += 1


def setup(app):
    app.add_config_value("sylvo_run_root", str(Path(__file__).resolve().parents[2]), "env")
    app.add_config_value("sylvo_run_bin", [], "env")
    app.add_config_value("sylvo_run_pythonpath", [], "env")
    app.add_config_value("sylvo_run_python", "/usr/bin/python3", "env")
    app.add_config_value("sylvo_run_rscript", "Rscript", "env")
    app.add_config_value("sylvo_run_timeout", 600, "env")
    app.add_config_value("sylvo_run_check_files", [], "env")
    app.add_directive("run", RunDirective)
    app.add_directive("run-figure", RunFigureDirective)
    app.connect("builder-inited", check_files)
    return {"version": "1", "parallel_read_safe": True, "parallel_write_safe": True}
