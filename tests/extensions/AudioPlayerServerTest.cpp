// The audio player against a PulseAudio daemon with a null sink, whose
// monitor parec records: what the application plays must come out there.

#include <cmath>
#include <cstring>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>

#include "AudioLocationTestSupport.h"
#include "AudioPlayer.h"
#include "AudioPlayerExtension.h"
#include "FileStreams.h"
#include "HostMemory.h"
#include "MemoryStreams.h"
#include "OVector.h"
#include "ProgramTestSupport.h"
#include "RaisedCode.h"
#include "RecordingServices.h"

using namespace AudioLocationTestSupport;

namespace {

const int KRate = 44100;

enum { ELoadFile = 1, ELoadBytes = 2, EPlay = 3, EStop = 4, EZero = 7, EUnknown = 5 };

// Application files, served from memory. As in the host, a file that is
// not there still gives a stream, one that never opened; only a refused
// path gives none.
class FileServices : public RecordingServices {
public:
    VESTRA::InputStream* openInputStream(const OString& aPath) override
    {
        if (text(aPath).find("..") != std::string::npos)
            return nullptr;
        auto file = files.find(text(aPath));
        if (file == files.end())
            return new VESTRA::FileInputStream;
        static const TUint8 KNothing = 0;
        auto* stream = new VESTRA::MemoryInputStream;
        stream->setBuffer(file->second.empty() ? &KNothing : file->second.data(),
                          static_cast<TInt>(file->second.size()));
        return stream;
    }
    std::map<std::string, std::vector<TUint8>> files;
};

// Deterministic noise: its correlation with itself peaks at one lag only.
std::vector<int16_t> noise(int aSamples)
{
    std::vector<int16_t> samples(aSamples);
    uint32_t state = 12345;
    for (int16_t& sample : samples) {
        state = state * 1664525u + 1013904223u;
        sample = static_cast<int16_t>(static_cast<int32_t>(state >> 16) % 16000 - 8000);
    }
    return samples;
}

std::vector<TUint8> bytesOf(const std::vector<int16_t>& aSamples)
{
    std::vector<TUint8> bytes;
    for (int16_t sample : aSamples) {
        bytes.push_back(static_cast<TUint8>(sample & 0xFF));
        bytes.push_back(static_cast<TUint8>((static_cast<uint16_t>(sample) >> 8) & 0xFF));
    }
    return bytes;
}

std::vector<int16_t> recorded(const std::filesystem::path& aFile)
{
    std::ifstream file(aFile, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// The normalised correlation of aCount samples of aSound from aStart with
// the recording at aLag.
double correlation(const std::vector<int16_t>& aSound, int aStart, int aCount, const std::vector<int16_t>& aRecording,
                   size_t aLag)
{
    double product = 0, soundEnergy = 0, recordEnergy = 0;
    for (int i = 0; i < aCount; ++i) {
        const double sample = aSound[aStart + i];
        const double recorded = aRecording[aLag + i];
        product += sample * recorded;
        soundEnergy += sample * sample;
        recordEnergy += recorded * recorded;
    }
    return recordEnergy > 0 ? product / std::sqrt(soundEnergy * recordEnergy) : 0;
}

// How well a piece from the middle of aSound is found in the recording. The
// sink may drop the very beginning of a sound when it rewinds to mix it in,
// so the piece starts a fifth of a second in. A short probe finds the lag,
// a longer piece measures the match there.
double bestCorrelation(const std::vector<int16_t>& aSound, const std::vector<int16_t>& aRecording)
{
    const int start = KRate / 5;
    const int probe = 256;
    const int piece = 4096;
    if (aRecording.size() < static_cast<size_t>(piece))
        return 0;
    size_t bestLag = 0;
    double best = -1;
    for (size_t lag = 0; lag + piece <= aRecording.size(); ++lag) {
        const double match = correlation(aSound, start, probe, aRecording, lag);
        if (match > best) {
            best = match;
            bestLag = lag;
        }
    }
    return correlation(aSound, start, piece, aRecording, bestLag);
}

// Milliseconds of the recording that carry sound.
int audibleMillis(const std::vector<int16_t>& aRecording)
{
    const int block = KRate / 100;
    int loudBlocks = 0;
    for (size_t start = 0; start + block <= aRecording.size(); start += block) {
        double energy = 0;
        for (int i = 0; i < block; ++i)
            energy += double(aRecording[start + i]) * aRecording[start + i];
        if (std::sqrt(energy / block) > 500)
            ++loudBlocks;
    }
    return loudBlocks * 10;
}

}

class AudioPlayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ProgramTestSupport::loadProgram(machine, ".static \"main\" main, -1\nmain:\n    ret 0, 1\n", services);
        machine.setTop(-1);
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    // Starts a daemon with a null sink on a private socket, and parec on
    // its monitor; skips the test when either cannot run.
    void startServer()
    {
        socket = "unix:" + (directory / "native").string();
        if (!pulse.start({"pulseaudio", "--daemonize=no", "-n", "--exit-idle-time=-1", "--use-pid-file=no",
                          "--disable-shm=yes", "--load=module-null-sink sink_name=kelvo",
                          "--load=module-native-protocol-unix auth-anonymous=1 socket=" + (directory / "native").string()}))
            GTEST_SKIP() << "pulseaudio is not installed";
        if (!runEventLoop(5000, [&] { return std::filesystem::exists(directory / "native"); }))
            GTEST_SKIP() << "pulseaudio did not start";
        if (!recorder.start({"parec", "--server=" + socket, "--device=kelvo.monitor", "--raw", "--format=s16le",
                             "--rate=44100", "--channels=1", "--latency-msec=100"},
                            (directory / "recording.raw").string()))
            GTEST_SKIP() << "parec is not installed";
        // The monitor of an idle null sink records silence: once some has
        // arrived, parec is listening.
        if (!runEventLoop(5000, [&] { return recordedBytes() > 4096; }))
            GTEST_SKIP() << "parec does not record";
    }
    std::uintmax_t recordedBytes()
    {
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(directory / "recording.raw", error);
        return error ? 0 : size;
    }

    // Leaves a new player in the cell it answers.
    TUint32 loadBytes(AudioPlayerExtension& aExtension, const std::vector<TUint8>& aBytes)
    {
        const TUint32 cell = newCell(machine);
        const TUint32 vector = machine.newVectorValue(1, static_cast<TInt>(aBytes.size()), EFalse);
        if (!aBytes.empty())
            std::memcpy(OByteVector(machine.heap(), machine.vectorOf(vector, 1)).elements(), aBytes.data(), aBytes.size());
        push(cell, vector, 0);
        callExtension(machine, aExtension, ELoadBytes);
        return cell;
    }
    TUint32 loadFile(AudioPlayerExtension& aExtension, const char* aName)
    {
        const TUint32 cell = newCell(machine);
        push(cell, machine.newStringValue(OString(aName)), 0);
        callExtension(machine, aExtension, ELoadFile);
        return cell;
    }
    void playerOperation(AudioPlayerExtension& aExtension, TUint32 aCell, TInt aOpcode)
    {
        push(machine.arena().word(aCell));
        callExtension(machine, aExtension, aOpcode);
    }
    template <typename... Values>
    void push(Values... aValues)
    {
        (machine.pushSlot(static_cast<TUint32>(aValues)), ...);
    }
    AudioPlayer& player(TUint32 aCell)
    {
        return dynamic_cast<AudioPlayer&>(*machine.heap().hostObject(machine.arena().word(aCell)));
    }

    std::filesystem::path directory = temporaryDirectory();
    std::string socket;
    ServerProcess pulse;
    ServerProcess recorder;
    FileServices services;
    VirtualMachine machine;
};

// Nothing to connect to: players load and their operations wait, and what
// an application may get wrong is an error of its own, never a crash.
TEST_F(AudioPlayerTest, WithoutAServerOperationsWaitAndBadInputIsRefused)
{
    AudioPlayerExtension extension(machine, ("unix:" + (directory / "none").string()).c_str());
    const TUint32 odd = loadBytes(extension, {1, 2, 3});
    playerOperation(extension, odd, EPlay);
    runEventLoop(200);
    EXPECT_EQ(extension.deferredCount(), 2);
    EXPECT_EQ(player(odd).state(), AudioPlayer::ELoaded);
    EXPECT_TRUE(machine.heap().isRoot(machine.arena().word(odd)));
    EXPECT_EQ(machine.top(), -1);
    // Released by the application while its operations wait.
    machine.heap().freeObject(machine.arena().word(odd));

    EXPECT_EQ(raisedCode([&] { loadBytes(extension, {}); }), EIndexOutOfBounds);
    machine.setTop(-1);
    for (const char* name : {"missing.raw", "../outside.raw"}) {
        EXPECT_EQ(raisedCode([&] { loadFile(extension, name); }), EInputOutput) << name;
        EXPECT_EQ(RecordingServices::text(ErrorHandling::currentErrorText()),
                  std::string("IOException: Could not open file: ") + name);
        machine.setTop(-1);
    }
    services.files["empty.raw"] = {};
    EXPECT_EQ(raisedCode([&] { loadFile(extension, "empty.raw"); }), EInvalidArgument);
    EXPECT_EQ(RecordingServices::text(ErrorHandling::currentErrorText()), "InvalidArgumentException: File is empty");
    machine.setTop(-1);

    push(0x1234);
    EXPECT_EQ(raisedCode([&] { callExtension(machine, extension, EPlay); }), EVMError);
    machine.setTop(-1);
    const TUint32 freed = newCell(machine);
    machine.arena().setWord(freed, machine.heap().createArray(1, GC_CODE_PLAIN));
    machine.heap().freeObject(machine.arena().word(freed));
    EXPECT_EQ(raisedCode([&] { playerOperation(extension, freed, EStop); }), EVMError);
    machine.setTop(-1);

    push(5, 77);
    callExtension(machine, extension, EZero);
    EXPECT_EQ(machine.top(), 1);
    EXPECT_EQ(machine.operand(0), 0u);
    EXPECT_EQ(raisedCode([&] { callExtension(machine, extension, EUnknown); }), EFatalError);
}

// A player keeps its samples on the host: a program that keeps loading
// sounds meets the host-memory limit as one that keeps making strings does,
// and the players give their share back when they go.
TEST_F(AudioPlayerTest, PlayersCountTheirSamplesAgainstTheHostMemoryLimit)
{
    AudioPlayerExtension extension(machine, ("unix:" + (directory / "none").string()).c_str());
    const std::vector<TUint8> sound(64 * 1024, 1);
    ErrorHandling::clearError();
    const TUint64 before = HostMemory::inUse();
    std::vector<TUint32> cells;
    {
        // Room for fifteen such players, not for a hundred.
        const HostMemory::CCharge filling(HostMemory::KLimit - before - (TUint64(1) << 20));
        TInt code = ENoError;
        while (code == ENoError && cells.size() < 100) {
            code = raisedCode([&] {
                const TUint32 cell = loadBytes(extension, sound);
                machine.heap().addRoot(cell);
                cells.push_back(cell);
            });
            machine.setTop(-1);
        }
        EXPECT_EQ(code, EVMError);
        EXPECT_GT(cells.size(), 10u);
        EXPECT_LT(cells.size(), 20u);
        ErrorHandling::clearError();
    }
    // Their initialisation waits for a server, so they live until the
    // application releases them.
    for (TUint32 cell : cells) {
        machine.heap().freeObject(machine.arena().word(cell));
        machine.heap().removeRoot(cell);
    }
    machine.garbageCollect();
    EXPECT_EQ(HostMemory::inUse(), before);
}

// A sound loaded from a file comes out at the sink; a stopped one falls
// silent; a server that goes away leaves the application running.
TEST_F(AudioPlayerTest, PlaysThroughTheServerStopsAndSurvivesItsEnd)
{
    startServer();
    const std::vector<int16_t> sound = noise(KRate / 2);
    std::vector<TUint8> bytes = bytesOf(sound);
    bytes.push_back(0x7F);   // a last odd byte is no sample
    services.files["sound.raw"] = bytes;
    AudioPlayerExtension extension(machine, socket.c_str());
    const TUint32 cell = loadFile(extension, "sound.raw");
    playerOperation(extension, cell, EPlay);
    ASSERT_TRUE(runEventLoop(3000, [&] { return player(cell).state() == AudioPlayer::EStarted; }));
    EXPECT_EQ(player(cell).offset(), bytes.size() - 1);
    runEventLoop(1000);
    EXPECT_EQ(extension.deferredCount(), 0);
    EXPECT_FALSE(machine.heap().isRoot(machine.arena().word(cell)));

    const TUint32 longCell = loadBytes(extension, bytesOf(noise(KRate * 3)));
    playerOperation(extension, longCell, EPlay);
    runEventLoop(500);
    playerOperation(extension, longCell, EStop);
    runEventLoop(1000);
    recorder.stop(SIGINT);
    const std::vector<int16_t> recording = recorded(directory / "recording.raw");
    EXPECT_GT(bestCorrelation(sound, recording), 0.9)
        << recording.size() << " samples recorded, " << audibleMillis(recording) << " ms audible";
    // Half a second of the first sound and about as much of the second,
    // which would last three seconds without the stop.
    EXPECT_LT(audibleMillis(recording), 2500);
    EXPECT_GT(audibleMillis(recording), 700);

    playerOperation(extension, longCell, EPlay);
    runEventLoop(200);
    pulse.stop(SIGKILL);
    runEventLoop(500);
    playerOperation(extension, longCell, EStop);
    playerOperation(extension, cell, EPlay);
    runEventLoop(300);
    EXPECT_EQ(extension.deferredCount(), 2);
}

// Operations that wait while the application releases their player are
// dropped when the server becomes ready.
TEST_F(AudioPlayerTest, AReleasedPlayerIsSkippedWhenTheServerComesUp)
{
    startServer();
    AudioPlayerExtension extension(machine, socket.c_str());
    const TUint32 cell = loadBytes(extension, bytesOf(noise(KRate / 10)));
    playerOperation(extension, cell, EPlay);
    ASSERT_EQ(extension.deferredCount(), 2);
    machine.heap().freeObject(machine.arena().word(cell));
    runEventLoop(500);
    EXPECT_EQ(extension.deferredCount(), 0);
}

// The call that makes the extension leaves the connection to the event
// loop, which makes it when idle; a loop that is never idle still connects,
// by the deadline, and the sound plays.
TEST_F(AudioPlayerTest, TheConnectionWaitsForTheLoopEvenALoopNeverIdle)
{
    startServer();
    AudioPlayerExtension extension(machine, socket.c_str());
    const TUint32 cell = loadBytes(extension, bytesOf(noise(KRate / 10)));
    playerOperation(extension, cell, EPlay);
    EXPECT_EQ(extension.context(), nullptr);
    const guint busy =
        g_idle_add_full(G_PRIORITY_DEFAULT, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr, nullptr);
    EXPECT_TRUE(runEventLoop(3000, [&] { return player(cell).state() == AudioPlayer::EStarted; }));
    g_source_remove(busy);
}

// An extension that goes before the loop has run leaves nothing behind
// that would connect for it later.
TEST(AudioPlayerLifetime, AnExtensionGoneBeforeItConnectedLeavesNothingToRun)
{
    VirtualMachine machine;
    { AudioPlayerExtension extension(machine, "unix:/nonexistent/native"); }
    runEventLoop(AudioPlayerExtension::KConnectDeadlineMillis * 2);
    EXPECT_FALSE(g_main_context_pending(nullptr));
}

// The host may destroy the machine first: players and their waiting
// operations go with the heap, and the extension has nothing left to touch.
TEST(AudioPlayerLifetime, TheMachineMayGoBeforeTheExtension)
{
    auto machine = std::make_unique<VirtualMachine>();
    AudioPlayerExtension extension(*machine, "unix:/nonexistent/native");
    machine->setTop(-1);
    machine->pushSlot(newCell(*machine));
    machine->pushSlot(machine->newVectorValue(1, 4, EFalse));
    machine->pushSlot(0);
    callExtension(*machine, extension, ELoadBytes);
    ASSERT_EQ(extension.deferredCount(), 1);
    machine.reset();
    EXPECT_EQ(extension.deferredCount(), 0);
}
