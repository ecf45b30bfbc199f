#ifndef KELVO_MDLLEXTENSION_H
#define KELVO_MDLLEXTENSION_H

#include "Types.h"

// A device extension as the extension instruction reaches it. Operands lie
// on the machine's operand stack: aTop is the index of the topmost
// occupied slot and aStackBase the VM address of slot 0. The extension
// leaves its results in slots from some index upwards and answers the
// index of the topmost slot it leaves occupied.
class MDllExtension {
public:
    virtual ~MDllExtension() = default;
    virtual TInt callDllNative(TInt aOpcode, TInt aTop, TUint32 aStackBase) = 0;
};

#endif
