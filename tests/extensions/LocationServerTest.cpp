// Location against gpsd fed by gpsfake: an assembled observer logs each
// position it is given, and the request's interval decides which fixes
// reach it.

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "AudioLocationTestSupport.h"
#include "CLocationWrapper.h"
#include "DateTimeValues.h"
#include "HostMemory.h"
#include "LocationFeed.h"
#include "LocationLayer.h"
#include "ORaw.h"
#include "ProgramTestSupport.h"
#include "RaisedCode.h"
#include "RecordingServices.h"

using namespace AudioLocationTestSupport;

namespace {

enum {
    ENewRequest = 1,
    ESetInterval = 2,
    EStop = 3,
    EStart = 4,
    ENewLocation = 5,
    ESetCoordinates = 7,
    EAltitude = 11,
    ELongitude = 12,
    ELatitude = 13,
    EDistance = 15
};

// The observer logs the latitude and then the longitude of every location
// it receives, through the extension's own accessors.
const char KObserverProgram[] = R"(
.class Observer
.record mainFrame
.record eventFrame size2=2
.static "main" main, mainFrame
.virtual "<*locationobserver>.handle location event<*location>"
.impl Observer, handleLocation, eventFrame
main:
    ret 0, 1
; [observer, location cell, return address]
handleLocation:
    ldloc.s -2
    ext 27, 13
    call logFixed, -1
    ldloc.s -2
    ext 27, 12
    call logFixed, -1
    ret 0, 3
; [low, high, return address]
logFixed:
    ldloca.s -3
    native 11, 25
    native 30, 1
    ret 0, 3
)";

const double KStartLatitude = 60.0;
const double KStartLongitude = 24.0;
const int KFixes = 40;

// Fix i lies i ten-thousandths of a minute north and east of the start.
double latitudeOf(int aFix) { return KStartLatitude + (10 + aFix * 0.0001) / 60; }
double longitudeOf(int aFix) { return KStartLongitude + (20 + aFix * 0.0001) / 60; }

std::string withChecksum(const std::string& aBody)
{
    unsigned char sum = 0;
    for (char c : aBody)
        sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return "$" + aBody + tail;
}

// One RMC and one GGA sentence a second, starting at noon.
void writeLog(const std::filesystem::path& aPath)
{
    std::ofstream log(aPath, std::ios::binary);
    for (int i = 0; i < KFixes; ++i) {
        char time[16], latitude[16], longitude[16];
        std::snprintf(time, sizeof time, "12%02d%02d.00", i / 60, i % 60);
        std::snprintf(latitude, sizeof latitude, "60%07.4f", 10 + i * 0.0001);
        std::snprintf(longitude, sizeof longitude, "024%07.4f", 20 + i * 0.0001);
        log << withChecksum(std::string("GPRMC,") + time + ",A," + latitude + ",N," + longitude + ",E,0.0,0.0,070126,,,A");
        log << withChecksum(std::string("GPGGA,") + time + "," + latitude + ",N," + longitude + ",E,1,08,0.9,15.0,M,17.0,M,,");
    }
}

// The observer's program reaches the wrapper under test.
class LocationServices : public RecordingServices {
public:
    TInt callDll(TInt, TInt aOpcode, TInt aTop, TUint32 aStackBase) override
    {
        return wrapper->callDllNative(aOpcode, aTop, aStackBase);
    }
    CLocationWrapper* wrapper = nullptr;
};

// A feed that counts what the location layer tells it.
class CountingFeed : public MLocationFeed {
public:
    TBool feedStarts() override
    {
        ++starts;
        return feeds;
    }
    void gpsdUnreachable() override { ++unreachable; }
    void feedStops() override { ++stops; }

    TBool feeds = ETrue;
    int starts = 0;
    int unreachable = 0;
    int stops = 0;
};

int preferredInterval()
{
    LocationGPSDControl* control = location_gpsd_control_get_default();
    int interval = -1;
    g_object_get(control, "preferred-interval", &interval, nullptr);
    g_object_unref(control);
    return interval;
}

}

class LocationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ProgramTestSupport::loadProgram(machine, KObserverProgram, services);
        machine.setTop(-1);
        observer = machine.heap().createArray(1, GC_CODE_INSTANCE);
        // An Observer: the class that implements the one virtual method.
        for (const ExportedMethod& method : machine.exportedMethods())
            if (method.isVirtual)
                machine.arena().setWord(observer, static_cast<TUint32>(method.implementations[0].classIndex));
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    // A running request for observer with interval aSeconds; answers its
    // cell, which stays reachable as an application's variable would.
    TUint32 newRequest(CLocationWrapper& aWrapper, TInt32 aSeconds)
    {
        const TUint32 cell = newCell(machine);
        machine.heap().addRoot(cell);
        push(cell, observer, 7, aSeconds);
        callExtension(machine, aWrapper, ENewRequest);
        return cell;
    }
    template <typename... Values>
    void push(Values... aValues)
    {
        (machine.pushSlot(static_cast<TUint32>(aValues)), ...);
    }
    void pushFixed(double aValue)
    {
        const TInt64 raw = OFixed::fromDouble(aValue).raw();
        push(static_cast<TUint32>(raw), static_cast<TUint32>(static_cast<TUint64>(raw) >> 32));
    }

    std::filesystem::path directory = temporaryDirectory();
    LocationServices services;
    VirtualMachine machine;
    TUint32 observer = 0;
};

// Fixes replayed by gpsfake reach the observer at the preferred interval,
// with their coordinates intact.
TEST_F(LocationTest, TheObserverReceivesFixesFromGpsd)
{
    writeLog(directory / "fixes.nmea");
    const std::string port = std::to_string(20000 + ::getpid() % 20000);
    ServerProcess gpsfake;
    if (!gpsfake.start({"gpsfake", "-q", "-c", "0.05", "-P", port, (directory / "fixes.nmea").string()}))
        GTEST_SKIP() << "gpsfake is not installed";
    runEventLoop(1500);
    CLocationWrapper wrapper(machine, "localhost", port);
    services.wrapper = &wrapper;
    const TUint32 request = newRequest(wrapper, 1);
    EXPECT_EQ(preferredInterval(), 10);
    if (!runEventLoop(15000, [&] { return services.logLines.size() >= 8; }))
        GTEST_SKIP() << "gpsd gave no fixes";

    // Latitude and longitude alternate; fixes are ten seconds apart, counted
    // from the first that carries GPS time (gpsd's first report may not).
    int previous = -1;
    for (size_t line = 0; line + 1 < services.logLines.size(); line += 2) {
        const double latitude = std::stod(services.logLines[line]);
        const double longitude = std::stod(services.logLines[line + 1]);
        const int fix = static_cast<int>(std::lround((latitude - latitudeOf(0)) * 60 / 0.0001));
        ASSERT_GE(fix, 0);
        EXPECT_NEAR(latitude, latitudeOf(fix), 1e-6);
        EXPECT_NEAR(longitude, longitudeOf(fix), 1e-6);
        if (line >= 4 && fix > previous) {
            EXPECT_EQ(fix - previous, 10);
        }
        previous = fix;
    }

    push(request, 1500);
    callExtension(machine, wrapper, ESetInterval);
    EXPECT_EQ(preferredInterval(), 20);
    push(request, 800);
    callExtension(machine, wrapper, ESetInterval);
    EXPECT_EQ(preferredInterval(), 10);
    push(request);
    callExtension(machine, wrapper, EStop);
    const size_t delivered = services.logLines.size();
    runEventLoop(1500);
    EXPECT_EQ(services.logLines.size(), delivered);
    EXPECT_EQ(machine.top(), -1);
}

// No gpsd: requests start and stop and the application hears nothing;
// locations made by the application still work.
TEST_F(LocationTest, WithoutGpsdRequestsRunSilently)
{
    CLocationWrapper wrapper(machine, "localhost", "1");
    const TUint32 request = newRequest(wrapper, 2);
    EXPECT_EQ(preferredInterval(), 20);
    runEventLoop(300);
    // Only the request holds the observer; a collection must leave it.
    machine.garbageCollect();
    EXPECT_TRUE(machine.heap().isReference(observer));
    push(request);
    callExtension(machine, wrapper, EStop);
    push(request);
    callExtension(machine, wrapper, EStart);
    EXPECT_TRUE(services.logLines.empty());

    // Helsinki to Tallinn, about 80 km.
    const TUint32 helsinki = newCell(machine);
    push(helsinki);
    pushFixed(24.9384); pushFixed(60.1699); pushFixed(10);
    push(newDateTimeObject(machine.heap(), Vestra::DateTime::now()));
    callExtension(machine, wrapper, ENewLocation);
    const TUint32 tallinn = newCell(machine);
    push(tallinn);
    pushFixed(24.7536); pushFixed(59.4370); pushFixed(10);
    push(newDateTimeObject(machine.heap(), Vestra::DateTime::now()));
    callExtension(machine, wrapper, ENewLocation);
    push(helsinki);
    callExtension(machine, wrapper, ELatitude);
    EXPECT_NEAR(ORaw::toDouble(machine.fixedOperand(0)), 60.1699, 1e-6);
    machine.setTop(-1);
    push(helsinki, tallinn);
    callExtension(machine, wrapper, EDistance);
    EXPECT_NEAR(ORaw::toDouble(machine.fixedOperand(0)), 82.0, 1.5);
    machine.setTop(-1);

    push(machine.newStringValue(OString("not a request")));
    EXPECT_EQ(raisedCode([&] { callExtension(machine, wrapper, EStop); }), EVMError);
    machine.setTop(-1);
    push(newCell(machine));
    EXPECT_EQ(raisedCode([&] { callExtension(machine, wrapper, EStop); }), ENullPointer);
    EXPECT_EQ(raisedCode([&] { callExtension(machine, wrapper, 99); }), EFatalError);
}

// Every running request holds a device of the location layer on the host:
// a program that keeps making requests meets the host-memory limit, and
// the requests give their share back when they go.
TEST_F(LocationTest, RunningRequestsCountAgainstTheHostMemoryLimit)
{
    CLocationWrapper wrapper(machine, "localhost", "1");
    ErrorHandling::clearError();
    const TUint64 before = HostMemory::inUse();
    std::vector<TUint32> cells;
    {
        // Room for a few hundred requests, not for a thousand.
        const HostMemory::CCharge filling(HostMemory::KLimit - before - (TUint64(128) << 10));
        TInt code = ENoError;
        while (code == ENoError && cells.size() < 1000) {
            cells.push_back(newCell(machine));
            machine.heap().addRoot(cells.back());
            push(cells.back(), observer, 7, 2);
            code = raisedCode([&] { callExtension(machine, wrapper, ENewRequest); });
            machine.setTop(-1);
        }
        EXPECT_EQ(code, EVMError);
        EXPECT_GT(cells.size(), 100u);
        EXPECT_LT(cells.size(), 400u);
        ErrorHandling::clearError();
    }
    for (TUint32 cell : cells)
        machine.heap().removeRoot(cell);
    machine.garbageCollect();
    EXPECT_EQ(HostMemory::inUse(), before);
}

// Each value takes two slots, the low word below the high word: set and
// read back, every word lands where it belongs.
TEST_F(LocationTest, CoordinatesSetOnALocationReadBackThroughTheGetters)
{
    CLocationWrapper wrapper(machine, "localhost", "1");
    const TUint32 location = newCell(machine);
    push(location);
    pushFixed(1); pushFixed(2); pushFixed(3);
    push(newDateTimeObject(machine.heap(), Vestra::DateTime::now()));
    callExtension(machine, wrapper, ENewLocation);
    ASSERT_EQ(machine.top(), -1);

    push(location);
    pushFixed(24.9384); pushFixed(-60.1699); pushFixed(-12.5);
    callExtension(machine, wrapper, ESetCoordinates);
    EXPECT_EQ(machine.top(), -1);
    for (const auto& [getter, expected] : {std::pair{ELongitude, 24.9384}, {ELatitude, -60.1699}, {EAltitude, -12.5}}) {
        push(location);
        callExtension(machine, wrapper, getter);
        EXPECT_EQ(machine.top(), 1);
        EXPECT_EQ(machine.fixedOperand(0), OFixed::fromDouble(expected).raw()) << getter;
        machine.setTop(-1);
    }
}

// A feed that gives the fixes keeps gpsd out of it: its fixes reach the
// observer as gpsd's do, and one without a position does not. One that
// leaves them to gpsd hears when gpsd cannot be reached. Either hears of
// the last stop, and the layer forgets the feed with its wrapper.
TEST_F(LocationTest, AFeedTakesGpsdsPlaceOrStandsInWhereGpsdCannotBeReached)
{
    CountingFeed feed;
    {
        CLocationWrapper wrapper(machine, "localhost", "1");
        services.wrapper = &wrapper;
        wrapper.setFeed(&feed);
        const TUint32 request = newRequest(wrapper, 1);
        EXPECT_EQ(feed.starts, 1);
        EXPECT_EQ(feed.unreachable, 0);
        LocationGPSDeviceFix fix = {};
        fix.fields = LOCATION_GPS_DEVICE_LATLONG_SET;
        fix.latitude = 60.5;
        fix.longitude = 24.25;
        locationFeedTakeFix(fix);
        locationFeedTakeFix(LocationGPSDeviceFix {});
        runEventLoop(100);
        ASSERT_EQ(services.logLines.size(), 2u);
        EXPECT_EQ(std::stod(services.logLines[0]), 60.5);
        EXPECT_EQ(std::stod(services.logLines[1]), 24.25);

        push(request);
        callExtension(machine, wrapper, EStop);
        EXPECT_EQ(feed.stops, 1);
        feed.feeds = EFalse;
        push(request);
        callExtension(machine, wrapper, EStart);
        EXPECT_EQ(feed.starts, 2);
        EXPECT_EQ(feed.unreachable, 1);
        EXPECT_EQ(locationFeed(), &feed);
    }
    EXPECT_EQ(feed.stops, 2);
    EXPECT_EQ(locationFeed(), nullptr);
}
