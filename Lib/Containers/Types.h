#ifndef KELVO_TYPES_H
#define KELVO_TYPES_H

#include <cstdint>

// The basic types of the runtime. Fixed widths matter: the bytecode image,
// the operand stack and the heap all speak in 8, 16, 32 and 64-bit words.
typedef std::int32_t TInt;
typedef std::int8_t TInt8;
typedef std::int16_t TInt16;
typedef std::int32_t TInt32;
typedef std::int64_t TInt64;
typedef std::uint8_t TUint8;
typedef std::uint16_t TUint16;
typedef std::uint32_t TUint32;
typedef std::uint64_t TUint64;
typedef bool TBool;
typedef double TReal;

const TBool ETrue = true;
const TBool EFalse = false;

#endif
