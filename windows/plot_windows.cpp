// sylvo table --plot in the Windows build of sylvo.exe: the plotting step is
// a Python program started with POSIX process calls, which the Windows build
// does not have. The file name is checked as on Linux; drawing is refused
// with a message that says what to do instead.
#include <algorithm>
#include <cctype>
#include <string>

#include "errors.h"
#include "plot.h"

namespace sylvo_tool {

namespace {
const char* const kAccepted = "FILE.png or FILE.svg (drawn with /usr/bin/python3, pandas and matplotlib)";
}

void check_plot_file(const std::string& file)
{
    std::string ext = file.size() >= 4 ? file.substr(file.size() - 4) : "";
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext != ".png" && ext != ".svg") throw InputError("--plot", file, "is not a .png or .svg file", kAccepted);
}

void draw_plot(const std::string&, const std::string& file, const std::string&, const std::string&)
{
    throw InputError("--plot", file,
                     "cannot be drawn by the Windows build of sylvo (write the table as CSV with --output and "
                     "plot it with the Python package's sylvo.plot, or use the Linux sylvo)",
                     kAccepted);
}

}  // namespace sylvo_tool
