#ifndef KELVO_SYMBOLFILE_H
#define KELVO_SYMBOLFILE_H

#include <optional>
#include <string>
#include <vector>

#include "ImageFormat.h"
#include "Types.h"

// The symbols of an image: the names that the assembler knew (methods,
// labels, classes) and the source line of every code position, kept in a
// text file beside the image (game.mcb, game.sym) so that the image format
// stays as the device reads it. The file is tied to the exact bytes of its
// image; the format is described in docs/assembly.md.
//
// A symbol file is untrusted input like an image: read() takes all of it or
// nothing, so no tool ever works from half a file or from the symbols of
// an image since rebuilt.
namespace SymbolFile {

// Code positions are code indices of the image, as its operands count them.
struct Name {
    TUint32 at;   // a code position, or a class's index in the image
    std::string name;
};

// Code positions [address, address + size) come from one line of a file.
struct LineRange {
    TUint32 address;
    TUint32 size;
    TUint32 file;   // index into Symbols::files
    TUint32 line;   // from 1
};

struct Symbols {
    // What ties the symbols to their image.
    TUint32 imageSize = 0;
    TUint32 imageChecksum = 0;
    std::vector<Name> methods;   // by address, one name per address
    std::vector<Name> labels;    // by address; several may share one
    std::vector<Name> classes;   // by index, one name per index
    std::vector<std::string> files;
    std::vector<LineRange> lines;   // by address, none overlapping

    // The method that starts at aAddress, or nullptr.
    const std::string* methodAt(TUint32 aAddress) const;
    // The name of the image's class aIndex, or nullptr.
    const std::string* className(TUint32 aIndex) const;
    // The line that position aAddress was assembled from, or nullptr.
    const LineRange* lineAt(TUint32 aAddress) const;
    // "FILE:LINE" for aAddress, the file by its name without directories,
    // as a one-line report wants it; empty when the position has no line.
    std::string placeOf(TUint32 aAddress) const;
};

// CRC-32 (as zlib and PNG compute it) of aBytes.
TUint32 checksum(const ImageFormat::Bytes& aBytes);

// The symbol file of an image: its path with .sym in place of .mcb, or
// with .sym appended when the path does not end in .mcb.
std::string pathBeside(const std::string& aImagePath);

// The text of aSymbols. A name or file that the format cannot hold (one
// with white space or a control character) is left out; a file name keeps
// its place with such characters written as '?'.
std::string write(const Symbols& aSymbols);

// Reads aText as the symbols of the image aImage: false with aReason, and
// aSymbols untouched, for anything malformed, truncated or tied to other
// image bytes.
bool read(const std::string& aText, const ImageFormat::Bytes& aImage, Symbols& aSymbols, std::string& aReason);

// The symbols beside the image at aImagePath, whose bytes are aImage:
// nothing when there is no symbol file; nothing either, after one line
// "TOOL: ignoring FILE: reason" on the standard error stream, when the
// file cannot be read or is refused.
std::optional<Symbols> readBeside(const char* aTool, const std::string& aImagePath,
                                  const ImageFormat::Bytes& aImage);

}

#endif
