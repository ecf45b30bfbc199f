// Not a Google Benchmark: the time from the play operation to the first
// sample at the sink. It starts its own PulseAudio daemon with a null sink,
// records the sink's monitor with small fragments on the same event loop,
// and plays one sound again and again, printing the median and the worst.
// The machine runs a program of one empty main, loaded with a host, as in
// the product: the extension reaches its host when the server is ready.

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <glib.h>
#include <glib/gstdio.h>
#include <pulse/glib-mainloop.h>
#include <pulse/pulseaudio.h>

#include "AudioPlayer.h"
#include "AudioPlayerExtension.h"
#include "ImageFormat.h"
#include "ImageWriter.h"
#include "MemoryStreams.h"
#include "OVector.h"
#include "Opcodes.h"
#include "RecordingServices.h"
#include "VirtualMachine.h"

namespace {

using Clock = std::chrono::steady_clock;

const int KRounds = 20;
const int KRate = 44100;
const int KLoud = 2000;

// The monitor's listener: remembers when it first hears sound after being
// armed.
struct Listener {
    bool armed = false;
    Clock::time_point heard;
    bool wasHeard = false;
};

void readMonitor(pa_stream* aStream, size_t, void* aListener)
{
    auto* listener = static_cast<Listener*>(aListener);
    const void* data = nullptr;
    size_t bytes = 0;
    while (pa_stream_readable_size(aStream) > 0 && pa_stream_peek(aStream, &data, &bytes) == 0) {
        if (bytes == 0)
            break;
        const auto* samples = static_cast<const int16_t*>(data);
        for (size_t i = 0; data && listener->armed && !listener->wasHeard && i < bytes / 2; ++i) {
            if (std::abs(samples[i]) > KLoud) {
                listener->wasHeard = true;
                listener->heard = Clock::now();
            }
        }
        pa_stream_drop(aStream);
    }
}

void runFor(int aMillis, bool* aDone = nullptr)
{
    const auto end = Clock::now() + std::chrono::milliseconds(aMillis);
    while (Clock::now() < end && !(aDone && *aDone))
        g_main_context_iteration(nullptr, FALSE);
}

// The monitor stream, recording in 5 ms fragments so that the recording
// itself adds little to what is measured.
pa_stream* listen(pa_context* aContext, Listener& aListener)
{
    const pa_sample_spec spec = {PA_SAMPLE_S16LE, KRate, 1};
    pa_stream* stream = pa_stream_new(aContext, "kelvo-latency-monitor", &spec, nullptr);
    pa_buffer_attr attributes;
    attributes.maxlength = static_cast<uint32_t>(-1);
    attributes.tlength = attributes.prebuf = attributes.minreq = static_cast<uint32_t>(-1);
    attributes.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(5000, &spec));
    pa_stream_set_read_callback(stream, readMonitor, &aListener);
    pa_stream_connect_record(stream, "kelvo.monitor", &attributes, PA_STREAM_ADJUST_LATENCY);
    return stream;
}

// The smallest application: main returns at once. Loading it is what gives
// the machine its host.
void loadEmptyProgram(VirtualMachine& aMachine, FrameworkServices& aServices)
{
    ImageFormat::Image image;
    image.staticMethods = {{{'m', 'a', 'i', 'n'}, 0, static_cast<TUint32>(-1)}};
    // ret 0, 1: no locals, and only the return address goes.
    image.code = {Opcodes::EOp_ret, 0, 0, 0, 0, 1, 0, 0, 0};
    ImageWriter::chooseSmallestWidths(image);
    ImageFormat::Bytes bytes;
    std::string error;
    if (!ImageWriter::write(image, bytes, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(1);
    }
    VESTRA::MemoryInputStream stream;
    stream.setBuffer(bytes.data(), static_cast<TInt>(bytes.size()));
    aMachine.load(stream, CAppsString("index.mcb"), &aServices);
}

std::vector<TUint8> noise(int aSamples)
{
    std::vector<TUint8> bytes;
    uint32_t state = 1;
    for (int i = 0; i < aSamples; ++i) {
        state = state * 1664525u + 1013904223u;
        const int16_t sample = static_cast<int16_t>(static_cast<int32_t>(state >> 16) % 16000 - 8000);
        bytes.push_back(static_cast<TUint8>(sample & 0xFF));
        bytes.push_back(static_cast<TUint8>(static_cast<uint16_t>(sample) >> 8));
    }
    return bytes;
}

// Plays a sound of aSamples KRounds times, stopping it between rounds, and
// answers the latency of each round that was heard, in milliseconds.
std::vector<double> measure(const std::string& aServer, Listener& aListener, int aSamples)
{
    std::vector<double> latencies;
    RecordingServices services;
    VirtualMachine machine;
    loadEmptyProgram(machine, services);
    AudioPlayerExtension extension(machine, aServer.c_str());
    const std::vector<TUint8> sound = noise(aSamples);
    const TUint32 cell = machine.heap().createArray(1, GC_CODE_REF_CELL);
    const TUint32 vector = machine.newVectorValue(1, static_cast<TInt>(sound.size()), EFalse);
    std::copy(sound.begin(), sound.end(), OByteVector(machine.heap(), machine.vectorOf(vector, 1)).elements());
    machine.setTop(-1);
    machine.pushSlot(cell);
    machine.pushSlot(vector);
    machine.pushSlot(0);
    machine.setTop(extension.callDllNative(2, machine.top(), machine.stackAddress()));
    runFor(1000);
    const TUint32 player = machine.arena().word(cell);
    for (int round = 0; round < KRounds; ++round) {
        aListener = Listener();
        aListener.armed = true;
        const Clock::time_point played = Clock::now();
        machine.pushSlot(player);
        machine.setTop(extension.callDllNative(3, machine.top(), machine.stackAddress()));
        runFor(2000, &aListener.wasHeard);
        if (aListener.wasHeard)
            latencies.push_back(std::chrono::duration<double, std::milli>(aListener.heard - played).count());
        machine.pushSlot(player);
        machine.setTop(extension.callDllNative(4, machine.top(), machine.stackAddress()));
        runFor(300);
    }
    return latencies;
}

// In the daemon, before it starts: it goes with the benchmark even when the
// benchmark crashes, so no run leaves a server behind.
void stopWithParent(gpointer aParent)
{
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != *static_cast<pid_t*>(aParent))
        ::_exit(1);
}

}

int main()
{
    char* directory = g_dir_make_tmp("kelvo-latency-XXXXXX", nullptr);
    const std::string socket = std::string(directory) + "/native";
    const std::string server = "unix:" + socket;
    const std::string protocol = "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket;
    const char* argv[] = {"pulseaudio", "--daemonize=no", "-n", "--exit-idle-time=-1", "--use-pid-file=no",
                          "--load=module-null-sink sink_name=kelvo", protocol.c_str(), nullptr};
    GPid daemon = 0;
    pid_t self = ::getpid();
    if (!g_spawn_async(nullptr, const_cast<char**>(argv), nullptr,
                       static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL
                                                | G_SPAWN_STDERR_TO_DEV_NULL | G_SPAWN_DO_NOT_REAP_CHILD),
                       stopWithParent, &self, &daemon, nullptr)) {
        std::fprintf(stderr, "pulseaudio could not be started\n");
        return 1;
    }
    for (int i = 0; i < 500 && !g_file_test(socket.c_str(), G_FILE_TEST_EXISTS); ++i)
        g_usleep(10000);

    pa_glib_mainloop* mainloop = pa_glib_mainloop_new(nullptr);
    pa_context* context = pa_context_new(pa_glib_mainloop_get_api(mainloop), "kelvo-latency-bench");
    pa_context_connect(context, server.c_str(), PA_CONTEXT_NOFLAGS, nullptr);
    runFor(1000);
    Listener listener;
    pa_stream* monitor = listen(context, listener);

    // A quarter second starts by the trigger after its last write; five
    // seconds start when the server's prebuffer is full.
    const double lengths[] = {0.25, 5.0};
    std::vector<std::vector<double>> latencies;
    for (double seconds : lengths)
        latencies.push_back(measure(server, listener, static_cast<int>(KRate * seconds)));
    pa_stream_disconnect(monitor);
    pa_stream_unref(monitor);
    pa_context_disconnect(context);
    pa_context_unref(context);
    pa_glib_mainloop_free(mainloop);
    ::kill(daemon, SIGTERM);
    ::waitpid(daemon, nullptr, 0);
    g_spawn_close_pid(daemon);
    g_rmdir(directory);
    g_free(directory);

    for (size_t i = 0; i < latencies.size(); ++i) {
        std::vector<double>& figures = latencies[i];
        if (figures.empty()) {
            std::fprintf(stderr, "no sound reached the sink\n");
            return 1;
        }
        std::sort(figures.begin(), figures.end());
        std::printf("%.2f s sound: play to first sample at the sink's monitor, %zu of %d rounds heard: "
                    "median %.1f ms, best %.1f ms, worst %.1f ms\n",
                    lengths[i], figures.size(), KRounds, figures[figures.size() / 2], figures.front(), figures.back());
    }
    return 0;
}
