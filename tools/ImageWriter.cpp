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

    // A value of width 1, 2 or 4; fails when it does not fit.
    void value(TUint32 aValue, TUint8 aWidth, const char* aWhat)
    {
        if (aWidth != 1 && aWidth != 2 && aWidth != 4) {
            fail(std::string("width of ") + aWhat + " must be 1, 2 or 4");
            return;
        }
        if (aWidth < 4 && aValue >= (1u << (8 * aWidth))) {
            fail(std::string(aWhat) + " " + std::to_string(aValue) + " does not fit in "
                 + std::to_string(aWidth) + " byte(s)");
            return;
        }
        for (int i = 0; i < aWidth; ++i)
            iOut.push_back(static_cast<TUint8>(aValue >> (8 * i)));
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

TUint8 widest(const std::vector<TUint32>& aValues)
{
    TUint32 highest = 0;
    for (TUint32 v : aValues)
        highest = std::max(highest, v);
    return widthFor(highest);
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

void chooseSmallestWidths(Image& aImage)
{
    std::vector<TUint32> values[EWidthCount];
    for (const StaticMethod& m : aImage.staticMethods) {
        values[ECodeAddressWidth].push_back(m.codeAddress);
        values[EMethodIndexWidth].push_back(m.methodRecord);
    }
    for (const VirtualMethod& m : aImage.virtualMethods) {
        values[EImplementationCountWidth].push_back(static_cast<TUint32>(m.implementations.size()));
        for (const Implementation& i : m.implementations) {
            values[EClassIndexWidth].push_back(i.classIndex);
            values[ECodeAddressWidth].push_back(i.codeAddress);
            values[EMethodIndexWidth].push_back(i.methodRecord);
        }
    }
    for (ClassRecord& c : aImage.classes) {
        values[ESuperFlagWidth].push_back(c.superFlag);
        if (c.superFlag != 0)
            values[EClassIndexWidth].push_back(c.superClass);
        values[EInterfaceCountWidth].push_back(static_cast<TUint32>(c.interfaces.size()));
        values[EClassIndexWidth].insert(values[EClassIndexWidth].end(), c.interfaces.begin(), c.interfaces.end());
        std::vector<TUint32> slots = c.referenceFields;
        for (const FlaggedSlot& s : c.vectorFields)
            slots.push_back(s.index);
        c.slotWidth = widest(slots);
    }
    for (MethodRecord& r : aImage.methodRecords) {
        values[EFrameCountWidth1].push_back(r.sizeCount1);
        values[EFrameCountWidth2].push_back(r.sizeCount2);
        values[EFrameCountWidth3].push_back(r.sizeCount3);
        std::vector<TUint32> slots = r.possibleReferenceSlots;
        slots.insert(slots.end(), r.referenceSlots.begin(), r.referenceSlots.end());
        for (const FlaggedSlot& s : r.indirectVectorSlots)
            slots.push_back(s.index);
        for (const FlaggedSlot& s : r.vectorSlots)
            slots.push_back(s.index);
        r.slotWidth = widest(slots);
    }
    for (int i = 0; i < EWidthCount; ++i)
        aImage.widths[i] = widest(values[i]);
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
