// The handset's devices under kelvo-run: applications steered by tilt, fed
// positions and switching the torch, run headless under event scripts; the
// emulated tilt, the torch's lamp and the overview in this process; and the
// device lines of the script and the command line.

#include <gtest/gtest.h>

#include <cmath>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "DesktopDevices.h"
#include "LocationLayer.h"
#include "EventScript.h"
#include "LoggingView.h"
#include "RunnerApplication.h"
#include "RunnerOptions.h"
#include "ScreenFrame.h"

namespace {

// A red square that the tilt moves 100 pixels a g from the middle of the
// screen, and every pointer event logs the three axes in milli-g.
const char KTiltProgram[] = R"(
.class App
.record frame0
.record frame2 size2=2
.record frame5 size2=5
.static "main" main, frame0
.virtual "<**application>.draw to<canvas>"
.impl App, draw, frame2
.virtual "<*application>.pointer event<int>at x<int>y<int>modifiers<int>"
.impl App, pointer, frame5

main:
    newarray 1, 1
    dup
    setclass App
    native 32, 5            ; System: the application object
    ret 0, 1

; [application cell, canvas, return address]: a red square that the tilt
; moves 100 pixels for each g from the middle of the screen, rightwards
; for X and upwards for Y.
draw:
    ldloc.s -2
    ldc 0xFF0000FF
    native 18, 8            ; clear blue
    ldloc.s -2
    ldc 0
    ext 20, 11              ; X in g
    ldc 100
    native 11, 3            ; Fixed: from int
    native 11, 9            ; Fixed: multiply
    native 11, 26           ; Fixed: round
    ldc 390
    add
    ldc 0
    ext 20, 12              ; Y in g
    ldc 100
    native 11, 3            ; Fixed: from int
    native 11, 9            ; Fixed: multiply
    native 11, 26           ; Fixed: round
    neg
    ldc 230
    add
    ldc 20
    ldc 20
    ldc 0xFFFF0000
    native 18, 4            ; red square
    ret 0, 2

; [application, kind, x, y, modifiers, return address]: logs the three
; axes in milli-g.
pointer:
    ldc 0
    ext 20, 11
    ldc 1000
    native 11, 3
    native 11, 9
    native 11, 26
    itos
    native 30, 1
    ldc 0
    ext 20, 12
    ldc 1000
    native 11, 3
    native 11, 9
    native 11, 26
    itos
    native 30, 1
    ldc 0
    ext 20, 13
    ldc 1000
    native 11, 3
    native 11, 9
    native 11, 26
    itos
    native 30, 1
    ret 0, 6
)";

// A position request from the start; every location that reaches the
// observer is logged.
const char KLocationProgram[] = R"(
.class App refs=1
.record frame0
.record eventFrame size2=2
.static "main" main, frame0
.virtual "<*locationobserver>.handle location event<*location>"
.impl App, handleLocation, eventFrame

; The application object keeps the position request in its field; a
; second App object observes it.
main:
    newarray 1, 2
    dup
    setclass App
    dup
    native 32, 5            ; System: the application object
    fieldaddr.s 1           ; the request's cell
    newarray 1, 2
    dup
    setclass App            ; the observer
    ldc 0                   ; p
    ldc 1                   ; every second
    ext 27, 1               ; Location: a new request, started
    ret 0, 1

; [observer, location cell, return address]: logs latitude and longitude
; in thousandths of a degree, the altitude in metres and the speed in
; tenths of a metre per second.
handleLocation:
    ldloc.s -2
    ext 27, 13              ; Location: latitude
    ldc 1000
    native 11, 3            ; Fixed: from int
    native 11, 9            ; Fixed: multiply
    native 11, 26           ; Fixed: round
    itos
    native 30, 1            ; Debug: log
    ldloc.s -2
    ext 27, 12              ; Location: longitude
    ldc 1000
    native 11, 3
    native 11, 9
    native 11, 26
    itos
    native 30, 1
    ldloc.s -2
    ext 27, 11              ; Location: altitude
    native 11, 26
    itos
    native 30, 1
    ldloc.s -2
    ldloc.s -3
    ext 27, 16              ; Location: speed of the second
    ldc 10
    native 11, 3
    native 11, 9
    native 11, 26
    itos
    native 30, 1
    ret 0, 3
)";

// Each pointer event switches the torch on and off, logging what it reads
// back each time, and asks for the desktop's overview.
const char KTorchProgram[] = R"(
.class App
.record frame0
.record frame5 size2=5
.static "main" main, frame0
.virtual "<*application>.pointer event<int>at x<int>y<int>modifiers<int>"
.impl App, pointer, frame5

main:
    newarray 1, 1
    dup
    setclass App
    native 32, 5            ; System: the application object
    ret 0, 1

pointer:
    ext 36, 1               ; Torch: on
    ext 36, 3               ; Torch: is it on
    itos
    native 30, 1
    ext 36, 2               ; Torch: off
    ext 36, 3
    itos
    native 30, 1
    ext 37, 1               ; Desktop: the overview
    ret 0, 6
)";

struct RunOutcome : RunnerApplication::Outcome {
    QByteArray log;
    QImage screenshot;
};

// kelvo-run on aSource with aScript, headless for 400 ms, with its log.
RunOutcome runWithScript(const char* aSource, const QByteArray& aScript, QStringList aArguments = {})
{
    QTemporaryDir directory;
    RunnerApplication::install(directory.path(), aSource);
    RunnerApplication::writeFile(directory.filePath("events.txt"), aScript);
    aArguments << "--headless" << "--millis" << "400" << "--events" << directory.filePath("events.txt") << "--log"
               << directory.filePath("run.log") << "--screenshot" << directory.filePath("shot.png")
               << directory.path();
    RunOutcome run;
    static_cast<RunnerApplication::Outcome&>(run) = RunnerApplication::runProgram(aArguments);
    QFile log(directory.filePath("run.log"));
    if (log.open(QIODevice::ReadOnly))
        run.log = log.readAll();
    run.screenshot = QImage(directory.filePath("shot.png")).convertToFormat(QImage::Format_RGB32);
    return run;
}

// The scripted tilt is what the application reads, on every axis, and
// steers its square: 0.5 g to the right and 0.25 g towards the bottom put
// it 50 pixels right of the middle and 25 below.
TEST(DesktopDevicesTest, TiltSteeredApplicationFollowsTheScriptsTilt)
{
    const RunOutcome run = runWithScript(KTiltProgram, "10 tilt 500 -250 -829\n20 pointer press 1 1\n");
    ASSERT_EQ(run.status, 0) << run.errors.left(2000).constData();
    EXPECT_EQ(run.log, "LOG: 500\nLOG: -250\nLOG: -829\n");
    const QImage& shot = run.screenshot;
    ASSERT_EQ(shot.size(), QSize(800, 480));
    EXPECT_EQ(RunnerApplication::pixelsOtherThanRedOnBlue(shot, QRect(440, 255, 20, 20)), 0);
}

// The position given on the command line reaches the request as soon as
// it starts; the script's fixes follow at their times, a lost fix reaches
// nobody, and speeds arrive in metres per second.
TEST(DesktopDevicesTest, LocationApplicationGetsTheGivenPositionAndTheScriptsFixes)
{
    RunOutcome run = runWithScript(KLocationProgram,
                            "100 location 61.5,23.75 speed 2.5\n200 location lost\n300 location -33.8688,151.2093,58\n",
                            {"--location", "60.1699,24.9384,15"});
    ASSERT_EQ(run.status, 0) << run.errors.left(2000).constData();
    EXPECT_EQ(run.log, "LOG: 60170\nLOG: 24938\nLOG: 15\nLOG: 0\n"
                       "LOG: 61500\nLOG: 23750\nLOG: 0\nLOG: 25\n"
                       "LOG: -33869\nLOG: 151209\nLOG: 58\nLOG: 0\n");

    // Without --location the request waits for the script's first fix.
    run = runWithScript(KLocationProgram, "150 location 1,2\n");
    ASSERT_EQ(run.status, 0) << run.errors.left(2000).constData();
    EXPECT_EQ(run.log, "LOG: 1000\nLOG: 2000\nLOG: 0\nLOG: 0\n");
}

// On a workstation without a flash the application reads back what it
// set, and the runner says what the torch does; the overview request
// leaves the application running.
TEST(DesktopDevicesTest, TorchWithoutAFlashIsToldAndReadBack)
{
    if (QFile::exists("/dev/video0"))
        GTEST_SKIP() << "this machine has a video device, whose flash the torch would use";
    const RunOutcome run = runWithScript(KTorchProgram, "10 pointer press 1 1\n");
    ASSERT_EQ(run.status, 0) << run.errors.left(2000).constData();
    EXPECT_EQ(run.log, "kelvo-run: the torch is on\nLOG: 1\nkelvo-run: the torch is off\nLOG: 0\n");
    EXPECT_TRUE(run.errors.contains("kelvo-run: the torch is on\n")) << run.errors.left(2000).constData();
    EXPECT_FALSE(run.errors.contains("Torch: Failed"));
}

// Tilt and location lines, and what the command line takes for a
// position; values out of their range are refused.
TEST(DesktopDevicesTest, ScriptAndCommandLineReadTiltsAndPositions)
{
    QVector<ScriptEvent> events;
    QString error;
    ASSERT_TRUE(EventScript::parse("0 tilt 500 -250 -829\n"
                                   "5 location 60.5,-24.25\n"
                                   "6 location -33.8688,151.2093,58 speed 2.5\n"
                                   "7 location lost\n",
                                   events, error))
        << error.toStdString();
    ASSERT_EQ(events.size(), 4);
    EXPECT_EQ(events[0].kind, ScriptEvent::ETilt);
    EXPECT_EQ(events[0].x, 500);
    EXPECT_EQ(events[0].y, -250);
    EXPECT_EQ(events[0].z, -829);
    EXPECT_EQ(events[1].kind, ScriptEvent::ELocation);
    EXPECT_TRUE(events[1].position.hasFix);
    EXPECT_EQ(events[1].position.longitude, -24.25);
    EXPECT_FALSE(events[1].position.hasAltitude);
    EXPECT_FALSE(events[1].position.hasSpeed);
    EXPECT_EQ(events[2].position.altitude, 58);
    EXPECT_EQ(events[2].position.speed, 2.5);
    EXPECT_FALSE(events[3].position.hasFix);

    for (const char* line : {"0 tilt 1 2", "0 tilt 1 2 3 4", "0 tilt 16001 0 0", "0 tilt a 0 0", "0 location",
                             "0 location 91,0", "0 location 0,181", "0 location 0,0,200000", "0 location 1;2",
                             "0 location 1,2 speed -1", "0 location 1,2 speed", "0 location nan,0",
                             "0 location 1,2,3,4", "0 location lost now"}) {
        events.clear();
        EXPECT_FALSE(EventScript::parse(line, events, error)) << line;
    }

    RunnerOptions options;
    ASSERT_TRUE(RunnerCommandLine::parse({"--location", "60.1699,24.9384,15"}, options, error));
    EXPECT_TRUE(options.location.hasFix);
    EXPECT_EQ(options.location.latitude, 60.1699);
    EXPECT_EQ(options.location.altitude, 15);
    for (const char* value : {"60", "north", "95,0", "1,2,x"}) {
        RunnerOptions refused;
        EXPECT_FALSE(RunnerCommandLine::parse({"--location", value}, refused, error)) << value;
        EXPECT_TRUE(error.contains("'--location' needs LAT,LON[,ALT]")) << error.toStdString();
    }
}

void ensureApplication()
{
    static int argc = 1;
    static char name[] = "runner_tests";
    static char* argv[] = {name, nullptr};
    if (!qApp)
        new QApplication(argc, argv);
}

// A frame with its devices, as kelvo-run makes them; the view is not
// loaded, for nothing here runs the application.
class DevicesInAFrame : public ::testing::Test {
protected:
    DevicesInAFrame()
    {
        ensureApplication();
        view = new LoggingView(CAppsString(directory.path()));
        frame = std::make_unique<ScreenFrame>(view);
        devices = std::make_unique<DesktopDevices>(*frame, *view, PositionFix(), QVector<ScriptEvent>());
        frame->show();
    }
    ~DevicesInAFrame() override
    {
        devices.reset();
        frame.reset();
    }

    void key(int aKey, Qt::KeyboardModifiers aModifiers)
    {
        QKeyEvent press(QEvent::KeyPress, aKey, aModifiers);
        QApplication::sendEvent(frame.get(), &press);
        QKeyEvent release(QEvent::KeyRelease, aKey, aModifiers);
        QApplication::sendEvent(frame.get(), &release);
    }
    void mouse(QEvent::Type aType, QPointF aAt, Qt::MouseButton aButton, Qt::MouseButtons aHeld)
    {
        QMouseEvent event(aType, aAt, frame->viewport()->mapToGlobal(aAt), aButton, aHeld, Qt::NoModifier);
        QApplication::sendEvent(frame->viewport(), &event);
    }
    // The tilt, checked to be 1 g strong.
    std::array<TInt32, 3> tilt()
    {
        std::array<TInt32, 3> values {};
        devices->tilt(values[0], values[1], values[2]);
        EXPECT_NEAR(std::hypot(values[0], values[1], values[2]), 1000, 1.5);
        return values;
    }
    qsizetype itemsOverTheScreen() const { return frame->scene()->items().size(); }

    QTemporaryDir directory;
    LoggingView* view = nullptr;
    std::unique_ptr<ScreenFrame> frame;
    std::unique_ptr<DesktopDevices> devices;
};

// Ctrl with an arrow lowers that edge by five degrees and Ctrl with the
// keypad's digits the edge or corner where the digit lies; a right-button
// drag tilts by its length; Ctrl with the keypad's 5 levels the device.
// Gravity keeps 1 g throughout, and the gauge shows while the device is
// not level. Keys without Ctrl are the application's.
TEST_F(DevicesInAFrame, KeysAndTheRightButtonTiltTheDeviceAtOneG)
{
    const qsizetype plain = itemsOverTheScreen();
    TInt32 x = 0, y = 0, z = 0;
    EXPECT_FALSE(devices->tilt(x, y, z));
    EXPECT_EQ(tilt(), (std::array<TInt32, 3> {0, 0, -1000}));

    key(Qt::Key_Right, Qt::NoModifier);
    EXPECT_FALSE(devices->tilt(x, y, z));
    key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_TRUE(devices->tilt(x, y, z));
    EXPECT_EQ(tilt(), (std::array<TInt32, 3> {87, 0, -996}));
    EXPECT_GT(itemsOverTheScreen(), plain);
    key(Qt::Key_9, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(tilt(), (std::array<TInt32, 3> {173, 87, -981}));

    mouse(QEvent::MouseButtonPress, {100, 100}, Qt::RightButton, Qt::RightButton);
    mouse(QEvent::MouseMove, {140, 80}, Qt::NoButton, Qt::RightButton);
    mouse(QEvent::MouseButtonRelease, {140, 80}, Qt::RightButton, Qt::NoButton);
    EXPECT_EQ(tilt(), (std::array<TInt32, 3> {483, 259, -837}));
    mouse(QEvent::MouseMove, {300, 300}, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(tilt()[0], 483);

    key(Qt::Key_Down, Qt::ControlModifier);
    for (int i = 0; i < 40; ++i)
        key(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(tilt(), (std::array<TInt32, 3> {-985, 174, 0}));

    key(Qt::Key_5, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(tilt(), (std::array<TInt32, 3> {0, 0, -1000}));
    EXPECT_EQ(itemsOverTheScreen(), plain);
}

// The script's tilt is taken as it is, and the keys go on from its
// direction.
TEST_F(DevicesInAFrame, ScriptTiltIsTakenAsItIsAndTheKeysGoOnFromIt)
{
    ScriptEvent event;
    event.kind = ScriptEvent::ETilt;
    event.x = 0;
    event.y = 1200;
    event.z = 0;
    devices->play(event);
    TInt32 x = 0, y = 0, z = 0;
    EXPECT_TRUE(devices->tilt(x, y, z));
    EXPECT_EQ(y, 1200);
    key(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(tilt(), (std::array<TInt32, 3> {0, 996, -87}));
}

// The torch's lamp is lit over the screen's corner while it is on, and each
// switch is told on the standard error stream and in the runner's log; the
// overview minimises the window.
TEST_F(DevicesInAFrame, TorchLampAndOverview)
{
    ASSERT_TRUE(view->openRunnerLog(directory.filePath("run.log")));
    const qsizetype plain = itemsOverTheScreen();
    ::testing::internal::CaptureStderr();
    devices->torchSwitched(ETrue);
    EXPECT_EQ(itemsOverTheScreen(), plain + 1);
    devices->torchSwitched(EFalse);
    EXPECT_EQ(itemsOverTheScreen(), plain);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "kelvo-run: the torch is on\nkelvo-run: the torch is off\n");
    QFile log(directory.filePath("run.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll(), "kelvo-run: the torch is on\nkelvo-run: the torch is off\n");

    EXPECT_FALSE(frame->isMinimized());
    devices->showOverview();
    EXPECT_TRUE(frame->windowState() & Qt::WindowMinimized);
}

// GeoClue 2 as far as kelvo-run asks it: a client that, once told who
// asks and started, reports one location.
class FakeGeoClue : public QDBusVirtualObject {
public:
    static constexpr char KClient[] = "/org/freedesktop/GeoClue2/Client/1";
    static constexpr char KLocation[] = "/org/freedesktop/GeoClue2/Location/1";

    bool handleMessage(const QDBusMessage& aMessage, const QDBusConnection& aConnection) override
    {
        calls << aMessage.member();
        QDBusConnection connection = aConnection;
        if (aMessage.member() == "GetClient") {
            connection.send(aMessage.createReply(QVariant::fromValue(QDBusObjectPath(KClient))));
        } else if (aMessage.member() == "Set") {
            desktopId = aMessage.arguments().value(2).value<QDBusVariant>().variant().toString();
            connection.send(aMessage.createReply());
        } else if (aMessage.member() == "Start") {
            connection.send(aMessage.createReply());
            QDBusMessage updated = QDBusMessage::createSignal(KClient, "org.freedesktop.GeoClue2.Client", "LocationUpdated");
            updated << QVariant::fromValue(QDBusObjectPath("/")) << QVariant::fromValue(QDBusObjectPath(KLocation));
            connection.send(updated);
        } else if (aMessage.member() == "GetAll") {
            const QVariantMap values {{"Latitude", 48.8584}, {"Longitude", 2.2945}, {"Altitude", -1.7976931348623157e308},
                                      {"Speed", 1.5}, {"Accuracy", 20.0}};
            connection.send(aMessage.createReply(QVariant::fromValue(values)));
        } else {
            connection.send(aMessage.createReply());
        }
        return true;
    }
    QString introspect(const QString&) const override { return QString(); }

    QStringList calls;
    QString desktopId;
};

void recordFix(LocationGPSDevice* aDevice, gpointer aFixes)
{
    static_cast<QVector<LocationGPSDeviceFix>*>(aFixes)->append(*aDevice->fix);
}

// Where gpsd cannot be reached and nothing is fed, the desktop's location
// service is asked, over the system bus, as the client "kelvo-run"; its
// location reaches the GPS devices as gpsd's fixes do, without the height
// it does not know.
TEST(DesktopLocationService, GeoClueStandsInWhereGpsdCannotBeReached)
{
    ensureApplication();
    QTemporaryDir directory;
    const QString socket = directory.filePath("system_bus");
    QProcess bus;
    bus.start("dbus-daemon", {"--session", "--nofork", "--address=unix:path=" + socket});
    QElapsedTimer waited;
    waited.start();
    while (!QFileInfo::exists(socket) && waited.elapsed() < 5000)
        QTest::qWait(20);
    if (!QFileInfo::exists(socket))
        GTEST_SKIP() << "dbus-daemon could not start a private bus";
    // The runner's system bus is the private one: the first use of the
    // system bus in this process is below.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + socket).toUtf8());
    QDBusConnection service = QDBusConnection::connectToBus("unix:path=" + socket, "geoclue");
    FakeGeoClue geoClue;
    ASSERT_TRUE(service.registerService("org.freedesktop.GeoClue2"));
    ASSERT_TRUE(service.registerVirtualObject("/org/freedesktop/GeoClue2", &geoClue, QDBusConnection::SubPath));

    QVector<LocationGPSDeviceFix> fixes;
    GObject* device = static_cast<GObject*>(g_object_new(location_gps_device_get_type(), nullptr));
    g_signal_connect(device, "changed", G_CALLBACK(recordFix), &fixes);
    {
        FixedLocation location;
        EXPECT_FALSE(location.feedStarts());
        location.gpsdUnreachable();
        waited.restart();
        while (fixes.isEmpty() && waited.elapsed() < 5000)
            QTest::qWait(20);
        ASSERT_EQ(fixes.size(), 1) << geoClue.calls.join(' ').toStdString();
        EXPECT_EQ(geoClue.desktopId, "kelvo-run");
        EXPECT_EQ(fixes[0].latitude, 48.8584);
        EXPECT_EQ(fixes[0].longitude, 2.2945);
        EXPECT_EQ(fixes[0].fields & LOCATION_GPS_DEVICE_ALTITUDE_SET, 0u);
        EXPECT_NEAR(fixes[0].speed, 1.5 * 3.6, 1e-9);
        location.feedStops();
        waited.restart();
        while (!geoClue.calls.contains("Stop") && waited.elapsed() < 5000)
            QTest::qWait(20);
        EXPECT_TRUE(geoClue.calls.contains("Stop"));
    }
    g_object_unref(device);
    QDBusConnection::disconnectFromBus("geoclue");
    bus.terminate();
    bus.waitForFinished();
}

}
