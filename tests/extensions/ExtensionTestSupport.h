#ifndef KELVO_EXTENSIONTESTSUPPORT_H
#define KELVO_EXTENSIONTESTSUPPORT_H

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "DllRegistry.h"
#include "MDeviceSource.h"
#include "ProgramTestSupport.h"
#include "RaisedCode.h"
#include "RecordingServices.h"

// A host whose extension instruction reaches a registry, as the view's does.
class RegistryServices : public RecordingServices {
public:
    TInt callDll(TInt aNumber, TInt aOpcode, TInt aTop, TUint32 aStackBase) override
    {
        return registry.callDll(aNumber, aOpcode, aTop, aStackBase);
    }
    DllRegistry registry;
};

// A host's stand-ins for the devices, recording what the extensions asked
// of them.
class RecordingDevices : public MDeviceSource {
public:
    TBool tilt(TInt32& aX, TInt32& aY, TInt32& aZ) override
    {
        aX = tiltX;
        aY = tiltY;
        aZ = tiltZ;
        return tilted;
    }
    void torchSwitched(TBool aOn) override { torch.push_back(aOn); }
    void showOverview() override { ++overviews; }
    MLocationFeed* locationFeed() override { return nullptr; }

    TInt32 tiltX = 0;
    TInt32 tiltY = 0;
    TInt32 tiltZ = -1000;
    TBool tilted = EFalse;
    std::vector<TBool> torch;
    TInt overviews = 0;
};

const char KEmptyMain[] = ".record mainFrame\n.static \"main\" main, mainFrame\nmain:\n    ret 0, 1\n";

// A loaded machine that is the thread's current one, as the interpreter's
// is, with a marker in slot 0 that no extension may touch, and a temporary
// directory for device files.
class ExtensionTest : public ::testing::Test {
protected:
    static constexpr TUint32 KMarker = 0x5EA5;

    void SetUp() override
    {
        VirtualMachine::setCurrent(&machine);
        ProgramTestSupport::loadProgram(machine, KEmptyMain, services);
        machine.setTop(-1);
        machine.pushSlot(KMarker);
        std::filesystem::create_directories(directory);
    }
    void TearDown() override
    {
        services.registry.clear();
        VirtualMachine::setCurrent(nullptr);
        std::filesystem::remove_all(directory);
    }

    std::string file(const std::string& aName, const std::string& aText)
    {
        std::ofstream(directory / aName, std::ios::binary) << aText;
        return directory / aName;
    }
    TInt call(MDllExtension& aExtension, TInt aOpcode, TInt aTop = 0)
    {
        return aExtension.callDllNative(aOpcode, aTop, machine.stackAddress());
    }

    const std::filesystem::path directory = std::filesystem::temp_directory_path()
        / ("kelvo-ext-" + std::to_string(::getpid()) + "-"
           + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    VirtualMachine machine;
    RegistryServices services;
};

#endif
