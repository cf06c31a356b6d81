// sylvo table --plot: the table drawn to a PNG or SVG file by the Python
// package's plotting step (python/sylvo/plot_cli.py), which reads the
// table's CSV on its standard input. It needs Debian's Python with pandas
// and matplotlib, not the package itself.
#pragma once

#include <string>

namespace sylvo_tool {

// Refuses (InputError, --plot) a file name that does not end in .png or .svg.
void check_plot_file(const std::string& file);

// Runs the plotting step on CSV, the table in sylvo table's CSV, writing
// FILE with TITLE above the picture and STOP (why the table stopped early, or
// empty) under it. Throws InputError (--plot) with the step's own message
// when it refuses or cannot run.
void draw_plot(const std::string& csv, const std::string& file, const std::string& title, const std::string& stop);

}  // namespace sylvo_tool
