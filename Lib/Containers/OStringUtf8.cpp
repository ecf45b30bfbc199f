#include "OString.h"

#include "ErrorHandling.h"

namespace {

// One decoded sequence: its value and how many bytes it took.
struct TSequence {
    TUint32 iValue;
    TInt iLength;
};

// Reads the sequence at aBytes[aIndex] by the table of well-formed UTF-8:
// the lead byte fixes the length and narrows the second byte's range, which
// rules out overlong forms, surrogates (after 0xED) and values past
// 0x10FFFF. A sequence cut short by the end is as malformed as a bad byte.
TSequence decodeSequence(const TUint8* aBytes, TInt aIndex, TInt aCount)
{
    const TUint8 lead = aBytes[aIndex];
    if (lead < 0x80)
        return {lead, 1};
    TInt following;
    TUint32 value;
    TUint8 low = 0x80;
    TUint8 high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        following = 1;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        following = 2;
        value = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        following = 3;
        value = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        ErrorHandling::raise(EDataFormat);
    }
    if (following > aCount - aIndex - 1)
        ErrorHandling::raise(EDataFormat);
    for (TInt k = 1; k <= following; ++k) {
        const TUint8 next = aBytes[aIndex + k];
        if (next < low || next > high)
            ErrorHandling::raise(EDataFormat);
        value = (value << 6) | (next & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    return {value, following + 1};
}

}

Vec<TUint8> OString::toUtf8() const
{
    Vec<TUint8> bytes;
    bytes.reserve(length());
    for (TInt i = 0; i < length(); ++i) {
        const TUint16 unit = pBuffer->iData[i];
        if (unit < 0x80) {
            bytes.append(static_cast<TUint8>(unit));
        } else if (unit < 0x800) {
            bytes.append(static_cast<TUint8>(0xC0 | unit >> 6));
            bytes.append(static_cast<TUint8>(0x80 | (unit & 0x3F)));
        } else {
            bytes.append(static_cast<TUint8>(0xE0 | unit >> 12));
            bytes.append(static_cast<TUint8>(0x80 | ((unit >> 6) & 0x3F)));
            bytes.append(static_cast<TUint8>(0x80 | (unit & 0x3F)));
        }
    }
    return bytes;
}

OString OString::fromUtf8(const TUint8* aBytes, TInt aCount)
{
    if (aCount < 0)
        ErrorHandling::raise(EInvalidArgument);
    Vec<TUint16> units(aCount);
    TInt i = 0;
    while (i < aCount) {
        const TSequence sequence = decodeSequence(aBytes, i, aCount);
        units.append(static_cast<TUint16>(sequence.iValue));
        i += sequence.iLength;
    }
    return OString(units.data(), 0, units.count() - 1);
}

OString OString::fromUtf8(const Vec<TUint8>& aBytes)
{
    return fromUtf8(aBytes.data(), aBytes.count());
}
