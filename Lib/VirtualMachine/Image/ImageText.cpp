#include "ImageText.h"

namespace ImageText {

Vec<TUint16> decode(const ImageFormat::Bytes& aBytes)
{
    const TInt length = static_cast<TInt>(aBytes.size());
    Vec<TUint16> units(length);
    TInt i = 0;
    while (i < length) {
        const TUint8 lead = aBytes[i++];
        if (lead < 0x80) {
            units.append(lead);
            continue;
        }
        TInt following;
        TUint32 value;
        if (lead < 0xE0) {
            following = 1;
            value = lead & 0x1F;
        } else if (lead < 0xF0) {
            following = 2;
            value = lead & 0x0F;
        } else {
            following = 3;
            value = 0;
        }
        for (TInt k = 0; k < following; ++k) {
            const TUint8 next = i < length ? aBytes[i++] : 0;
            value = (value << 6) | (next & 0x3F);
        }
        units.append(static_cast<TUint16>(value));
    }
    return units;
}

}
