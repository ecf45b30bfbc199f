#ifndef KELVO_RECORDINGSERVICES_H
#define KELVO_RECORDINGSERVICES_H

#include <functional>
#include <string>
#include <vector>

#include "FrameworkServices.h"

// What RecordingServices throws where the real host would end the process.
struct ApplicationExit {
};

// A host for machine tests: it records what the application logs and asks
// for, answers fixed clocks and queries, and lets a test act from inside a
// running call through onLog.
class RecordingServices : public FrameworkServices {
public:
    std::vector<std::string> logLines;
    std::vector<std::string> logFiles;
    std::vector<std::string> requests;
    std::function<void(const std::string&)> onLog;
    TUint64 elapsed = 0x100000007ull;
    TUint64 now = 0x20000000Bull;
    TInt queryA = 5;
    TInt queryB = 6;

    static std::string text(const OString& aText) { return aText.toQString().toStdString(); }

    void log(const OString& aMessage) override
    {
        logLines.push_back(text(aMessage));
        if (onLog)
            onLog(logLines.back());
    }
    void openLogFile(const OString& aPath) override { logFiles.push_back(text(aPath)); }
    TInt unsupportedRequest(const OString& aRequest) override
    {
        requests.push_back(text(aRequest));
        return 0;
    }
    [[noreturn]] void exitApplication() override { throw ApplicationExit(); }
    TUint64 elapsedMillis() override { return elapsed; }
    TUint64 currentTimeMillis() override { return now; }
    Vestra::DateTime localDateTime() override { return Vestra::DateTime::now(); }
    TInt unsupportedQueryA() override { return queryA; }
    TInt unsupportedQueryB() override { return queryB; }

    // Nothing below is used by the machine's own tests.
    VESTRA::OutputStream* openOutputStream(const OString&, TInt) override { return nullptr; }
    VESTRA::InputStream* openInputStream(const OString&) override { return nullptr; }
    TBool deleteFile(const OString&) override { return EFalse; }
    TBool fileExists(const OString&) override { return EFalse; }
    TBool unsupportedFileQuery(const OString&) override { return EFalse; }
    TBool moveFile(const OString&, const OString&) override { return EFalse; }
    TBool listDirectory(const OString&, Vec<OString>&, Vec<OString>&) override { return EFalse; }
    TBool createDirectory(const OString&) override { return EFalse; }
    TBool removeDirectory(const OString&) override { return EFalse; }
    TBool renameDirectory(const OString&, const OString&) override { return EFalse; }
    TBool directoryExists(const OString&) override { return EFalse; }
    OString pathSeparator() override { return OString("/"); }
    OString platformName() override { return OString("test"); }
    void requestRepaint(TInt, TInt, TInt, TInt) override {}
    void setScreenFlag(TBool) override {}
    void setOrientation(TInt) override {}
    TInt getOrientation() override { return 0; }
    TInt callDll(TInt, TInt, TInt aTop, TUint32) override { return aTop; }
    // The call runs as it comes; no test host ends the process.
    void runExtensionCall(const std::function<TInt32()>& aCall) override { aCall(); }
    void getScreenSize(TInt& aWidth, TInt& aHeight) override
    {
        aWidth = 800;
        aHeight = 480;
    }
    void setInteractive(TBool) override {}
    void addScreenListener(TUint32) override {}
    void removeScreenListener(TUint32) override {}
    TInt addTimer(TUint32, TInt) override { return 0; }
    TUint32 removeTimer(TInt) override { return 0; }
    TBool updateTimerDelay(TInt, TInt) override { return EFalse; }
    OString applicationDirectory() override { return OString("."); }
};

#endif
