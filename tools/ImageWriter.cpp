#include "ImageWriter.h"

#include <algorithm>

using namespace ImageFormat;

namespace ImageWriter {

namespace {

class Output {
public:
    Output(Bytes& aOut, std::string& aError) : iOut(aOut), iError(aError) {}

    void byte(TUint8 aValue) { iOut.push_back(aValue); }

    void count(std::size_t aCount) { word(static_cast<TUint32>(aCount)); }

    void word(TUint32 aValue)
    {
        for (int i = 0; i < 4; ++i)
            iOut.push_back(static_cast<TUint8>(aValue >> (8 * i)));
    }

    // A value of aWidth bytes; fails when it does not fit.
    void value(TUint32 aValue, TUint8 aWidth, const char* aWhat)
    {
        if (!fits(aValue, aWidth)) {
            fail(std::string(aWhat) + " " + std::to_string(aValue) + " does not fit in "
                 + std::to_string(aWidth) + " byte(s)");
            return;
        }
        for (int i = 0; i < aWidth; ++i)
            iOut.push_back(i < 4 ? static_cast<TUint8>(aValue >> (8 * i)) : 0);
    }

    void string(const Bytes& aText)
    {
        count(aText.size());
        iOut.insert(iOut.end(), aText.begin(), aText.end());
    }

    void flaggedSlots(const std::vector<FlaggedSlot>& aSlots, TUint8 aWidth, const char* aWhat)
    {
        count(aSlots.size());
        for (const FlaggedSlot& s : aSlots) {
            byte(s.flag);
            value(s.index, aWidth, aWhat);
        }
    }

    void slots(const std::vector<TUint32>& aSlots, TUint8 aWidth, const char* aWhat)
    {
        count(aSlots.size());
        for (TUint32 s : aSlots)
            value(s, aWidth, aWhat);
    }

    bool ok() const { return iError.empty(); }

private:
    void fail(const std::string& aMessage)
    {
        if (iError.empty())
            iError = aMessage;
    }

    Bytes& iOut;
    std::string& iError;
};

void writeClass(Output& aOut, const Image& aImage, const ClassRecord& aClass)
{
    const TUint8* w = aImage.widths;
    aOut.byte(aClass.slotWidth);
    aOut.slots(aClass.referenceFields, aClass.slotWidth, "reference field");
    aOut.flaggedSlots(aClass.vectorFields, aClass.slotWidth, "vector field");
    aOut.value(aClass.superFlag, w[ESuperFlagWidth], "super-class flag");
    if (aClass.superFlag != 0)
        aOut.value(aClass.superClass, w[EClassIndexWidth], "super-class index");
    aOut.value(static_cast<TUint32>(aClass.interfaces.size()), w[EInterfaceCountWidth], "interface count");
    for (TUint32 i : aClass.interfaces)
        aOut.value(i, w[EClassIndexWidth], "interface class index");
}

void writeMethodRecord(Output& aOut, const Image& aImage, const MethodRecord& aRecord)
{
    const TUint8* w = aImage.widths;
    aOut.byte(aRecord.slotWidth);
    aOut.value(aRecord.sizeCount1, w[EFrameCountWidth1], "size count 1");
    aOut.slots(aRecord.possibleReferenceSlots, aRecord.slotWidth, "possible-reference slot");
    aOut.flaggedSlots(aRecord.indirectVectorSlots, aRecord.slotWidth, "indirect vector slot");
    aOut.value(aRecord.sizeCount2, w[EFrameCountWidth2], "size count 2");
    aOut.value(aRecord.sizeCount3, w[EFrameCountWidth3], "size count 3");
    aOut.slots(aRecord.referenceSlots, aRecord.slotWidth, "reference slot");
    aOut.flaggedSlots(aRecord.vectorSlots, aRecord.slotWidth, "vector slot");
}

TUint32 largest(const std::vector<TUint32>& aValues)
{
    TUint32 highest = 0;
    for (TUint32 v : aValues)
        highest = std::max(highest, v);
    return highest;
}

TUint32 largestFlagged(const std::vector<FlaggedSlot>& aSlots)
{
    TUint32 highest = 0;
    for (const FlaggedSlot& s : aSlots)
        highest = std::max(highest, s.index);
    return highest;
}

}

TUint8 widthFor(TUint32 aValue)
{
    if (aValue <= 0xFF)
        return 1;
    if (aValue <= 0xFFFF)
        return 2;
    return 4;
}

bool fits(TUint32 aValue, TUint8 aWidth)
{
    return aWidth >= 4 || aValue < (1u << (8 * aWidth));
}

TUint32 largestSlot(const ClassRecord& aClass)
{
    return std::max(largest(aClass.referenceFields), largestFlagged(aClass.vectorFields));
}

TUint32 largestSlot(const MethodRecord& aRecord)
{
    return std::max({largest(aRecord.possibleReferenceSlots), largest(aRecord.referenceSlots),
                     largestFlagged(aRecord.indirectVectorSlots), largestFlagged(aRecord.vectorSlots)});
}

void largestValues(const Image& aImage, TUint32 aLargest[EWidthCount])
{
    std::fill(aLargest, aLargest + EWidthCount, 0);
    auto note = [aLargest](EWidth aWidth, TUint32 aValue) { aLargest[aWidth] = std::max(aLargest[aWidth], aValue); };
    for (const StaticMethod& m : aImage.staticMethods) {
        note(ECodeAddressWidth, m.codeAddress);
        note(EMethodIndexWidth, m.methodRecord);
    }
    for (const VirtualMethod& m : aImage.virtualMethods) {
        note(EImplementationCountWidth, static_cast<TUint32>(m.implementations.size()));
        for (const Implementation& i : m.implementations) {
            note(EClassIndexWidth, i.classIndex);
            note(ECodeAddressWidth, i.codeAddress);
            note(EMethodIndexWidth, i.methodRecord);
        }
    }
    for (const ClassRecord& c : aImage.classes) {
        note(ESuperFlagWidth, c.superFlag);
        if (c.superFlag != 0)
            note(EClassIndexWidth, c.superClass);
        note(EInterfaceCountWidth, static_cast<TUint32>(c.interfaces.size()));
        note(EClassIndexWidth, largest(c.interfaces));
    }
    for (const MethodRecord& r : aImage.methodRecords) {
        note(EFrameCountWidth1, r.sizeCount1);
        note(EFrameCountWidth2, r.sizeCount2);
        note(EFrameCountWidth3, r.sizeCount3);
    }
}

void chooseSmallestWidths(Image& aImage)
{
    TUint32 highest[EWidthCount];
    largestValues(aImage, highest);
    for (int i = 0; i < EWidthCount; ++i)
        aImage.widths[i] = widthFor(highest[i]);
    for (ClassRecord& c : aImage.classes)
        c.slotWidth = widthFor(largestSlot(c));
    for (MethodRecord& r : aImage.methodRecords)
        r.slotWidth = widthFor(largestSlot(r));
}

bool write(const Image& aImage, Bytes& aOut, std::string& aError)
{
    aError.clear();
    Output out(aOut, aError);
    const TUint8* w = aImage.widths;

    out.byte(KIdentityLength);
    for (TUint8 b : aImage.identity)
        out.byte(b);
    out.byte(KMagicByte);
    out.byte(KMagicByte);
    for (int i = 0; i < EWidthCount; ++i)
        out.byte(w[i]);

    out.count(aImage.staticMethods.size());
    for (const StaticMethod& m : aImage.staticMethods) {
        out.string(m.name);
        out.value(m.codeAddress, w[ECodeAddressWidth], "code address");
        out.value(m.methodRecord, w[EMethodIndexWidth], "method record index");
    }

    out.count(aImage.virtualMethods.size());
    for (const VirtualMethod& m : aImage.virtualMethods) {
        out.string(m.name);
        out.value(static_cast<TUint32>(m.implementations.size()), w[EImplementationCountWidth],
                  "implementation count");
        for (const Implementation& i : m.implementations) {
            out.value(i.classIndex, w[EClassIndexWidth], "class index");
            out.value(i.codeAddress, w[ECodeAddressWidth], "code address");
            out.value(i.methodRecord, w[EMethodIndexWidth], "method record index");
        }
    }

    out.count(aImage.classes.size());
    for (const ClassRecord& c : aImage.classes)
        writeClass(out, aImage, c);

    out.count(aImage.methodRecords.size());
    for (const MethodRecord& r : aImage.methodRecords)
        writeMethodRecord(out, aImage, r);

    out.count(aImage.strings.size());
    for (const Bytes& s : aImage.strings)
        out.string(s);

    aOut.insert(aOut.end(), aImage.code.begin(), aImage.code.end());
    return out.ok();
}

}
