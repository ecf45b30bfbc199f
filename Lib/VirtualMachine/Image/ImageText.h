#ifndef KELVO_IMAGETEXT_H
#define KELVO_IMAGETEXT_H

#include "ImageFormat.h"
#include "Types.h"
#include "Vec.h"

// Names and string constants of an image are stored as UTF-8 bytes, but
// the compiler's decoder is more lenient than strict UTF-8 and images rely
// on it, so they are decoded here by that rule rather than by
// OString::fromUtf8, which rejects malformed text:
// - a byte below 0x80 is one unit;
// - any other lead below 0xE0 (0x80-0xBF included) takes one more byte;
// - a lead from 0xE0 to 0xEF takes two more bytes;
// - a lead from 0xF0 up takes three more bytes, and its own bits are
//   dropped (the low 16 bits of the remaining 18 are the unit).
// Continuation bytes contribute their low six bits whatever their top bits.
// A sequence cut off by the end of the text still yields its one unit, the
// missing bytes counting as zero bits; nothing beyond the text is read.
namespace ImageText {

Vec<TUint16> decode(const ImageFormat::Bytes& aBytes);

}

#endif
