#include "media/Subprocess.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace trelvo::media {
namespace {

// Owns one end of a pipe.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { Close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    void Close()
    {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

std::vector<std::string> Environment(const RunOptions& options)
{
    std::vector<std::string> entries;
    for (char** entry = environ; *entry; ++entry) {
        std::string text(*entry);
        std::string name = text.substr(0, text.find('='));
        bool dropped = options.environment.count(name) != 0;
        for (const std::string& unset : options.unsetEnvironment) dropped = dropped || unset == name;
        if (!dropped) entries.push_back(text);
    }
    for (const auto& [name, value] : options.environment) entries.push_back(name + "=" + value);
    return entries;
}


// Starts the program with standard input from /dev/null and its output into
// `output` (or /dev/null when it is -1). Returns the error number, 0 when started.
int Spawn(const std::vector<std::string>& arguments, const RunOptions& options, int output, int input, pid_t& child)
{
    if (arguments.empty()) return EINVAL;
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> environment = Environment(options);
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input >= 0) posix_spawn_file_actions_adddup2(&actions, input, 0);
    else posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (output >= 0) {
        posix_spawn_file_actions_adddup2(&actions, output, 1);
        posix_spawn_file_actions_adddup2(&actions, output, 2);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    if (!options.workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.workingDirectory.c_str());
    // Its own process group, so that stopping it reaches what it started.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    int error = ::posix_spawnp(&child, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return error;
}

int StatusOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

}  // namespace

RunResult RunProgram(const std::vector<std::string>& arguments, const RunOptions& options)
{
    RunResult result;
    int ends[2] = {-1, -1};
    if (options.captureOutput && ::pipe2(ends, O_CLOEXEC) != 0) {
        result.startError = std::strerror(errno);
        return result;
    }
    Descriptor readEnd(ends[0]), writeEnd(ends[1]);
    int inputEnds[2] = {-1, -1};
    if (!options.input.empty() && ::pipe2(inputEnds, O_CLOEXEC) != 0) {
        result.startError = std::strerror(errno);
        return result;
    }
    Descriptor inputRead(inputEnds[0]), inputWrite(inputEnds[1]);
    pid_t child = 0;
    if (int error = Spawn(arguments, options, options.captureOutput ? writeEnd.get() : -1, inputRead.get(), child);
        error != 0) {
        result.startError = (arguments.empty() ? std::string("(nothing)") : arguments[0]) + ": " + std::strerror(error);
        return result;
    }
    result.started = true;
    writeEnd.Close();
    inputRead.Close();
    if (inputWrite.get() >= 0) {
        // Small enough for the pipe's buffer: written whole before any output is read.
        for (size_t at = 0; at < options.input.size();) {
            ssize_t put = ::write(inputWrite.get(), options.input.data() + at, options.input.size() - at);
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) break;
            at += size_t(put);
        }
        inputWrite.Close();
    }

    if (options.captureOutput) {
        std::string pending;
        char chunk[4096];
        for (;;) {
            ssize_t got = ::read(readEnd.get(), chunk, sizeof chunk);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            result.output.append(chunk, size_t(got));
            if (!options.onLine) continue;
            pending.append(chunk, size_t(got));
            for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1))
                options.onLine(pending.substr(0, end));
        }
        if (options.onLine && !pending.empty()) options.onLine(pending);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitStatus = StatusOf(status);
    return result;
}

bool BackgroundProgram::Start(const std::vector<std::string>& arguments, const RunOptions& options)
{
    Stop();
    pid_t child = 0;
    if (Spawn(arguments, options, -1, -1, child) != 0) return false;
    pid_ = child;
    status_ = -1;
    return true;
}

bool BackgroundProgram::Running()
{
    if (pid_ < 0) return false;
    int status = 0;
    pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
        status_ = StatusOf(status);
        pid_ = -1;
        return false;
    }
    return done == 0;
}

int BackgroundProgram::Wait(double seconds)
{
    for (double waited = 0; waited <= seconds; waited += 0.05) {
        if (!Running()) return status_;
        ::usleep(50000);
    }
    return -1;
}

void BackgroundProgram::Stop()
{
    if (!Running()) return;
    ::kill(-pid_, SIGTERM);
    if (Wait(3) < 0 && pid_ > 0) {
        ::kill(-pid_, SIGKILL);
        Wait(3);
    }
}

bool ProgramAvailable(const std::string& program)
{
    auto executable = [](const std::string& path) {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
    };
    if (program.find('/') != std::string::npos) return executable(program);
    const char* path = std::getenv("PATH");
    std::string list = path ? path : "/usr/bin:/bin";
    for (size_t start = 0; start <= list.size();) {
        size_t end = list.find(':', start);
        if (end == std::string::npos) end = list.size();
        std::string folder = list.substr(start, end - start);
        if (!folder.empty() && executable(folder + "/" + program)) return true;
        start = end + 1;
    }
    return false;
}

}  // namespace trelvo::media
