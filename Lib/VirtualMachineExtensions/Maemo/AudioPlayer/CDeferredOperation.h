#ifndef KELVO_CDEFERREDOPERATION_H
#define KELVO_CDEFERREDOPERATION_H

#include "Types.h"

class AudioPlayer;
class VMHeap;

// A player operation that waits for the sound server. The player is a heap
// object: it is held in the heap's roots while the operation waits, so the
// collector cannot free it under the operation. A player that goes anyway
// (released by the application, or with the whole heap) takes its waiting
// operations with it.
class CDeferredOperation {
public:
    using TOperation = void (AudioPlayer::*)();

    CDeferredOperation(VMHeap& aHeap, TUint32 aReference, AudioPlayer& aPlayer, TOperation aOperation);
    ~CDeferredOperation();
    CDeferredOperation(const CDeferredOperation&) = delete;
    CDeferredOperation& operator=(const CDeferredOperation&) = delete;

    void run() { (iPlayer.*iOperation)(); }
    const AudioPlayer& target() const { return iPlayer; }

private:
    VMHeap& iHeap;
    TUint32 iReference;
    AudioPlayer& iPlayer;
    TOperation iOperation;
};

#endif
