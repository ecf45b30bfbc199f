#ifndef KELVO_FRAMEWORKSERVICES_H
#define KELVO_FRAMEWORKSERVICES_H

#include <functional>

#include "DateTime.h"
#include "OString.h"
#include "Stream.h"
#include "Types.h"
#include "Vec.h"

// The application's file tree, as the host offers it. Every path is an
// application path, resolved below the application directory; a path the
// host refuses makes the operation answer false (or null for the stream
// openers) without touching anything.
class FileSystemServices {
public:
    virtual ~FileSystemServices() = default;

    // Mode 1 creates or truncates; mode 0 keeps the content and writes after
    // it. The caller owns the stream.
    virtual VESTRA::OutputStream* openOutputStream(const OString& aPath, TInt aMode) = 0;
    virtual VESTRA::InputStream* openInputStream(const OString& aPath) = 0;
    virtual TBool deleteFile(const OString& aPath) = 0;
    virtual TBool fileExists(const OString& aPath) = 0;
    virtual TBool unsupportedFileQuery(const OString& aPath) = 0;
    virtual TBool moveFile(const OString& aSource, const OString& aTarget) = 0;
    virtual TBool listDirectory(const OString& aPath, Vec<OString>& aFiles, Vec<OString>& aDirectories) = 0;
    virtual TBool createDirectory(const OString& aPath) = 0;
    virtual TBool removeDirectory(const OString& aPath) = 0;
    virtual TBool renameDirectory(const OString& aOldPath, const OString& aNewPath) = 0;
    virtual TBool directoryExists(const OString& aPath) = 0;
};

// Everything the machine asks of its host: time, the log, the screen,
// timers, extensions and the end of the application.
class FrameworkServices : public FileSystemServices {
public:
    virtual TInt unsupportedQueryA() = 0;
    virtual TInt unsupportedQueryB() = 0;
    virtual OString pathSeparator() = 0;
    virtual OString platformName() = 0;
    // Wall-clock milliseconds since the epoch.
    virtual TUint64 currentTimeMillis() = 0;
    // Milliseconds since the application started.
    virtual TUint64 elapsedMillis() = 0;
    // The local date and time now, by the same clock as currentTimeMillis
    // (DateTime natives).
    virtual Vestra::DateTime localDateTime() = 0;
    virtual void requestRepaint(TInt aX, TInt aY, TInt aWidth, TInt aHeight) = 0;
    virtual void log(const OString& aMessage) = 0;
    // Closes any open log file; a non-empty path then opens one afresh.
    virtual void openLogFile(const OString& aPath) = 0;
    virtual TInt unsupportedRequest(const OString& aRequest) = 0;
    // Ends the process at once with status 0.
    [[noreturn]] virtual void exitApplication() = 0;
    virtual void setScreenFlag(TBool aFlag) = 0;
    virtual void setOrientation(TInt aOrientation) = 0;
    virtual TInt getOrientation() = 0;
    // Runs extension operation aOperation on the operand stack whose slot
    // 0 is at VM address aStackBase; answers the new top index.
    virtual TInt callDll(TInt aExtension, TInt aOperation, TInt aTop, TUint32 aStackBase) = 0;
    // Runs aCall, a call into the application that an extension makes from
    // the event loop (a sound server's or a position source's callback).
    // Nothing there can take a failure, so the host ends the application
    // as it ends its own events' calls. aCall answers the call's outcome
    // (0, or the machine's exit or fatal outcome).
    virtual void runExtensionCall(const std::function<TInt32()>& aCall) = 0;
    virtual void getScreenSize(TInt& aWidth, TInt& aHeight) = 0;
    virtual void setInteractive(TBool aInteractive) = 0;
    virtual void addScreenListener(TUint32 aObject) = 0;
    virtual void removeScreenListener(TUint32 aObject) = 0;
    virtual TInt addTimer(TUint32 aListener, TInt aDelay) = 0;
    virtual TUint32 removeTimer(TInt aTimerId) = 0;
    virtual TBool updateTimerDelay(TInt aTimerId, TInt aNewDelay) = 0;
    virtual OString applicationDirectory() = 0;
};

#endif
