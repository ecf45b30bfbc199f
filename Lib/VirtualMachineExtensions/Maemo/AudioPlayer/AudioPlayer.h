#ifndef KELVO_AUDIOPLAYER_H
#define KELVO_AUDIOPLAYER_H

#include <vector>

#include "GCObject.h"
#include "HostMemory.h"
#include "Types.h"

class AudioPlayerExtension;
struct pa_stream;

// One loaded sound, owned by the machine's heap. The bytes are raw signed
// 16-bit little-endian mono samples at 44.1 kHz and go to the server as
// they are. Every operation here runs on the event-loop thread, either from
// the extension's deferred list or from PulseAudio's callbacks.
class AudioPlayer : public GCObject {
public:
    enum TState { EPlayRequested = 0, EStarted = 1, ELoaded = 2 };

    AudioPlayer(AudioPlayerExtension& aOwner, std::vector<TUint8> aData);
    ~AudioPlayer() override;
    AudioPlayer(const AudioPlayer&) = delete;
    AudioPlayer& operator=(const AudioPlayer&) = delete;

    // The deferred operations: they need the server connection ready.
    void initialize();
    void play();
    void stop();

    // The extension is going: the stream is let go while the connection
    // it belongs to still exists, and the player stays silent from here.
    void detach();

    TInt outsideHeapSize() const override { return static_cast<TInt>(iData.size()); }
    TState state() const { return iState; }
    TUint32 offset() const { return iOffset; }
    TUint32 length() const { return static_cast<TUint32>(iData.size()); }

private:
    static void streamStarted(pa_stream* aStream, void* aSelf);
    static void writeRequested(pa_stream* aStream, size_t aBytes, void* aSelf);
    void writeSamples(size_t aBytes);
    TBool streamReady() const;
    TUint32 playableLength() const;
    void releaseStream();

    // The samples and the stream live on the host: a program that keeps
    // loading sounds meets the host-memory limit instead of exhausting
    // the host.
    HostMemory::CCharge iCharge;
    AudioPlayerExtension* iOwner;
    pa_stream* iStream = nullptr;
    std::vector<TUint8> iData;
    TUint32 iOffset = 0;
    TState iState = ELoaded;
};

#endif
