#include "plot.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "errors.h"

extern char** environ;

namespace sylvo_tool {

namespace {

const char* const kAccepted = "FILE.png or FILE.svg (drawn with /usr/bin/python3, pandas and matplotlib)";

// Where the plotting step and its Python are: SYLVO_PLOT_SCRIPT and
// SYLVO_PYTHON in the environment, else the source tree's script and
// Debian's Python.
std::string setting(const char* name, const char* built_in)
{
    const char* value = std::getenv(name);
    return value && *value ? value : built_in;
}

// Reads all of FD.
std::string read_all(int fd)
{
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            return text;
        }
    }
}

}  // namespace

void check_plot_file(const std::string& file)
{
    std::string ext = file.size() >= 4 ? file.substr(file.size() - 4) : "";
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext != ".png" && ext != ".svg") throw InputError("--plot", file, "is not a .png or .svg file", kAccepted);
}

void draw_plot(const std::string& csv, const std::string& file, const std::string& title, const std::string& stop)
{
    const std::string python = setting("SYLVO_PYTHON", "/usr/bin/python3");
    const std::string script = setting("SYLVO_PLOT_SCRIPT", SYLVO_PLOT_SCRIPT);
    std::vector<std::string> args{python, script, "-", file, "--title", title};
    if (!stop.empty()) {
        args.push_back("--stop");
        args.push_back(stop);
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    int in[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0) throw InputError("--plot", file, "cannot be drawn (no pipe)", kAccepted);
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        throw InputError("--plot", file, "cannot be drawn (no pipe)", kAccepted);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, python.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(err[1]);
    if (spawned != 0) {
        close(in[1]);
        close(err[0]);
        throw InputError("--plot", file, "cannot be drawn: " + python + " cannot be started (" +
                                             std::strerror(spawned) + ")",
                         kAccepted);
    }
    // The table is small: write it all, then collect what the step says.
    std::size_t done = 0;
    while (done < csv.size()) {
        const ssize_t n = write(in[1], csv.data() + done, csv.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    close(in[1]);
    std::string message = read_all(err[0]);
    close(err[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return;
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    const std::size_t last = message.rfind('\n');
    if (last != std::string::npos) message = message.substr(last + 1);
    throw InputError("--plot", file,
                     "cannot be drawn" + (message.empty() ? std::string() : ": " + message), kAccepted);
}

}  // namespace sylvo_tool
