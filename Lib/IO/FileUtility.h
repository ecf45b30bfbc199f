#ifndef KELVO_FILEUTILITY_H
#define KELVO_FILEUTILITY_H

#include "CAppsString.h"
#include "Types.h"
#include "Vec.h"

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

    // The path itself when it ends with a separator, else the path followed
    // by the platform's separator.
    static Str16 ensureTrailingSeparator(const Str16& aPath);

    // The directory part of the path ("/" for a file at the root).
    static Str16 parentDirectory(const Str16& aPath);

    // False for an empty or relative path.
    static TBool directoryExists(const Str16& aPath);

    // Creates the directory and every missing parent; false for an empty or
    // relative path or when the platform refuses.
    static TBool makePath(const Str16& aPath);

    // aPath below aBase with exactly one separator between them; a leading
    // separator of aPath does not make it absolute. Either may be empty.
    static Str16 join(const Str16& aBase, const Str16& aPath);

    // Whether the absolute aPath, once every symbolic link on it is
    // followed, lies in aDirectory or below it. Only the part of aPath that
    // exists can be followed: what is missing will be made below that
    // part. A link that leads nowhere cannot be followed and counts as
    // outside.
    static TBool staysBelow(const Str16& aPath, const Str16& aDirectory);

    // Relative paths are tested as they are; false for an empty path.
    static TBool fileExists(const Str16& aPath);
    static TBool removeFile(const Str16& aPath);

    // The names, not the paths, of the regular files or the subdirectories,
    // in the platform's order. Symbolic links and names that begin with a
    // dot are left out. The list is cleared first; false when the directory
    // cannot be listed.
    static TBool listFiles(const Str16& aPath, Vec<Str16>& aNames);
    static TBool listDirectories(const Str16& aPath, Vec<Str16>& aNames);

    // Removes what the listings show, then the directory itself, so a
    // directory holding hidden entries or links survives and answers false.
    static TBool removeDirectoryRecursively(const Str16& aPath);
    static TBool renameDirectory(const Str16& aSource, const Str16& aTarget);
    // Creates the target's missing parent directories first.
    static TBool moveFile(const Str16& aSource, const Str16& aTarget);
};

#endif
