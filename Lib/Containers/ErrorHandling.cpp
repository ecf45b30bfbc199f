#include "ErrorHandling.h"

#include "OString.h"

namespace {

// One record per thread; code 0 means nothing has been raised.
struct ErrorRecord {
    OString text;
    TInt code = ENoError;
};

ErrorRecord& record()
{
    thread_local ErrorRecord theRecord;
    return theRecord;
}

// The names that open the texts, indexed by code.
const char* const KNames[] = {
    nullptr,
    "NullPointerException",
    "IndexOutOfBoundsException",
    "DivisionByZeroException",
    "DataFormatException: ",
    "RangeException",
    "InvalidArgumentException",
    "IOException",
    "MathException",
    "AssertionFailedException",
    "VMException",
    nullptr,
    nullptr,
    "UnsupportedFeatureException",
};

const char* nameForCode(TInt aCode)
{
    const TInt count = static_cast<TInt>(sizeof(KNames) / sizeof(KNames[0]));
    return aCode >= 0 && aCode < count ? KNames[aCode] : nullptr;
}

}

namespace ErrorHandling {

OString errorName(TInt aCode)
{
    if (const char* name = nameForCode(aCode))
        return OString(name);
    return OString("UnknownException (CODE:") + OString(aCode) + OString(")");
}

void raise(TInt aCode, const OString& aMessage)
{
    OString text = errorName(aCode);
    if (aMessage.length() > 0)
        text = text + OString(": ") + aMessage;
    ErrorRecord& r = record();
    r.text = text;
    r.code = aCode;
    throw ErrorHandlingException();
}

void raise(TInt aCode, const char* aMessage)
{
    raise(aCode, OString(aMessage));
}

void raise(TInt aCode)
{
    raise(aCode, OString());
}

TInt currentErrorCode()
{
    return record().code;
}

OString currentErrorText()
{
    return record().text;
}

PreservedError::PreservedError()
    : iCode(record().code), iText(new OString(record().text))
{
}

PreservedError::~PreservedError()
{
    ErrorRecord& r = record();
    r.code = iCode;
    r.text = *iText;
    delete iText;
}

void clearError()
{
    ErrorRecord& r = record();
    r.text = OString();
    r.code = ENoError;
}

}
