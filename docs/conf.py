"""The Sylvo manual (Sphinx, MyST Markdown, furo), built by scripts/docs.sh."""
import os
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent
sys.path.insert(0, str(HERE / "_ext"))

# Where the built tool and the Python package are (scripts/docs.sh sets these).
BIN = os.environ.get("SYLVO_DOCS_BIN", str(ROOT / "build" / "bin"))
PYTHONPATH = [p for p in os.environ.get("SYLVO_DOCS_PYTHONPATH", "").split(os.pathsep) if p]
for p in reversed(PYTHONPATH):
    sys.path.insert(0, p)

project = "Sylvo"
author = "the Sylvo developers"
copyright = "the Sylvo developers"
version = release = (ROOT / "VERSION").read_text().strip() if (ROOT / "VERSION").is_file() else ""

extensions = ["myst_parser", "sphinx.ext.autodoc", "sphinx.ext.napoleon", "sylvo_run", "sylvo_reference"]
source_suffix = {".md": "markdown", ".rst": "restructuredtext"}
exclude_patterns = ["_build", "README.md", "_ext"]
myst_enable_extensions = ["colon_fence", "deflist"]
myst_heading_anchors = 3

# Every reference must resolve.
nitpicky = True
nitpick_ignore_regex = [(r"py:class", r"(numpy|pandas|matplotlib|dask)\..*"),
                        (r"py:class", r"(optional|array-like|DataFrame|Figure|Axes|callable)")]

html_theme = "furo"
html_title = "Sylvo"
html_static_path = ["_static"]
html_css_files = ["sylvo.css"]
pygments_style = "sphinx"
smartquotes = False  # options such as --site stay as they are typed

sylvo_run_root = str(ROOT)
sylvo_run_bin = [BIN]
sylvo_run_pythonpath = PYTHONPATH
sylvo_run_check_files = ["README.md"]

autodoc_member_order = "bysource"
autodoc_typehints = "none"
