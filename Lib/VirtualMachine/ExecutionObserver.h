#ifndef KELVO_EXECUTIONOBSERVER_H
#define KELVO_EXECUTIONOBSERVER_H

#include "OString.h"
#include "Types.h"

// What a development host learns of a run, to trace it and to say where an
// error came from: the methods entered, the failures handed to the
// application as its exceptions, and the exceptions thrown. The device
// runtime sets no observer; the machine then pays one test of a pointer
// per call and per throw. Observers must not throw or run the machine.
class MExecutionObserver {
public:
    // A method was entered at aCodeAddress; aDepth counts the frames, the
    // entered one included.
    virtual void methodEntered(TInt32 aCodeAddress, TInt aDepth) = 0;
    // The failure aCode with aText, raised at code position aPosition, is
    // handed to the application's internal-throw method, which runs in the
    // frame at aHookDepth.
    virtual void failureConverted(TInt aCode, const OString& aText, TInt32 aPosition, TInt aHookDepth) = 0;
    // The throw at aPosition, in the frame at aDepth, throws aException.
    virtual void exceptionThrown(TUint32 aException, TInt32 aPosition, TInt aDepth) = 0;
    // No protected region caught aException, thrown at aPosition; the
    // image's print-and-exit method runs next.
    virtual void exceptionUncaught(TUint32 aException, TInt32 aPosition) = 0;

protected:
    ~MExecutionObserver() = default;
};

#endif
