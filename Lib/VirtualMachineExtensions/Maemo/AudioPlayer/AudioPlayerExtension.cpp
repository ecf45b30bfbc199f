#include "AudioPlayerExtension.h"

#include "AudioPlayer.h"
#include "CDeferredOperation.h"
#include "ErrorHandling.h"
#include "PulseLibrary.h"
#include "SoundData.h"
#include "FrameworkServices.h"
#include "VirtualMachine.h"

#include <cstdio>

#include <glib.h>

namespace {

const char KContextName[] = "kelvo-vm";
const char KUnknownOpcode[] = "AudioPlayer: Unknown opcode!";
const char KNullPointer[] = "NULL pointer";
const char KNotAPlayer[] = "Not an audio player";
// The player object's payload: the host-object words and room for the
// fields the application never reads.
const TUint32 KPlayerObjectSize = 28;

enum TOpcode {
    ELoadFile = 1,
    ELoadBytes = 2,
    EPlay = 3,
    EStop = 4,
    EIgnoredOne = 6,
    EZeroFirst = 7,
    EZeroSecond = 8,
    EIgnoredTwo = 9,
    EZeroThird = 10,
    EIgnoredTwoMore = 11,
    EZeroFourth = 12,
    EZeroFifth = 13,
    EIgnoredThree = 14
};

}

AudioPlayerExtension::AudioPlayerExtension(VirtualMachine& aMachine, const char* aServer)
    : iMachine(aMachine), iServer(aServer ? aServer : ""), iDefaultServer(aServer == nullptr)
{
    iIdleSource = g_idle_add(&AudioPlayerExtension::connectWhenDue, this);
    iDeadlineSource = g_timeout_add(KConnectDeadlineMillis, &AudioPlayerExtension::connectWhenDue, this);
}

// Streams go before the connection they belong to; the players stay in
// the heap, silent, until the collector frees them.
AudioPlayerExtension::~AudioPlayerExtension()
{
    removeConnectionSources();
    iDeferred.clear();
    for (AudioPlayer* player : iPlayers)
        player->detach();
    if (!iContext)
        return;
    pulse().pa_context_set_state_callback(iContext, nullptr, nullptr);
    pulse().pa_context_disconnect(iContext);
    pulse().pa_context_unref(iContext);
    pulse().pa_glib_mainloop_free(iMainloop);
}

// Whichever source comes first connects; neither runs again.
int AudioPlayerExtension::connectWhenDue(void* aSelf)
{
    auto* self = static_cast<AudioPlayerExtension*>(aSelf);
    self->removeConnectionSources();
    self->connect();
    return G_SOURCE_REMOVE;
}

void AudioPlayerExtension::removeConnectionSources()
{
    if (!iIdleSource)
        return;
    g_source_remove(iIdleSource);
    g_source_remove(iDeadlineSource);
    iIdleSource = 0;
    iDeadlineSource = 0;
}

// Without the client library there is no connection, as without a
// server: the operations wait for ever and the application is not told.
void AudioPlayerExtension::connect()
{
    const PulseLibrary* library = openPulse();
    if (!library) {
        std::fprintf(stderr, "%s\n", KPulseNotAvailable);
        return;
    }
    iMainloop = library->pa_glib_mainloop_new(nullptr);
    iContext = library->pa_context_new(library->pa_glib_mainloop_get_api(iMainloop), KContextName);
    library->pa_context_set_state_callback(iContext, &AudioPlayerExtension::contextStateChanged, this);
    library->pa_context_connect(iContext, iDefaultServer ? nullptr : iServer.c_str(), PA_CONTEXT_NOFLAGS, nullptr);
}

// Operands are read through the machine, which checks every slot against
// the ends of the stack; a stack base other than the machine's own is
// refused.
TInt AudioPlayerExtension::callDllNative(TInt aOpcode, TInt aTop, TUint32 aStackBase)
{
    if (aStackBase != iMachine.stackAddress())
        ErrorHandling::raise(EVMError, "Invalid stack");
    iMachine.setTop(aTop);
    switch (aOpcode) {
    case ELoadFile: loadFile(); break;
    case ELoadBytes: loadBytes(); break;
    case EPlay: defer(iMachine.operand(0), &AudioPlayer::play); iMachine.popOperands(1); break;
    case EStop: defer(iMachine.operand(0), &AudioPlayer::stop); iMachine.popOperands(1); break;
    case EIgnoredOne: iMachine.popOperands(1); break;
    case EZeroFirst:
    case EZeroSecond:
    case EZeroThird:
    case EZeroFourth:
    case EZeroFifth: iMachine.setOperand(0, 0); break;
    case EIgnoredTwo:
    case EIgnoredTwoMore: iMachine.popOperands(2); break;
    case EIgnoredThree: iMachine.popOperands(3); break;
    default: iMachine.fatalError(OString(KUnknownOpcode), 1);
    }
    return iMachine.top();
}

// receiver cell, file name, unused.
void AudioPlayerExtension::loadFile()
{
    const TUint32 receiver = iMachine.referenceOperand(2);
    std::vector<TUint8> data = SoundData::fromFile(iMachine.services(), iMachine.stringOf(iMachine.operand(1)));
    storeNewPlayer(receiver, std::move(data));
    iMachine.popOperands(3);
}

// receiver cell, byte vector, unused.
void AudioPlayerExtension::loadBytes()
{
    const TUint32 receiver = iMachine.referenceOperand(2);
    std::vector<TUint8> data = SoundData::fromVector(iMachine.heap(), iMachine.vectorOf(iMachine.operand(1), 1));
    storeNewPlayer(receiver, std::move(data));
    iMachine.popOperands(3);
}

// The player's initialisation waits like any other operation, so a play
// that follows at once runs after it.
void AudioPlayerExtension::storeNewPlayer(TUint32 aReceiverCell, std::vector<TUint8> aData)
{
    const TUint32 player =
        iMachine.heap().createHostObject(KPlayerObjectSize, GC_CODE_PLAIN, new AudioPlayer(*this, std::move(aData)));
    iMachine.arena().setWord(aReceiverCell, player);
    defer(player, &AudioPlayer::initialize);
}

// A player operand, checked to be one of ours: a forged or freed reference
// is a VM error.
AudioPlayer& AudioPlayerExtension::playerAt(TUint32 aPlayer)
{
    if (aPlayer == 0)
        ErrorHandling::raise(ENullPointer, KNullPointer);
    AudioPlayer* player = dynamic_cast<AudioPlayer*>(iMachine.heap().hostObject(aPlayer));
    if (!player)
        ErrorHandling::raise(EVMError, KNotAPlayer);
    return *player;
}

// The player is rooted from now until its operation has run.
void AudioPlayerExtension::defer(TUint32 aPlayer, void (AudioPlayer::*aOperation)())
{
    iDeferred.push_back(
        std::make_unique<CDeferredOperation>(iMachine.heap(), aPlayer, playerAt(aPlayer), aOperation));
    if (iContext && pulse().pa_context_get_state(iContext) == PA_CONTEXT_READY)
        runDeferred();
}

// A player that goes has nothing left to wait for.
void AudioPlayerExtension::removePlayer(AudioPlayer* aPlayer)
{
    iPlayers.erase(aPlayer);
    std::erase_if(iDeferred, [aPlayer](const std::unique_ptr<CDeferredOperation>& aOperation) {
        return &aOperation->target() == aPlayer;
    });
}

// Called from the event loop: nothing may leave towards PulseAudio.
void AudioPlayerExtension::contextStateChanged(pa_context* aContext, void* aSelf)
{
    if (pulse().pa_context_get_state(aContext) != PA_CONTEXT_READY)
        return;
    auto* self = static_cast<AudioPlayerExtension*>(aSelf);
    self->iMachine.services()->runExtensionCall([self] {
        self->runDeferred();
        return 0;
    });
}

// The list is taken over first: an operation never adds to it, but the
// list must be empty whatever an operation does.
void AudioPlayerExtension::runDeferred()
{
    std::vector<std::unique_ptr<CDeferredOperation>> waiting;
    waiting.swap(iDeferred);
    for (std::unique_ptr<CDeferredOperation>& operation : waiting)
        operation->run();
}
