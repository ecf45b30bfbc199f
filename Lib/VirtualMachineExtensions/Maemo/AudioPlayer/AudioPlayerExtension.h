#ifndef KELVO_AUDIOPLAYEREXTENSION_H
#define KELVO_AUDIOPLAYEREXTENSION_H

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "MDllExtension.h"
#include "Types.h"

class AudioPlayer;
class CDeferredOperation;
class OString;
class VirtualMachine;
struct pa_context;
struct pa_glib_mainloop;

// Extension 28: plays raw sounds through the PulseAudio server. The
// players themselves live in the machine's heap; this object owns the
// connection to the server and the player operations that wait for it.
//
// The connection is made from the event loop, once it has nothing else to
// do, so that the call that makes the extension, usually in the
// application's start, and the window's first frame do not wait for the
// client library to load (a dozen libraries, milliseconds). A loop that is
// never idle connects after KConnectDeadlineMillis. The operations wait
// for the connection as they wait for the server.
class AudioPlayerExtension : public MDllExtension {
public:
    static const TUint32 KConnectDeadlineMillis = 100;

    // aServer names the sound server; null means PulseAudio's default.
    explicit AudioPlayerExtension(VirtualMachine& aMachine, const char* aServer = nullptr);
    ~AudioPlayerExtension() override;
    AudioPlayerExtension(const AudioPlayerExtension&) = delete;
    AudioPlayerExtension& operator=(const AudioPlayerExtension&) = delete;

    TInt callDllNative(TInt aOpcode, TInt aTop, TUint32 aStackBase) override;

    pa_context* context() { return iContext; }
    // Players register themselves so that their streams can be released
    // before the connection closes.
    void addPlayer(AudioPlayer* aPlayer) { iPlayers.insert(aPlayer); }
    void removePlayer(AudioPlayer* aPlayer);
    // Waiting operations, for tests and the benchmark.
    TInt deferredCount() const { return static_cast<TInt>(iDeferred.size()); }

private:
    void loadFile();
    void loadBytes();
    void storeNewPlayer(TUint32 aReceiverCell, std::vector<TUint8> aData);
    void defer(TUint32 aPlayer, void (AudioPlayer::*aOperation)());
    AudioPlayer& playerAt(TUint32 aPlayer);
    static int connectWhenDue(void* aSelf);
    void removeConnectionSources();
    void connect();
    static void contextStateChanged(pa_context* aContext, void* aSelf);
    void runDeferred();

    VirtualMachine& iMachine;
    std::string iServer;
    TBool iDefaultServer;
    // The GLib sources that will connect: when the loop is idle, and at the
    // deadline; 0 once either has run.
    TUint32 iIdleSource = 0;
    TUint32 iDeadlineSource = 0;
    pa_glib_mainloop* iMainloop = nullptr;
    pa_context* iContext = nullptr;
    std::vector<std::unique_ptr<CDeferredOperation>> iDeferred;
    std::set<AudioPlayer*> iPlayers;
};

#endif
