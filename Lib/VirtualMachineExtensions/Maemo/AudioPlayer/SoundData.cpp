#include "SoundData.h"

#include <memory>
#include <new>

#include "ErrorHandling.h"
#include "FrameworkServices.h"
#include "OString.h"
#include "OVector.h"
#include "Stream.h"

namespace SoundData {

namespace {

// Closes the stream on every way out; the host hands over ownership.
struct ClosingStream {
    explicit ClosingStream(VESTRA::InputStream* aStream) : iStream(aStream) {}
    ~ClosingStream()
    {
        if (iStream)
            iStream->close();
    }
    std::unique_ptr<VESTRA::InputStream> iStream;
};

}

std::vector<TUint8> fromFile(FrameworkServices* aServices, const OString& aPath)
{
    ClosingStream file(aServices ? aServices->openInputStream(aPath) : nullptr);
    // The host answers a missing file with a stream that did not open.
    if (!file.iStream || !file.iStream->isOpen())
        ErrorHandling::raise(EInputOutput, OString("Could not open file: ") + aPath);
    const TInt size = file.iStream->size();
    if (size == 0)
        ErrorHandling::raise(EInvalidArgument, "File is empty");
    if (size < 0)
        ErrorHandling::raise(EInputOutput);
    std::vector<TUint8> bytes;
    try {
        bytes.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        ErrorHandling::raise(EInputOutput, "File too large");
    }
    if (!file.iStream->read(bytes.data(), size))
        ErrorHandling::raise(EInputOutput);
    return bytes;
}

std::vector<TUint8> fromVector(VMHeap& aHeap, TUint32 aVector)
{
    OByteVector vector(aHeap, aVector);
    const TInt count = vector.count();
    if (count <= 0)
        ErrorHandling::raise(EIndexOutOfBounds, "");
    const TUint8* elements = vector.elements();
    return std::vector<TUint8>(elements, elements + count);
}

}
