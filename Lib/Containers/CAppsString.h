#ifndef KELVO_CAPPSSTRING_H
#define KELVO_CAPPSSTRING_H

#include "Types.h"
#include "Vec.h"

#include <QString>

// The plain 16-bit string of host, file and path code. The units are the
// elements of the vector and the count is the length: copies are eager and
// nothing is shared, which keeps it simple for code that never hands text
// to the application. Case and whitespace are decided per unit by
// CharClass, as for every other string of the runtime.
//
// Unlike OString, an empty text is a prefix and a suffix of everything,
// which is what path code expects.
class CAppsString : public Vec<TUint16> {
public:
    CAppsString() = default;
    // Zero-terminated 8-bit text; each byte becomes one unit (Latin-1).
    CAppsString(const char* aText);
    CAppsString(const char* aText, TInt aLength);
    CAppsString(const TUint16* aUnits, TInt aLength);
    explicit CAppsString(const QString& aText);

    static CAppsString fromInt(TInt aValue);
    static CAppsString fromInt64(TInt64 aValue);
    static CAppsString join(const Vec<CAppsString>& aParts, const CAppsString& aSeparator);

    TInt length() const { return count(); }
    QString toQString() const;
    // Each unit cut to its low byte, followed by a terminating 0 that the
    // count includes.
    Vec<char> narrow() const;

    // First match lying wholly within aCount units from aStart (to the end
    // when aCount < 0), or -1. An empty aSub or receiver answers -1 before
    // the window is checked; a window outside the text raises code 2.
    TInt find(const CAppsString& aSub, TInt aStart = 0, TInt aCount = -1,
              TBool aCaseSensitive = ETrue) const;
    // The backward twin: last match lying wholly within the aCount units
    // that end at unit aLast (from the start when aCount < 0); aLast may be
    // -1 for an empty window.
    TInt findBackward(const CAppsString& aSub, TInt aLast, TInt aCount = -1,
                      TBool aCaseSensitive = ETrue) const;
    TBool startsWith(const CAppsString& aOther, TBool aCaseSensitive = ETrue) const;
    TBool endsWith(const CAppsString& aOther, TBool aCaseSensitive = ETrue) const;

    TBool equals(const CAppsString& aOther, TBool aCaseSensitive = ETrue) const;
    // Folds only A-Z; for protocol words and file suffixes, where locale
    // case rules must not apply.
    TBool equalsIgnoringAsciiCase(const CAppsString& aOther) const;
    TInt localeAwareCompare(const CAppsString& aOther) const;
    bool operator==(const CAppsString& aOther) const { return equals(aOther); }
    bool operator!=(const CAppsString& aOther) const { return !equals(aOther); }

    using Vec<TUint16>::append;
    void append(const CAppsString& aOther);
    // Inserts before unit aPosition; outside 0..length raises code 2.
    void insert(TInt aPosition, const CAppsString& aOther);
    // Becomes aTimes copies of aOther; aTimes < 0 raises code 6.
    void setRepeated(const CAppsString& aOther, TInt aTimes);
    void trim(TBool aLeading = ETrue, TBool aTrailing = ETrue);
    void toUpperCase();
    void toLowerCase();

    // Optional whitespace, an optional sign and at least one digit of the
    // radix, then optional whitespace. A radix outside 2..32, any other
    // text or a value that does not fit yields 0 with *aOk false.
    TInt toInt(TBool* aOk = nullptr, TInt aRadix = 10) const;
    TInt64 toInt64(TBool* aOk = nullptr, TInt aRadix = 10) const;

private:
    TBool matchesAt(TInt aPosition, const CAppsString& aSub, TBool aCaseSensitive) const;
    void assignUnits(const TUint16* aUnits, TInt aLength);
};

#endif
