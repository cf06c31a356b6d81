"""Checks the built command reference against the program: every option that
`sylvo --help-all` prints for a command is listed in that command's section
of reference/cli.html.

    /usr/bin/python3 tests/docs/check_reference.py SYLVO HTML_DIR
"""
import html
import re
import subprocess
import sys
from pathlib import Path


def options_by_command(help_text):
    """{command: {option names}} read from the help's own layout: a command
    is a line of one word after "Subcommands:", an option a line whose first
    word starts with a dash."""
    found = {"sylvo": set()}
    command = "sylvo"
    subcommands = False
    for line in help_text.split("\n"):
        if line.strip() == "Subcommands:":
            subcommands = True
        elif subcommands and re.fullmatch(r"[a-z][\w-]*", line):
            command = f"sylvo {line}"
            found[command] = set()
        elif re.match(r"^\s+-", line):
            first = line.split()[0]
            found[command].update(first.split(","))
    return found


def main(sylvo, html_dir):
    text = subprocess.run([sylvo, "--help-all"], capture_output=True, text=True, check=True).stdout
    page = html.unescape((Path(html_dir) / "reference" / "cli.html").read_text(encoding="utf-8"))
    missing = []
    sections = re.split(r'<section id="', page)
    by_id = {s.split('"', 1)[0]: s for s in sections[1:]}
    for command, options in options_by_command(text).items():
        section = by_id.get(command.replace(" ", "-"))
        if section is None:
            missing.append(f"{command}: no section")
            continue
        listed = set(re.findall(r'<span class="pre">([^<]+)</span>', section))
        listed = {o for item in listed for o in item.split(",")}
        missing += [f"{command} {o}" for o in sorted(options - listed)]
    if missing:
        print("check_reference: missing from reference/cli.html:\n  " + "\n  ".join(missing), file=sys.stderr)
        return 1
    print(f"check_reference: {sum(map(len, options_by_command(text).values()))} options of "
          f"{len(options_by_command(text))} commands, each in its section")
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
