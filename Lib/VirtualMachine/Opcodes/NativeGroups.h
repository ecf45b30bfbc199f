#ifndef KELVO_NATIVEGROUPS_H
#define KELVO_NATIVEGROUPS_H

// The group operand of instruction 78: which native family runs. Group 2
// was never given a family; every number outside 1..35 is refused.
enum TNativeGroup {
    EGroupByteVector = 1,
    EGroupWordVector = 3,
    EGroupDoubleWordVector = 4,
    EGroupTripleWordVector = 5,
    EGroupQuadWordVector = 6,
    EGroupReferenceVector = 7,
    EGroupString = 8,
    EGroupByte = 9,
    EGroupChar = 10,
    EGroupFixed = 11,
    EGroupLong = 12,
    EGroupColor = 13,
    EGroupRange = 14,
    EGroupSize = 15,
    EGroupPosition = 16,
    EGroupRectangle = 17,
    EGroupGraphics = 18,
    EGroupBitmap = 19,
    EGroupFont = 20,
    EGroupOutputStream = 21,
    EGroupFileWriter = 22,
    EGroupInputStream = 23,
    EGroupFileReader = 24,
    EGroupFileSystem = 25,
    EGroupMath = 26,
    EGroupNumber = 27,
    EGroupEncoder = 28,
    EGroupDateTime = 29,
    EGroupDebug = 30,
    EGroupScreen = 31,
    EGroupSystem = 32,
    EGroupTimer = 33,
    EGroupHash = 34,
    EGroupKeyEvent = 35,
    EGroupLimit
};

#endif
