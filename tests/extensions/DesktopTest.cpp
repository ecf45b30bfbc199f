#include "ExtensionTestSupport.h"

#include "DesktopExtension.h"
#include "ORaw.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include <QCoreApplication>

extern char** environ;

namespace {

const char KOverviewProgram[] = R"(
.record mainFrame
.static "main" main, mainFrame
main:
    ext 37, 1
    ret 0, 1
)";

std::string readAll(const std::filesystem::path& aPath)
{
    std::ifstream in(aPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Waits up to five seconds.
template <typename Condition>
bool waitFor(Condition aReady)
{
    for (int i = 0; i < 100 && !aReady(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return aReady();
}

// A child process writing its standard output to a file, ended with the test.
class Child {
public:
    Child(std::vector<std::string> aArguments, const std::string& aOutput)
    {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, aOutput.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<char*> argv;
        for (std::string& argument : aArguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (posix_spawnp(&iPid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            iPid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child()
    {
        if (iPid > 0 && ::kill(iPid, SIGTERM) == 0)
            ::waitpid(iPid, nullptr, 0);
    }
    pid_t iPid = -1;
};

using DesktopTest = ExtensionTest;

}

// The application runs in-process against a private session bus, which a
// monitor watches. The session bus is found once per process, so no other
// test of this program may use it.
TEST_F(DesktopTest, OverviewRequestReachesTheSessionBus)
{
    const std::string address = "unix:path=" + (directory / "bus").string();
    Child bus({"dbus-daemon", "--session", "--nofork", "--address=" + address}, directory / "bus.out");
    if (bus.iPid < 0 || !waitFor([&] { return std::filesystem::exists(directory / "bus"); }))
        GTEST_SKIP() << "dbus-daemon could not start a private session bus";
    Child monitor({"dbus-monitor", "--address", address}, directory / "monitor.out");
    if (monitor.iPid < 0 || !waitFor([&] { return readAll(directory / "monitor.out").find("NameLost") != std::string::npos; }))
        GTEST_SKIP() << "dbus-monitor could not watch the private bus";

    ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    int argc = 1;
    char name[] = "extensions_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    ProgramTestSupport::loadProgram(machine, KOverviewProgram, services);
    EXPECT_FALSE(machine.isFatal());
    EXPECT_TRUE(waitFor([&] {
        return readAll(directory / "monitor.out")
                   .find("path=/lofasz; interface=com.nokia.hildon_desktop; member=exit_app_view")
            != std::string::npos;
    })) << readAll(directory / "monitor.out");
}

// A host that emulates the devices hears of the request too, and shows the
// overview its own way; the stack stays as it was.
TEST_F(DesktopTest, OverviewRequestAlsoReachesAnEmulatingHost)
{
    RecordingDevices devices;
    services.registry.setDeviceSource(&devices);
    EXPECT_EQ(services.registry.callDll(EDesktopDll, DesktopExtension::EShowApplicationOverview, 0,
                                        machine.stackAddress()),
              0);
    EXPECT_EQ(devices.overviews, 1);
    EXPECT_EQ(machine.slot(0), KMarker);

    devices.tilted = ETrue;
    devices.tiltY = 250;
    EXPECT_EQ(services.registry.callDll(EAccelerometerDll, 12, 0, machine.stackAddress()), 1);
    EXPECT_EQ(machine.fixedOperand(0), OFixed::fromDouble(0.25).raw());
}
