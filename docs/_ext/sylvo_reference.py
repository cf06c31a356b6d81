"""Reference pages generated when the manual is built, so they cannot drift.

  ```{sylvo-help}
  ```
      every command of `sylvo --help-all` with each option, its argument and
      what it does (the program's own words), and each command's --help

  ```{r-help} yield_table
  ```
      an R help page, from the package's installed Rd (tools::Rd2HTML)

  ```{r-help-all}
  ```
      every page of r/sylvo/man, a section each (a page missing from the
      installed package fails the build)

  ```{include-if-exists} schemas/regime.schema.json
  :language: json
  ```
      a file of the checkout as a literal block, or a sentence saying that
      this checkout has none
"""
import re
import subprocess
from pathlib import Path

from docutils import nodes
from docutils.parsers.rst import directives
from sphinx.util import logging
from sphinx.util.docutils import SphinxDirective

import sylvo_run

logger = logging.getLogger(__name__)

OPTION = re.compile(r"^(\s*)(-[-\w]+(?:,\s*--[-\w]+)?)(.*)$")


def parse_help(text):
    """[(command or None, description lines, [(option, argument, text)])] of
    `sylvo --help-all`."""
    commands = []
    current = [None, [], []]
    in_options = False
    in_subcommands = False
    for line in text.split("\n"):
        stripped = line.strip()
        if not stripped:
            continue
        if stripped == "Subcommands:":
            in_subcommands = True
            continue
        if in_subcommands and re.match(r"^[a-z][\w-]*$", line):
            commands.append(current)
            current = [line.strip(), [], []]
            in_options = False
            continue
        if stripped == "Options:":
            in_options = True
            continue
        m = OPTION.match(line)
        if in_options and m and stripped.startswith("-"):
            current[2].append(list(split_option(stripped)))
        elif in_options and current[2] and line.startswith(" " * 8):
            current[2][-1][2] = (current[2][-1][2] + " " + stripped).strip()
        elif not in_options:
            current[1].append(stripped)
    commands.append(current)
    return commands


def split_option(head):
    """(option, argument, what it does) of one option's first help line, with
    CLI11's "Needs:", "Excludes:" and "REQUIRED" written into the text."""
    tokens = head.split()
    option = tokens.pop(0)
    argument = ""
    keywords = ("Needs:", "Excludes:", "REQUIRED")
    if tokens and tokens[0] not in keywords and ("|" in tokens[0] or tokens[0] == tokens[0].upper()):
        argument = tokens.pop(0)
        # An argument such as "AGE:tph=N:p=P|AGE:ba=B:p=P" has no spaces; the
        # text starts after the first run of two spaces in the line.
    notes = []
    while tokens and tokens[0] in keywords:
        word = tokens.pop(0)
        if word == "REQUIRED":
            notes.append("required")
            continue
        names = []
        while tokens and tokens[0].startswith("-"):
            names.append(tokens.pop(0))
        notes.append(("needs " if word == "Needs:" else "not with ") + ", ".join(names))
    what = " ".join(tokens)
    if notes:
        what = (what + " " if what else "") + "(" + "; ".join(notes) + ")"
    return option, argument, what


class SylvoHelp(SphinxDirective):
    has_content = False

    def run(self):
        config = self.config
        root = sylvo_run._root(config)
        code, text, err = sylvo_run._run(["sylvo", "--help-all"], config=config, cwd=root, stderr=False)
        if code != 0:
            logger.warning(f"sylvo --help-all ended with status {code}: {err}", location=self.get_location())
            return []
        result = []
        for command, description, options in parse_help(text):
            name = "sylvo" if command is None else f"sylvo {command}"
            section = nodes.section(ids=[nodes.make_id(name)], names=[nodes.fully_normalize_name(name)])
            section += nodes.title(name, name)
            self.state.document.note_implicit_target(section)
            for d in description:
                if d.startswith("Usage:"):
                    section += nodes.literal_block(d, d, language="text")
                else:
                    section += nodes.paragraph(d, d)
            table = nodes.definition_list()
            for option, argument, what in options:
                term = nodes.term()
                term += nodes.literal(option, option)
                if argument:
                    term += nodes.Text(" ")
                    term += nodes.emphasis(argument, argument)
                item = nodes.definition_list_item()
                item += term
                definition = nodes.definition()
                definition += nodes.paragraph(what, what)
                item += definition
                table += item
            section += table
            if command is not None:
                code, own, _ = sylvo_run._run(["sylvo", command, "--help"], config=config, cwd=root, stderr=False)
                if code != 0:
                    logger.warning(f"sylvo {command} --help ended with status {code}", location=self.get_location())
                section += nodes.rubric(f"{name} --help", f"{name} --help")
                section += nodes.literal_block(own, own.rstrip(), language="text")
            result.append(section)
        return result


class RHelp(SphinxDirective):
    required_arguments = 1

    def run(self):
        return RHelp.page(self, self.arguments[0])

    @staticmethod
    def page(directive, topic):
        self = directive
        config = self.config
        # The Rd file of that name (the man/ file's name) in the installed package.
        script = ("suppressMessages(library(sylvo)); db <- tools::Rd_db('sylvo'); "
                  f"name <- '{topic}.Rd'; if (!name %in% names(db)) quit(status = 3); "
                  "tools::Rd2HTML(db[[name]], out = stdout(), fragment = TRUE, no_links = TRUE)")
        code, html, err = sylvo_run._run([config.sylvo_run_rscript, "-e", script], config=config,
                                         cwd=sylvo_run._root(config), stderr=False)
        if code != 0:
            logger.warning(f"R help page {topic}: Rscript ended with status {code}: {err.strip()[-400:]}",
                           location=self.get_location())
            return []
        # The page's own title and name come first, as sections Rd2HTML's
        # fragment does not name; the manual's heading gives the title.
        start = html.find("<h3>Description</h3>")
        if start >= 0:
            html = html[start:]
        html = re.sub(r"<h2[^>]*>", "<h4>", html).replace("</h2>", "</h4>")
        html = re.sub(r"<h3[^>]*>", "<h5>", html).replace("</h3>", "</h5>")
        return [nodes.raw("", f'<div class="r-help">{html}</div>', format="html")]


class RHelpAll(SphinxDirective):
    """Every help page of r/sylvo/man, as a section each: its title, its
    topics, and the page from the installed package."""

    def run(self):
        man = sylvo_run._root(self.config) / "r" / "sylvo" / "man"
        result = []
        for rd in sorted(man.glob("*.Rd")):
            text = rd.read_text(encoding="utf-8")
            title = re.search(r"\\title\{([^}]*)\}", text)
            title = title.group(1) if title else rd.stem
            aliases = re.findall(r"\\alias\{([^}]*)\}", text)
            section = nodes.section(ids=[nodes.make_id("r-" + rd.stem)], names=[nodes.fully_normalize_name(title)])
            section += nodes.title(title, title)
            topics = nodes.paragraph("", "Topics: ")
            for i, a in enumerate(aliases):
                if i:
                    topics += nodes.Text(", ")
                topics += nodes.literal(a, a)
            section += topics
            section += RHelp.page(self, rd.stem)
            result.append(section)
        return result


class IncludeIfExists(SphinxDirective):
    required_arguments = 1
    option_spec = {"language": directives.unchanged}

    def run(self):
        relative = self.arguments[0]
        path = sylvo_run._root(self.config) / relative
        if not path.is_file():
            text = f"This checkout has no {relative} yet."
            return [nodes.paragraph(text, text)]
        self.env.note_dependency(str(path))
        text = path.read_text(encoding="utf-8")
        node = nodes.literal_block(text, text, language=self.options.get("language", "text"))
        return [node]


def setup(app):
    app.add_directive("sylvo-help", SylvoHelp)
    app.add_directive("r-help", RHelp)
    app.add_directive("r-help-all", RHelpAll)
    app.add_directive("include-if-exists", IncludeIfExists)
    return {"version": "1", "parallel_read_safe": True, "parallel_write_safe": True}
