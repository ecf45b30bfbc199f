#ifndef KELVO_PULSELIBRARY_H
#define KELVO_PULSELIBRARY_H

#include <pulse/glib-mainloop.h>
#include <pulse/pulseaudio.h>

// The functions of PulseAudio's client library that the audio player
// calls. The library is opened when the extension first connects rather
// than linked: linked, it and the codec libraries it brings were a tenth
// of the runtime's start-up, paid by every application, most of which
// play no sound.
#define KELVO_PULSE_FUNCTIONS(X) \
    X(pa_context_connect) X(pa_context_disconnect) X(pa_context_get_state) X(pa_context_new) \
    X(pa_context_set_state_callback) X(pa_context_unref) X(pa_glib_mainloop_free) \
    X(pa_glib_mainloop_get_api) X(pa_glib_mainloop_new) X(pa_operation_unref) \
    X(pa_stream_connect_playback) X(pa_stream_disconnect) X(pa_stream_flush) X(pa_stream_get_state) \
    X(pa_stream_new) X(pa_stream_prebuf) X(pa_stream_set_started_callback) \
    X(pa_stream_set_write_callback) X(pa_stream_trigger) X(pa_stream_unref) \
    X(pa_stream_writable_size) X(pa_stream_write)

struct PulseLibrary {
#define KELVO_PULSE_POINTER(name) decltype(&::name) name;
    KELVO_PULSE_FUNCTIONS(KELVO_PULSE_POINTER)
#undef KELVO_PULSE_POINTER
};

// What is said where the library cannot be opened or lacks a function.
inline constexpr char KPulseNotAvailable[] = "PulseAudio is not available";

// The library, opened at the first call and kept for the life of the
// process, or null where it cannot be opened or lacks a function.
const PulseLibrary* openPulse();

// The same for callers that run once the library is known to be open;
// where it is not, the call raises code 13 (unsupported feature) with
// KPulseNotAvailable.
const PulseLibrary& pulse();

#endif
