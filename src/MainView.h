#ifndef KELVO_MAINVIEW_H
#define KELVO_MAINVIEW_H

// The project's headers come before Qt's (see OString.h).
#include "CAppsString.h"
#include "Clock.h"
#include "DllRegistry.h"
#include "FileUtility.h"
#include "MainViewBase.h"
#include "Scheduler.h"
#include "VirtualMachine.h"

#include <memory>
#include <optional>

#include <QPixmap>
#include <QString>

class QKeyEvent;
class QMouseEvent;

// The one full-screen window of the runtime and the machine's host. It owns
// the machine and the log file, and resolves every path the application
// names below the application directory.
class MainView : public MainViewBase {
    Q_OBJECT

public:
    explicit MainView(const CAppsString& aApplicationDirectory, QWidget* aParent = nullptr);
    ~MainView() override;

    // The start-up: a new machine becomes the thread's current one, reads
    // "index.mcb" from the application directory and runs "main". Without
    // a readable image the process ends with status 1.
    void load();

    VirtualMachine* machine() const { return iMachine.get(); }
    // Watches the machine that load() makes (see ExecutionObserver.h); set
    // before load().
    void setExecutionObserver(MExecutionObserver* aObserver) { iObserver = aObserver; }
    // Profiles the machine that load() makes (see ExecutionProfiler.h); set
    // before load().
    void setExecutionProfiler(MExecutionProfiler* aProfiler) { iProfiler = aProfiler; }
    // Whether the machine that load() makes runs common sequences fused and
    // loops in their register form (both by default; benchmarks measure it
    // without); set before load().
    void setExecutionModes(TBool aFusion, TBool aRegisterForm)
    {
        iFusion = aFusion;
        iRegisterForm = aRegisterForm;
    }
    // An installed application cannot write its own directory, so what it
    // changes goes to an existing directory of the user's instead, which
    // shadows the installed files (MainViewFiles.cpp); set before load().
    // Empty, the default, keeps every file in the application directory.
    void setSaveDirectory(const CAppsString& aDirectory) { iSaveDirectory = aDirectory; }
    // A host without the handset's devices stands in for them with
    // aDevices (MDeviceSource.h), which it keeps alive as long as the view;
    // set before load(). The device runtime sets none.
    void setDeviceSource(MDeviceSource* aDevices) { iDllRegistry.setDeviceSource(aDevices); }
    // The screen as the window shows it, the application drawing it
    // afresh, for a screenshot.
    QPixmap picture();
    // The application's clocks and timers follow aClock instead of the wall
    // clock and Qt (Clock.h); set before load(). Null, the default, keeps
    // the device's time.
    void setClock(MClock* aClock)
    {
        iClock = aClock;
        iScheduler.setClock(aClock);
    }
    // The machine that load() makes draws its random numbers from aSeed,
    // so that a run can be repeated; set before load(). Without it, every
    // launch draws afresh.
    void setRandomSeed(TUint32 aSeed) { iRandomSeed = aSeed; }
    // The window is shown, or the desktop has it in front, and the display
    // is on.
    TBool isForeground() const { return iWindowVisible && iDisplayOn; }
    // The desktop tells whether this is the application in front.
    void setWindowActive(TBool aActive);
    // What the application was last told: foreground or background. One
    // flag for the process, whatever view reported it.
    static TBool foregroundReported();
    const Scheduler& scheduler() const { return iScheduler; }

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

    TInt unsupportedQueryA() override;
    TInt unsupportedQueryB() override;
    OString pathSeparator() override;
    OString platformName() override;
    TUint64 currentTimeMillis() override;
    TUint64 elapsedMillis() override;
    Vestra::DateTime localDateTime() override;
    void log(const OString& aMessage) override;
    void openLogFile(const OString& aPath) override;
    TInt unsupportedRequest(const OString& aRequest) override;
    [[noreturn]] void exitApplication() override;
    void setScreenFlag(TBool aFlag) override;
    void setOrientation(TInt aOrientation) override;
    TInt getOrientation() override;
    TInt callDll(TInt aExtension, TInt aOperation, TInt aTop, TUint32 aStackBase) override;
    void getScreenSize(TInt& aWidth, TInt& aHeight) override;
    void setInteractive(TBool aInteractive) override;
    void addScreenListener(TUint32 aObject) override;
    void removeScreenListener(TUint32 aObject) override;
    TInt addTimer(TUint32 aListener, TInt aDelay) override;
    TUint32 removeTimer(TInt aTimerId) override;
    TBool updateTimerDelay(TInt aTimerId, TInt aNewDelay) override;
    OString applicationDirectory() override;

public slots:
    // The device's display state: "off" or anything else for on.
    void displaySignal(const QString& aState);

signals:
    // The application turned the screen; a host that shapes the window to
    // the screen follows it.
    void orientationChanged();

protected:
    void paintEvent(QPaintEvent* aEvent) override;
    void showEvent(QShowEvent* aEvent) override;
    void hideEvent(QHideEvent* aEvent) override;
    void mousePressEvent(QMouseEvent* aEvent) override;
    void mouseReleaseEvent(QMouseEvent* aEvent) override;
    void mouseMoveEvent(QMouseEvent* aEvent) override;
    void keyPressEvent(QKeyEvent* aEvent) override;
    void keyReleaseEvent(QKeyEvent* aEvent) override;

private:
    // The file services (MainViewFiles.cpp).
    TBool resolvePath(const OString& aPath, Str16& aInstalled, Str16& aSaved) const;
    TBool resolveForReading(const OString& aPath, Str16& aResolved) const;
    TBool resolveForWriting(const OString& aPath, Str16& aResolved) const;
    TBool isInstalled(const OString& aPath) const;
    TBool hasSaveDirectory() const { return !iSaveDirectory.isEmpty(); }
    void deliverPointer(TInt aKind, const QMouseEvent& aEvent);
    void deliverKey(TBool aPressed, const QKeyEvent& aEvent);
    void reportForegroundChange();
    TInt64 nowMicros() const;

    // Painting (MainViewPaint.cpp): the application draws into the back
    // buffer, which is then shown, turned when the device is in portrait.
protected:
    void resizeEvent(QResizeEvent* aEvent) override;

private:
    void drawApplication(const QRegion& aClip);
    void replaceBackBuffer(const QSize& aSize);
    QPixmap iBackBuffer;

    Scheduler iScheduler;
    TInt64 iStartTime = 0;
    MClock* iClock = nullptr;
    std::optional<TUint32> iRandomSeed;
    CAppsString iApplicationDirectory;
    CAppsString iSaveDirectory;
    TInt iOrientation = 2;
    std::shared_ptr<VESTRA::OutputStream> iLogFile;
    TBool iWindowVisible = EFalse;
    TBool iDisplayOn = ETrue;
    std::unique_ptr<VirtualMachine> iMachine;
    TBool iFusion = ETrue;
    TBool iRegisterForm = ETrue;
    MExecutionObserver* iObserver = nullptr;
    MExecutionProfiler* iProfiler = nullptr;
    // The device extensions that the application has called.
    DllRegistry iDllRegistry;
};

#endif
