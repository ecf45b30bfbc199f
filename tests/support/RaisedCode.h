#ifndef KELVO_RAISEDCODE_H
#define KELVO_RAISEDCODE_H

#include "ErrorHandling.h"

// The error code that aAction raised, or 0 when it raised nothing. Tests
// compare codes rather than only expecting "some exception", because the
// code is what applications see.
template <typename Action>
TInt raisedCode(Action aAction)
{
    try {
        aAction();
    } catch (const ErrorHandlingException&) {
        return ErrorHandling::currentErrorCode();
    }
    return ENoError;
}

#endif
