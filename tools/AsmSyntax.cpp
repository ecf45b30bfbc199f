#include "AsmSyntax.h"

#include <cstdio>

using namespace ImageFormat;

namespace AsmSyntax {

namespace {

const char* const KWidthNames[EWidthCount] = {
    "codeaddress", "methodindex", "classindex", "superflag", "interfacecount",
    "framecount1", "framecount2", "framecount3", "implementationcount",
};

TBool isContinuation(TUint8 aByte)
{
    return (aByte & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 sequence at aAt that encodes a character
// of two or more bytes, or 0. Overlong forms, surrogates and values beyond
// U+10FFFF are not well-formed.
std::size_t sequenceLength(const Bytes& aBytes, std::size_t aAt, TUint32& aCode)
{
    const TUint8 lead = aBytes[aAt];
    std::size_t length;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    else
        return 0;
    if (aAt + length > aBytes.size())
        return 0;
    aCode = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if (!isContinuation(aBytes[aAt + i]))
            return 0;
        aCode = (aCode << 6) | (aBytes[aAt + i] & 0x3F);
    }
    const TUint32 smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (aCode < smallest[length] || aCode > 0x10FFFF || (aCode >= 0xD800 && aCode <= 0xDFFF))
        return 0;
    return length;
}

std::string hexByte(TUint8 aByte)
{
    char text[8];
    std::snprintf(text, sizeof text, "\\x%02X", aByte);
    return text;
}

}

const char* widthName(TInt aWidth)
{
    return KWidthNames[aWidth];
}

TInt findWidth(const std::string& aName)
{
    for (TInt i = 0; i < EWidthCount; ++i) {
        if (aName == KWidthNames[i])
            return i;
    }
    return -1;
}

std::string quote(const Bytes& aBytes)
{
    std::string result = "\"";
    std::size_t at = 0;
    while (at < aBytes.size()) {
        const TUint8 b = aBytes[at];
        TUint32 code = 0;
        std::size_t length = 0;
        if (b == '"' || b == '\\') {
            result += '\\';
            result += static_cast<char>(b);
        } else if (b == '\n') {
            result += "\\n";
        } else if (b == '\t') {
            result += "\\t";
        } else if (b >= 0x20 && b < 0x7F) {
            result += static_cast<char>(b);
        } else if ((length = sequenceLength(aBytes, at, code)) > 0) {
            if (code < 0xA0) {
                char text[16];
                std::snprintf(text, sizeof text, "\\u{%X}", static_cast<unsigned>(code));
                result += text;
            } else {
                result.append(aBytes.begin() + at, aBytes.begin() + at + length);
            }
            at += length;
            continue;
        } else {
            result += hexByte(b);
        }
        ++at;
    }
    return result + "\"";
}

}
