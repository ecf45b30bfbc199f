#ifndef KELVO_FUZZSERVICES_H
#define KELVO_FUZZSERVICES_H

// The host of the native-call fuzzer: everything the natives and the
// extensions ask of a host, answered the same way for the same input, so
// that a finding repeats. Files live in memory, seeded with a few files a
// program can ask for by name; timers are the host's own scheduler;
// extension calls reach a registry of the device extensions, which find no
// devices or servers and fail as they would on a workstation.

// The project's headers come before Qt's (see OString.h).
#include "DllRegistry.h"
#include "FrameworkServices.h"
#include "Scheduler.h"

#include <map>
#include <set>
#include <string>
#include <vector>

#include <QRect>

class VirtualMachine;

// What FuzzServices throws where the host would end the process.
struct FuzzedExit {
};

class FuzzServices : public FrameworkServices {
public:
    static constexpr TInt KScreenWidth = 800;
    static constexpr TInt KScreenHeight = 480;

    // The names of the files every run starts with.
    static const std::vector<std::string>& fileNames();

    // Made before the machine, so that the files the machine's streams
    // write into on their way out are still there.
    FuzzServices();
    ~FuzzServices() override;
    void setMachine(VirtualMachine& aMachine) { iScheduler.setMachine(&aMachine); }

    // Releases the extensions, which hold the machine; called while it
    // still exists.
    void releaseExtensions() { iRegistry.clear(); }

    VESTRA::OutputStream* openOutputStream(const OString& aPath, TInt aMode) override;
    VESTRA::InputStream* openInputStream(const OString& aPath) override;
    TBool deleteFile(const OString& aPath) override;
    TBool fileExists(const OString& aPath) override;
    TBool unsupportedFileQuery(const OString& aPath) override;
    TBool moveFile(const OString& aSource, const OString& aTarget) override;
    TBool listDirectory(const OString& aPath, Vec<OString>& aFiles, Vec<OString>& aDirectories) override;
    TBool createDirectory(const OString& aPath) override;
    TBool removeDirectory(const OString& aPath) override;
    TBool renameDirectory(const OString& aOldPath, const OString& aNewPath) override;
    TBool directoryExists(const OString& aPath) override;

    TInt unsupportedQueryA() override { return 0; }
    TInt unsupportedQueryB() override { return 0; }
    OString pathSeparator() override { return OString("/"); }
    OString platformName() override { return OString("fuzz"); }
    TUint64 currentTimeMillis() override { return 1234567890123ull; }
    TUint64 elapsedMillis() override { return 4321; }
    Vestra::DateTime localDateTime() override { return Vestra::DateTime::now(); }
    // The widget's area for the request, worked out as the view does.
    void requestRepaint(TInt aX, TInt aY, TInt aWidth, TInt aHeight) override;
    // What the application logged since the fuzzer last cleared it.
    std::vector<std::string> logLines;

    void log(const OString& aMessage) override;
    void openLogFile(const OString&) override {}
    TInt unsupportedRequest(const OString&) override { return 0; }
    [[noreturn]] void exitApplication() override { throw FuzzedExit(); }
    void setScreenFlag(TBool) override {}
    void setOrientation(TInt aOrientation) override { iOrientation = aOrientation; }
    TInt getOrientation() override { return iOrientation; }
    TInt callDll(TInt aExtension, TInt aOperation, TInt aTop, TUint32 aStackBase) override
    {
        return iRegistry.callDll(aExtension, aOperation, aTop, aStackBase);
    }
    // Nothing delivers extension callbacks here: no event loop runs.
    void runExtensionCall(const std::function<TInt32()>& aCall) override { aCall(); }
    void getScreenSize(TInt& aWidth, TInt& aHeight) override
    {
        aWidth = KScreenWidth;
        aHeight = KScreenHeight;
    }
    void setInteractive(TBool) override {}
    void addScreenListener(TUint32) override {}
    void removeScreenListener(TUint32) override {}
    TInt addTimer(TUint32 aListener, TInt aDelay) override;
    TUint32 removeTimer(TInt aTimerId) override;
    TBool updateTimerDelay(TInt aTimerId, TInt aNewDelay) override;
    OString applicationDirectory() override { return OString("/fuzz"); }

private:
    friend class FuzzedFile;
    static std::string key(const OString& aPath);
    TInt schedulerId(TInt aTimerId) const;

    DllRegistry iRegistry;
    Scheduler iScheduler;
    // The scheduler's ids count up for the life of the process; a program
    // sees ids that count from the first one for every run instead, the
    // scheduler's id of its timer i at i.
    std::vector<TInt> iTimerIds;
    TInt iOrientation = 2;
    QRect iRepaintedArea;
    std::map<std::string, std::vector<TUint8>> iFiles;
    std::set<std::string> iDirectories;
};

#endif
