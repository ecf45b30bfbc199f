#ifndef KELVO_FILEUTILITY_H
#define KELVO_FILEUTILITY_H

#include "CAppsString.h"
#include "Types.h"

// Paths handed to the file helpers: absolute, native, 16-bit units.
typedef CAppsString Str16;

// Path and directory helpers shared by the file streams and the host's file
// services. Every helper converts separators before asking the platform, so
// callers may pass either separator.
class FileUtility {
public:
    // The path with every separator turned into the platform's own.
    static Str16 convertSeparators(const Str16& aPath);

    static TBool isRelative(const Str16& aPath);

    // The directory part of the path ("/" for a file at the root).
    static Str16 parentDirectory(const Str16& aPath);

    // False for an empty or relative path.
    static TBool directoryExists(const Str16& aPath);

    // Creates the directory and every missing parent; false for an empty or
    // relative path or when the platform refuses.
    static TBool makePath(const Str16& aPath);
};

#endif
