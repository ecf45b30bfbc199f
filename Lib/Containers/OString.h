#ifndef KELVO_OSTRING_H
#define KELVO_OSTRING_H

// The project's headers come before Qt's: Qt pulls in <cerrno>, whose EIO
// macro would otherwise replace the error code of that name.
#include "GCObject.h"
#include "Types.h"
#include "Vec.h"

#include <QString>

#include <functional>

// OString is the string that the virtual machine hands to applications: a
// sequence of UTF-16 code units, each treated on its own (case mapping,
// whitespace and searches never pair surrogates).
//
// Sharing. The units live in an OStringBuffer that any number of OStrings
// may point to; the buffer counts them. Copying, assigning, and taking a
// substring that covers a whole string only attach the same buffer, so they
// cost nothing however long the text is. A null pBuffer is the empty
// string; a buffer holding no units is never attached, so "empty" always
// means "null" and every operation whose result is empty lets go of its
// buffer.
//
// Copy-on-write. An editing operation changes the buffer in place only
// when this string is its sole owner and the result fits the capacity (a
// deletion also needs the result to keep more than half of the capacity,
// so that strings that lost most of their text give the memory back).
// Otherwise it builds the result in a new buffer and moves to it; the other
// owners keep the old text. Appending to a full buffer that this string owns
// alone resizes that buffer instead, with the capacity a new one would get.
//
// Capacity. A buffer for n units has room for n * 1.2 units (at least 10),
// so short strings stay small and repeated appends reallocate rarely.
//
// Ranges are inclusive (start, end). The pair (0, -1) is the empty range:
// it makes an operation do nothing; any other range must lie within the
// string or the operation raises RangeException (code 5). Indexes outside
// the string raise IndexOutOfBoundsException (code 2). The string is
// unchanged when a check fails.

// The shared storage: iData holds iCapacity + 1 units, and the unit after
// the text is always 0 so that the units can be handed out zero-terminated.
// The units lie in the same block, right after this record.
struct OStringBuffer {
    TUint16* iData;
    TInt32 iRefCount;
    TInt32 iCapacity;
    TInt32 iLength;
};

class OString final : public GCObject {
public:
    OString();
    // Zero-terminated 8-bit text from aStart on, bytes taken as Latin-1. A
    // start outside the text gives the empty string.
    OString(const char* aText, TInt aStart = 0);
    // Zero-terminated 16-bit units from aStart on; same rules.
    OString(const TUint16* aUnits, TInt aStart = 0);
    // Units aStart..aEnd of an array (bytes as Latin-1); aStart > aEnd or
    // aStart < 0 gives the empty string.
    OString(const TUint8* aBytes, TInt aStart, TInt aEnd);
    OString(const TUint16* aUnits, TInt aStart, TInt aEnd);
    // Substrings. The whole source is shared, a part is copied.
    OString(const OString& aSource, TInt aStart, TInt aEnd);
    // From aFrom to the end; an aFrom outside the source gives the empty
    // string rather than an error.
    OString(const OString& aSource, TInt aFrom);
    // Every aStep-th unit of aStart..aEnd, starting with aStart.
    OString(const OString& aSource, TInt aStart, TInt aEnd, TInt aStep);
    // Decimal text.
    explicit OString(TInt aValue);
    explicit OString(TInt64 aValue);

    OString(const OString& aOther);
    OString(OString&& aOther) noexcept;
    ~OString() override;
    OString& operator=(const OString& aOther);
    OString& operator=(OString&& aOther) noexcept;

    // aCount copies of aUnit.
    static OString filled(TUint16 aUnit, TInt aCount);
    // aSource aCount times over; once shares its buffer.
    static OString repeated(const OString& aSource, TInt aCount);
    // Digits 0-9 then a-z; a radix outside 2..36 gives the empty string.
    static OString fromUnsigned(TUint32 aValue, TInt aRadix);

    // Each unit as one to three bytes, surrogates included one by one.
    Vec<TUint8> toUtf8() const;
    // Strict: anything but well-formed UTF-8 raises DataFormatException.
    // Code points above 0xFFFF keep only their low 16 bits.
    static OString fromUtf8(const TUint8* aBytes, TInt aCount);
    static OString fromUtf8(const Vec<TUint8>& aBytes);

    QString toQString() const;
    static OString fromQString(const QString& aText);

    TInt length() const { return pBuffer ? pBuffer->iLength : 0; }
    TBool isEmpty() const { return !pBuffer; }
    // Room in the buffer, 0 for the empty string.
    TInt capacity() const { return pBuffer ? pBuffer->iCapacity : 0; }
    TUint16 charAt(TInt aIndex) const;
    // The zero-terminated units, or nullptr when empty. Two strings that
    // share a buffer answer the same pointer.
    const TUint16* units() const { return pBuffer ? pBuffer->iData : nullptr; }

    // Searches answer a position or -1; an empty aSub is never found.
    TInt indexOf(const OString& aSub, TInt aStart, TInt aEnd, TBool aCaseSensitive = ETrue) const;
    TInt indexOf(const OString& aSub, TInt aFrom, TBool aCaseSensitive = ETrue) const;
    TInt indexOf(const OString& aSub, TBool aCaseSensitive = ETrue) const;
    TInt lastIndexOf(const OString& aSub, TInt aStart, TInt aEnd, TBool aCaseSensitive = ETrue) const;
    TInt lastIndexOf(const OString& aSub, TInt aFrom, TBool aCaseSensitive = ETrue) const;
    TInt lastIndexOf(const OString& aSub, TBool aCaseSensitive = ETrue) const;
    // Non-overlapping occurrences.
    TInt countOf(const OString& aSub, TInt aStart, TInt aEnd, TBool aCaseSensitive = ETrue) const;
    TInt countOf(const OString& aSub, TInt aFrom, TBool aCaseSensitive = ETrue) const;
    TInt countOf(const OString& aSub, TBool aCaseSensitive = ETrue) const;

    // The first differing unit (this minus other), else the length
    // difference.
    TInt compareTo(const OString& aOther, TBool aCaseSensitive = ETrue) const;
    // Units aFrom..end compared with aOther (aFrom 0 is compareTo).
    TInt compareTo(const OString& aOther, TInt aFrom, TBool aCaseSensitive = ETrue) const;
    TInt compareRange(const OString& aOther, TInt aStart, TInt aEnd, TBool aCaseSensitive = ETrue) const;
    TBool equals(const OString& aOther, TBool aCaseSensitive = ETrue) const;
    // Units aFrom..end equal aOther (aFrom 0 is equals).
    TBool equals(const OString& aOther, TInt aFrom, TBool aCaseSensitive = ETrue) const;
    // An empty aOther raises InvalidArgumentException.
    TBool regionEquals(const OString& aOther, TInt aStart, TInt aEnd, TBool aCaseSensitive = ETrue) const;
    // False for an empty aOther.
    TBool startsWith(const OString& aOther, TBool aCaseSensitive = ETrue) const;
    TBool endsWith(const OString& aOther, TBool aCaseSensitive = ETrue) const;

    // The unit occurring most often in the range, the earliest on a tie;
    // lower-cased when case is ignored.
    TUint16 mostFrequentChar(TInt aStart, TInt aEnd, TBool aCaseSensitive = ETrue) const;
    TUint16 mostFrequentChar(TInt aFrom, TBool aCaseSensitive = ETrue) const;
    TUint16 mostFrequentChar(TBool aCaseSensitive = ETrue) const;
    // The non-empty pieces between occurrences of aSeparator; nothing at
    // all when it does not occur.
    Vec<OString> split(const OString& aSeparator, TBool aCaseSensitive = ETrue) const;
    // How many pieces split gives, and then those pieces one at a time, for
    // callers that keep them elsewhere and would only copy a list.
    TInt pieceCount(const OString& aSeparator, TBool aCaseSensitive = ETrue) const;
    void splitInto(const OString& aSeparator, TBool aCaseSensitive,
                   const std::function<void(const OString& aPiece)>& aTake) const;

    // The value of one digit in aRadix, or -1.
    static TInt digitValue(TUint16 aUnit, TInt aRadix);
    // Leading whitespace, then digits of aRadix up to the first non-digit;
    // no sign, wraps silently in 32 bits.
    TInt parseInt(TInt aRadix) const;
    // Leading whitespace, then digits only. aOk is false when a non-digit
    // or an overflow stopped the parse; the value read up to there is
    // returned.
    TUint64 parseUnsigned64(TInt aRadix, TBool& aOk) const;
    // Leading whitespace, one optional sign, decimal digits up to the first
    // non-digit; wraps silently in 32 bits.
    TInt parseDecimal() const;

    void setCharAt(TInt aIndex, TUint16 aUnit);
    // Unlike elsewhere, the empty range is an error here.
    void removeRange(TInt aStart, TInt aEnd);
    void removeCharAt(TInt aIndex);
    void removeHead(TInt aCount);
    void removeTail(TInt aCount);
    void removeFirst(const OString& aSub, TInt aStart, TInt aEnd, TBool aCaseSensitive = ETrue);
    void removeFirst(const OString& aSub, TInt aFrom, TBool aCaseSensitive = ETrue);
    void removeFirst(const OString& aSub, TBool aCaseSensitive = ETrue);
    void removeLast(const OString& aSub, TInt aStart, TInt aEnd, TBool aCaseSensitive = ETrue);
    void removeLast(const OString& aSub, TInt aFrom, TBool aCaseSensitive = ETrue);
    void removeLast(const OString& aSub, TBool aCaseSensitive = ETrue);
    void removeAll(const OString& aSub, TInt aStart, TInt aEnd, TBool aCaseSensitive = ETrue);
    void removeAll(const OString& aSub, TInt aFrom, TBool aCaseSensitive = ETrue);
    void removeAll(const OString& aSub, TBool aCaseSensitive = ETrue);

    // An empty aReplacement removes the range (and then the empty range is
    // an error, as for removeRange).
    void replaceRange(TInt aStart, TInt aEnd, const OString& aReplacement);
    void replaceFirst(const OString& aSub, const OString& aReplacement, TInt aStart, TInt aEnd,
                      TBool aCaseSensitive = ETrue);
    void replaceFirst(const OString& aSub, const OString& aReplacement, TInt aFrom,
                      TBool aCaseSensitive = ETrue);
    void replaceFirst(const OString& aSub, const OString& aReplacement, TBool aCaseSensitive = ETrue);
    void replaceLast(const OString& aSub, const OString& aReplacement, TInt aStart, TInt aEnd,
                     TBool aCaseSensitive = ETrue);
    void replaceLast(const OString& aSub, const OString& aReplacement, TInt aFrom,
                     TBool aCaseSensitive = ETrue);
    void replaceLast(const OString& aSub, const OString& aReplacement, TBool aCaseSensitive = ETrue);
    void replaceAll(const OString& aSub, const OString& aReplacement, TInt aStart, TInt aEnd,
                    TBool aCaseSensitive = ETrue);
    void replaceAll(const OString& aSub, const OString& aReplacement, TInt aFrom,
                    TBool aCaseSensitive = ETrue);
    void replaceAll(const OString& aSub, const OString& aReplacement, TBool aCaseSensitive = ETrue);

    // Inserts units aStart..aEnd of aOther before unit aPosition (0 to
    // length; outside raises IndexOutOfBoundsException).
    void insertTo(TInt aPosition, const OString& aOther, TInt aStart, TInt aEnd);
    void insert(TInt aPosition, const OString& aOther, TInt aFrom = 0);
    void append(const OString& aOther);
    void append(TUint16 aUnit);
    void prepend(const OString& aOther);
    void repeat(TInt aCount);

    void toUpperCase();
    void toLowerCase();
    // Drops whitespace at both ends and shortens every inner run of
    // whitespace to its first unit.
    void trim();
    void trimStart();
    void trimEnd();

private:
    // A run of units that an edit replaces.
    struct TSpan {
        TInt iStart;
        TInt iCount;
    };

    static Vec<TSpan> oneSpan(TInt aStart, TInt aCount);
    static Vec<TSpan> spansAt(const Vec<TInt>& aPositions, TInt aCount);

    static OStringBuffer* newBuffer(TInt64 aLength);
    void attach(OStringBuffer* aBuffer);
    void release();
    void setUnits(const TUint16* aUnits, TInt aCount);
    TBool isUnshared() const { return pBuffer && pBuffer->iRefCount == 1; }
    void setLength(TInt aLength);
    // For a string that owns its buffer alone (not the source of aUnits).
    void growUnshared(TInt64 aLength);
    void appendUnshared(const TUint16* aUnits, TInt aCount);

    // False for the empty range, true for a valid one; raises otherwise.
    TBool checkRange(TInt aStart, TInt aEnd) const;
    void checkIndex(TInt aIndex) const;

    TBool matchesAt(TInt aPosition, const OString& aSub, TBool aCaseSensitive) const;
    void replaceFound(TInt aPosition, TInt aLength, const OString& aReplacement);
    Vec<TInt> findAll(const OString& aSub, TInt aStart, TInt aEnd, TBool aCaseSensitive) const;
    TInt forEachPiece(const OString& aSeparator, TBool aCaseSensitive,
                      const std::function<void(TInt aStart, TInt aEnd)>& aPiece) const;
    TInt skipSpaces() const;

    static void spliceForward(const TUint16* aSource, TInt aLength, TUint16* aTarget, const Vec<TSpan>& aSpans,
                              const TUint16* aInsert, TInt aInsertCount);
    static void spliceBackward(TUint16* aData, TInt aLength, TInt aNewLength, const Vec<TSpan>& aSpans,
                               const TUint16* aInsert, TInt aInsertCount);
    void splice(const Vec<TSpan>& aSpans, const OString& aInsert, TInt aInsertStart, TInt aInsertCount,
                TBool aDeletion);
    void mapUnits(TUint16 (*aMap)(TUint16));

    OStringBuffer* pBuffer = nullptr;
};

OString operator+(const OString& aLeft, const OString& aRight);
bool operator==(const OString& aLeft, const OString& aRight);
bool operator!=(const OString& aLeft, const OString& aRight);
bool operator<(const OString& aLeft, const OString& aRight);
bool operator<=(const OString& aLeft, const OString& aRight);
bool operator>(const OString& aLeft, const OString& aRight);
bool operator>=(const OString& aLeft, const OString& aRight);

#endif
