// Running the Debian tools that trelvo-media drives (xorriso, Wine, Xvfb,
// osslsigncode): a program and its arguments, never a shell line, so no name
// on a medium is ever read as shell syntax.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace trelvo::media {

struct RunOptions {
    std::map<std::string, std::string> environment;  // added to (or replacing) ours
    std::vector<std::string> unsetEnvironment;
    std::string workingDirectory;                     // empty: ours
    bool captureOutput = true;                        // standard output and error, together
    std::string input;                                // standard input (else /dev/null); kept small
    // Called with each line of output as it arrives (when captured).
    std::function<void(const std::string&)> onLine;
};

struct RunResult {
    bool started = false;     // false: the program could not be started at all
    int exitStatus = -1;      // the program's exit status, or 128 + signal
    std::string output;       // standard output and error, when captured
    std::string startError;   // why it could not be started
};

RunResult RunProgram(const std::vector<std::string>& arguments, const RunOptions& options = {});

// A program left running while we go on (Xvfb, the launcher under Wine).
// Its output goes nowhere. Ended (SIGTERM, then SIGKILL) when the object is.
class BackgroundProgram {
public:
    BackgroundProgram() = default;
    ~BackgroundProgram() { Stop(); }
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;

    bool Start(const std::vector<std::string>& arguments, const RunOptions& options = {});
    // The exit status once it has ended within `seconds`, else -1.
    int Wait(double seconds);
    bool Running();
    int Pid() const { return pid_; }
    void Stop();

private:
    int pid_ = -1;
    int status_ = -1;
};

// True when `program` is found on PATH (or is a path to an executable file).
bool ProgramAvailable(const std::string& program);

}  // namespace trelvo::media
