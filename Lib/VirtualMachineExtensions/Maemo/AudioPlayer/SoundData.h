#ifndef KELVO_SOUNDDATA_H
#define KELVO_SOUNDDATA_H

#include <vector>

#include "Types.h"

class FrameworkServices;
class OString;
class VMHeap;

// Where a player's bytes come from. Both copy: the player owns its sound
// whatever happens to the file or the vector afterwards.
namespace SoundData {

// The whole file, read through the host so that the path stays inside the
// application's directory. A file that cannot be opened or read raises
// IOException, an empty one InvalidArgumentException.
std::vector<TUint8> fromFile(FrameworkServices* aServices, const OString& aPath);

// The elements of the byte vector aVector; an empty one raises
// IndexOutOfBoundsException.
std::vector<TUint8> fromVector(VMHeap& aHeap, TUint32 aVector);

}

#endif
