// The desktop integration against a real X server: each test starts its own
// Xvfb and runs the view there on Qt's xcb platform, playing the window
// manager's part itself by setting the root window's properties.

#include <gtest/gtest.h>

#include <memory>

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "HostApplications.h"
#include "QtClientApplication.h"

// Xlib comes last: its macros clash with Qt's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

using namespace HostApplications;

namespace {

const int KTimeoutMs = 20000;

// The X server and the application object, made once for the process: Qt
// allows one application object, on one platform.
class X11Session {
public:
    static X11Session& instance()
    {
        static X11Session session;
        return session;
    }

    ~X11Session()
    {
        iApplication.reset();
        if (display)
            XCloseDisplay(display);
        iServer.terminate();
        iServer.waitForFinished();
    }

    // Empty when the session works, else why it does not.
    QString problem;
    Display* display = nullptr;   // the test's own connection

private:
    X11Session()
    {
        iServer.start("Xvfb", {"-displayfd", "1", "-screen", "0", "800x480x24", "-nolisten", "tcp"});
        if (!iServer.waitForStarted()) {
            problem = "Xvfb is not installed";
            return;
        }
        QByteArray number;
        while (!number.endsWith('\n') && iServer.waitForReadyRead(KTimeoutMs))
            number += iServer.readAllStandardOutput();
        if (!number.endsWith('\n')) {
            problem = "Xvfb did not start: " + QString::fromLocal8Bit(iServer.readAllStandardError());
            return;
        }
        const QByteArray name = ":" + number.trimmed();
        qputenv("DISPLAY", name);
        qputenv("QT_QPA_PLATFORM", "xcb");
        // Without a session bus address the bus library looks for a bus
        // through the X server, and leaks while it does; nothing here needs
        // the session bus.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/kelvo-test-bus");
        display = XOpenDisplay(name.constData());
        iApplication = std::make_unique<QtClientApplication>(iArgc, iArgv);
    }

    QProcess iServer;
    int iArgc = 1;
    char iName[16] = "host_x11_tests";
    char* iArgv[2] = {iName, nullptr};
    std::unique_ptr<QtClientApplication> iApplication;
};

class X11IntegrationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!session.problem.isEmpty())
            GTEST_SKIP() << session.problem.toStdString();
        view = std::make_unique<RecordingView>(CAppsString(dir.path()));
        static_cast<QtClientApplication*>(qApp)->setView(view.get());
    }

    void TearDown() override
    {
        if (qApp)
            static_cast<QtClientApplication*>(qApp)->setView(nullptr);
    }

    Window root() const { return DefaultRootWindow(session.display); }

    // What the desktop does when another application comes to the front.
    void setCurrentWindow(Atom aType, unsigned long aWindow)
    {
        const long value = static_cast<long>(aWindow);
        XChangeProperty(session.display, root(), XInternAtom(session.display, "_MB_CURRENT_APP_WINDOW", False),
                        aType, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(&value), 1);
        XFlush(session.display);
    }

    // -1 while the root window has no such property.
    long portraitRequest(Atom aAtom)
    {
        Atom type = None;
        int format = 0;
        unsigned long items = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        long value = -1;
        if (XGetWindowProperty(session.display, root(), aAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items,
                               &remaining, &data) == Success && type == XA_CARDINAL && items == 1)
            value = reinterpret_cast<const long*>(data)[0];
        if (data)
            XFree(data);
        return value;
    }

    X11Session& session = X11Session::instance();
    QTemporaryDir dir;
    std::unique_ptr<RecordingView> view;
};

TEST_F(X11IntegrationTest, PortraitIsRequestedOnlyFromAWindowManagerThatKnowsTheRequest)
{
    view->setOrientation(1);
    XSync(session.display, False);
    EXPECT_EQ(XInternAtom(session.display, "_HILDON_PORTRAIT_MODE_REQUEST", True), static_cast<Atom>(None));

    const Atom request = XInternAtom(session.display, "_HILDON_PORTRAIT_MODE_REQUEST", False);
    XSync(session.display, False);
    view->setOrientation(2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return portraitRequest(request) == 0; }, KTimeoutMs));
    view->setOrientation(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return portraitRequest(request) == 1; }, KTimeoutMs));
}

// Values of another type are ignored, and a repeated value changes nothing.
TEST_F(X11IntegrationTest, TheDesktopsCurrentWindowDecidesForegroundAndBackground)
{
    view->show();
    install(KEvents, dir.path());
    view->load();
    ASSERT_EQ(view->lines, QStringList({"foreground"}));
    QWidget other;
    other.show();
    other.activateWindow();
    if (!QTest::qWaitForWindowActive(&other))
        GTEST_SKIP() << "the X server gives the focus to no window";

    setCurrentWindow(XA_WINDOW, 0x1234);
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->lines.count() == 2; }, KTimeoutMs));
    setCurrentWindow(XA_CARDINAL, 0xFFFFFFFF);
    setCurrentWindow(XA_WINDOW, 0x1234);
    setCurrentWindow(XA_WINDOW, 0xFFFFFFFF);
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->lines.count() == 3; }, KTimeoutMs));
    QTest::qWait(100);
    EXPECT_EQ(view->lines, QStringList({"foreground", "background", "foreground"}));
}

}
