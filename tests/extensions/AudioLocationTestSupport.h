#ifndef KELVO_AUDIOLOCATIONTESTSUPPORT_H
#define KELVO_AUDIOLOCATIONTESTSUPPORT_H

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <glib.h>

#include "MDllExtension.h"
#include "VirtualMachine.h"

// A server the test starts in its own process group, so that stopping it
// also stops whatever it started itself (gpsfake starts gpsd).
class ServerProcess {
public:
    ServerProcess() = default;
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;
    ~ServerProcess() { stop(SIGKILL); }

    // Standard output goes to aOutput, or nowhere; false when the program
    // cannot be found.
    bool start(const std::vector<std::string>& aArguments, const std::string& aOutput = "/dev/null")
    {
        gchar* program = g_find_program_in_path(aArguments[0].c_str());
        g_free(program);
        if (!program)
            return false;
        iPid = ::fork();
        if (iPid == 0) {
            ::setpgid(0, 0);
            const int output = ::open(aOutput.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int nothing = ::open("/dev/null", O_WRONLY);
            ::dup2(output, 1);
            ::dup2(nothing, 2);
            std::vector<char*> argv;
            for (const std::string& argument : aArguments)
                argv.push_back(const_cast<char*>(argument.c_str()));
            argv.push_back(nullptr);
            ::execvp(argv[0], argv.data());
            ::_exit(127);
        }
        return iPid > 0;
    }

    void stop(int aSignal = SIGTERM)
    {
        if (iPid <= 0)
            return;
        ::kill(-iPid, aSignal);
        ::kill(iPid, aSignal);
        ::waitpid(iPid, nullptr, 0);
        iPid = -1;
    }

private:
    pid_t iPid = -1;
};

namespace AudioLocationTestSupport {

// Runs the default GLib context, where the extensions' callbacks arrive,
// until aDone holds or aMillis have passed; answers aDone's last value.
inline bool runEventLoop(int aMillis, const std::function<bool()>& aDone = [] { return false; })
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(aMillis);
    while (std::chrono::steady_clock::now() < end) {
        if (aDone())
            return true;
        if (!g_main_context_iteration(nullptr, FALSE))
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return aDone();
}

// A fresh directory for one test's sockets and files.
inline std::filesystem::path temporaryDirectory()
{
    char* path = g_dir_make_tmp("kelvo-servers-XXXXXX", nullptr);
    std::filesystem::path result(path);
    g_free(path);
    return result;
}

// Calls extension operation aOpcode on the machine's stack, as the
// extension instruction does.
inline void callExtension(VirtualMachine& aMachine, MDllExtension& aExtension, TInt aOpcode)
{
    aMachine.setTop(aExtension.callDllNative(aOpcode, aMachine.top(), aMachine.stackAddress()));
}

// A reference cell for an extension to store into.
inline TUint32 newCell(VirtualMachine& aMachine)
{
    return aMachine.heap().createArray(1, GC_CODE_REF_CELL);
}

}

#endif
