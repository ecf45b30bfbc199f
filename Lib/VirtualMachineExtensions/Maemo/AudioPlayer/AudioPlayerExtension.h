#ifndef KELVO_AUDIOPLAYEREXTENSION_H
#define KELVO_AUDIOPLAYEREXTENSION_H

#include <memory>
#include <set>
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
class AudioPlayerExtension : public MDllExtension {
public:
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
    static void contextStateChanged(pa_context* aContext, void* aSelf);
    void runDeferred();

    VirtualMachine& iMachine;
    pa_glib_mainloop* iMainloop = nullptr;
    pa_context* iContext = nullptr;
    std::vector<std::unique_ptr<CDeferredOperation>> iDeferred;
    std::set<AudioPlayer*> iPlayers;
};

#endif
