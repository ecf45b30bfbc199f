#include "CDeferredOperation.h"

#include "VMHeap.h"

// The root keeps the player alive while the operation waits.
CDeferredOperation::CDeferredOperation(VMHeap& aHeap, TUint32 aReference, AudioPlayer& aPlayer,
                                       TOperation aOperation)
    : iHeap(aHeap), iReference(aReference), iPlayer(aPlayer), iOperation(aOperation)
{
    iHeap.addRoot(iReference);
}

// Whether the operation ran or not, the player is the collector's again.
// A heap that is being emptied has dropped its roots already.
CDeferredOperation::~CDeferredOperation()
{
    if (iHeap.isRoot(iReference))
        iHeap.removeRoot(iReference);
}
