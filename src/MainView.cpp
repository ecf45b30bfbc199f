#include "MainView.h"

#include <cstdio>
#include <cstdlib>

#include <QFile>

#include "Clock.h"
#include "FileStreams.h"

namespace {

const char* const KImageName = "index.mcb";

}

MainView::MainView(const CAppsString& aApplicationDirectory, QWidget* aParent)
    : MainViewBase(aParent)
    , iApplicationDirectory(aApplicationDirectory)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::StrongFocus);
    setWindowState(Qt::WindowFullScreen);
}

// The extensions go first, while the machine whose roots and objects they
// hold still exists; then the machine, while the log file and the
// directory that its objects may still use exist. It stays current until
// it is gone.
MainView::~MainView()
{
    iDllRegistry.clear();
    const TBool wasCurrent = VirtualMachine::current() == iMachine.get();
    iMachine.reset();
    if (wasCurrent)
        VirtualMachine::setCurrent(nullptr);
}

void MainView::load()
{
    iStartTime = nowMicros();
    iMachine = std::make_unique<VirtualMachine>();
    if (iRandomSeed)
        iMachine->seedRandomGenerator(*iRandomSeed);
    iMachine->setExecutionObserver(iObserver);
    iMachine->setExecutionProfiler(iProfiler);
    iMachine->setFusion(iFusion);
    iMachine->setRegisterForm(iRegisterForm);
    VirtualMachine::setCurrent(iMachine.get());
    // The image is the installed one even when the application wrote one
    // into its save directory: that copy would keep running after the
    // installed application was updated.
    Str16 path;
    Str16 saved;
    VESTRA::FileInputStream image;
    if (!resolvePath(OString(KImageName), path, saved) || !image.open(path)) {
        std::fprintf(stderr, "Failed to open '%s'\n", QFile::encodeName(path.toQString()).constData());
        std::exit(1);
    }
    iScheduler.setMachine(iMachine.get());
    iMachine->load(image, CAppsString(KImageName), this);
    update();
    // The window was shown before the machine existed; the application
    // hears of it now that main has run.
    reportForegroundChange();
}
