#include "AudioPlayer.h"

#include <algorithm>
#include <cstdio>

#include "AudioPlayerExtension.h"
#include "PulseLibrary.h"

namespace {

const char KStreamName[] = "kelvo-audio-player";
const pa_sample_spec KSampleSpec = {PA_SAMPLE_S16LE, 44100, 1};
const TUint32 KSampleBytes = 2;
// A player's own share of the host beside its samples: the object, its
// stream and the client library's buffers for it.
const TUint64 KPlayerHostBytes = 2048;

// Operations whose completion nobody waits for.
void forget(pa_operation* aOperation)
{
    if (aOperation)
        pulse().pa_operation_unref(aOperation);
}

}

// The extension knows its players so that it can let go of their streams
// before its connection closes.
AudioPlayer::AudioPlayer(AudioPlayerExtension& aOwner, std::vector<TUint8> aData)
    : iCharge(aData.size() + KPlayerHostBytes), iOwner(&aOwner), iData(std::move(aData))
{
    iOwner->addPlayer(this);
}

AudioPlayer::~AudioPlayer()
{
    releaseStream();
    if (iOwner)
        iOwner->removePlayer(this);
}

void AudioPlayer::detach()
{
    releaseStream();
    iOwner = nullptr;
}

// Callbacks go first: the server must not reach a player that is gone.
void AudioPlayer::releaseStream()
{
    if (!iStream)
        return;
    pulse().pa_stream_set_started_callback(iStream, nullptr, nullptr);
    pulse().pa_stream_set_write_callback(iStream, nullptr, nullptr);
    pulse().pa_stream_disconnect(iStream);
    pulse().pa_stream_unref(iStream);
    iStream = nullptr;
}

// Buffering is left to the server's defaults; playback begins once its
// prebuffer is full, or when the whole sound has been written.
void AudioPlayer::initialize()
{
    iStream = pulse().pa_stream_new(iOwner->context(), KStreamName, &KSampleSpec, nullptr);
    if (iStream) {
        pa_buffer_attr attributes;
        attributes.maxlength = attributes.tlength = attributes.prebuf = attributes.minreq = attributes.fragsize =
            static_cast<uint32_t>(-1);
        pulse().pa_stream_set_started_callback(iStream, &AudioPlayer::streamStarted, this);
        pulse().pa_stream_connect_playback(iStream, nullptr, &attributes, PA_STREAM_NOFLAGS, nullptr, nullptr);
    }
    std::fprintf(stderr, "End of %s\n", "initialize");
}

// Each play starts the sound from its beginning.
void AudioPlayer::play()
{
    iOffset = 0;
    iState = EPlayRequested;
    if (!iStream)
        return;
    forget(pulse().pa_stream_prebuf(iStream, nullptr, nullptr));
    pulse().pa_stream_set_write_callback(iStream, &AudioPlayer::writeRequested, this);
    if (!streamReady())
        return;
    const size_t writable = pulse().pa_stream_writable_size(iStream);
    if (writable != 0 && writable != static_cast<size_t>(-1))
        writeSamples(writable);
}

// A flush alone would let the server ask for the rest of the sound at once,
// so the rest is dropped too: stop means silence until the next play.
void AudioPlayer::stop()
{
    if (iState == ELoaded || !iStream)
        return;
    forget(pulse().pa_stream_flush(iStream, nullptr, nullptr));
    iOffset = playableLength();
}

// From here on the last write needs no trigger.
void AudioPlayer::streamStarted(pa_stream*, void* aSelf)
{
    static_cast<AudioPlayer*>(aSelf)->iState = EStarted;
}

// The server asks for aBytes more.
void AudioPlayer::writeRequested(pa_stream*, size_t aBytes, void* aSelf)
{
    static_cast<AudioPlayer*>(aSelf)->writeSamples(aBytes);
}

// A sound shorter than the prebuffer would never start by itself, so the
// last write triggers the stream unless it is playing already.
void AudioPlayer::writeSamples(size_t aBytes)
{
    std::fprintf(stderr, "%s: req: %d, offset: %d, left: %d\n", "writeSamples", static_cast<TInt>(aBytes),
                 static_cast<TInt>(iOffset), static_cast<TInt>(length() - iOffset));
    const size_t whole = aBytes - aBytes % KSampleBytes;
    const size_t count = std::min(whole, static_cast<size_t>(playableLength() - iOffset));
    if (count == 0)
        return;
    if (pulse().pa_stream_write(iStream, iData.data() + iOffset, count, nullptr, 0, PA_SEEK_RELATIVE) < 0)
        return;
    iOffset += static_cast<TUint32>(count);
    if (iOffset == playableLength() && iState != EStarted)
        forget(pulse().pa_stream_trigger(iStream, nullptr, nullptr));
}

// The server takes whole samples only; a last odd byte is no sample and
// is never played.
TUint32 AudioPlayer::playableLength() const
{
    return length() - length() % KSampleBytes;
}

TBool AudioPlayer::streamReady() const
{
    return pulse().pa_stream_get_state(iStream) == PA_STREAM_READY;
}
