#ifndef KELVO_ERRORHANDLING_H
#define KELVO_ERRORHANDLING_H

#include "Types.h"

class OString;

// The one exception type of the runtime. It carries nothing itself: the code
// and the text travel in the calling thread's error record, so that any
// layer can raise and the top-level call loop can read what happened.
class ErrorHandlingException {
};

// Error codes shared by the library, the loader, the interpreter and the
// natives. Their texts are fixed; applications see them.
enum TErrorCode {
    ENoError = 0,
    ENullPointer = 1,
    EIndexOutOfBounds = 2,
    EDivisionByZero = 3,
    EDataFormat = 4,
    ERange = 5,
    EInvalidArgument = 6,
    EInputOutput = 7,
    EMath = 8,
    EAssertionFailed = 9,
    EVMError = 10,
    EFatalError = 11,
    EExitRequest = 12,
    EUnsupportedFeature = 13
};

namespace ErrorHandling {

// Records code and text ("Name" or "Name: message") and throws.
[[noreturn]] void raise(TInt aCode, const OString& aMessage);
[[noreturn]] void raise(TInt aCode, const char* aMessage);
[[noreturn]] void raise(TInt aCode);

// The text for a code, without a message: the name of the code or the
// "UnknownException (CODE:n)" form.
OString errorName(TInt aCode);

// The calling thread's record: code 0 when nothing was raised yet.
TInt currentErrorCode();
OString currentErrorText();
void clearError();

// Keeps the calling thread's record as it is across clean-up code that may
// raise and swallow errors of its own: the record is put back when the
// guard goes out of scope.
class PreservedError {
public:
    PreservedError();
    ~PreservedError();
    PreservedError(const PreservedError&) = delete;
    PreservedError& operator=(const PreservedError&) = delete;

private:
    TInt iCode;
    OString* iText;
};

}

#endif
