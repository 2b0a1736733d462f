#include "crashreport/Restart.h"

#include <unistd.h>

#include <vector>

namespace crashreport {

void restartProgram(const TSystemFacts& facts) {
    std::vector<char*> argv;
    for (const std::string& argument : facts.arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    if (argv.empty()) argv.push_back(const_cast<char*>(facts.programPath.c_str()));
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        // A session of its own, so it outlives this process and its terminal group.
        ::setsid();
        if (::chdir(facts.startFolder.c_str()) != 0) _exit(127);
        ::execv(facts.programPath.c_str(), argv.data());
        _exit(127);
    }
    terminateProgram();
}

void terminateProgram() { _exit(kTerminateExitCode); }

}  // namespace crashreport
