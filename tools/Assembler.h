#ifndef KELVO_ASSEMBLER_H
#define KELVO_ASSEMBLER_H

#include <string>
#include <vector>

#include "ImageFormat.h"

// Turns assembly text (docs/assembly.md) into a bytecode image.
namespace Assembler {

// The line of text that a stretch of the code was assembled from, so that
// what reports a code position (a symbol file, a check of the stack) can
// name the line instead.
struct SourceLine {
    std::size_t address;   // the stretch's first code index
    std::size_t size;      // its bytes: one instruction, or one line of .bytes
    TInt file;             // index into Assembly::files
    TInt line;             // from 1
};

struct Label {
    std::string name;
    std::size_t address;   // the code index it names
};

struct Assembly {
    ImageFormat::Image image;
    // The file's bytes. They differ from the image written out only where
    // the text forces header bytes the image model cannot express (identity
    // length, magic) or cuts the file short.
    ImageFormat::Bytes bytes;
    // The files read: the one given first, then each included one as its
    // including file's directory and the included path make it.
    std::vector<std::string> files;
    // Every stretch of code in address order; together they cover the code.
    std::vector<SourceLine> lines;
    // Every label in the order of the text, so that what reports a method
    // can call it by the first label of its entry.
    std::vector<Label> labels;
    // The name of each class, by its index in the image.
    std::vector<std::string> classNames;
};

// The line that code index aAddress was assembled from, or nullptr beyond
// the code.
const SourceLine* sourceLineAt(const Assembly& aAssembly, std::size_t aAddress);

// Assembles aSource, read from aFileName; .include reads files relative to
// the directory of the file that names them. On failure answers false with
// aError as "FILE:LINE: reason" for the first problem found.
bool assemble(const std::string& aSource, const std::string& aFileName, Assembly& aAssembly,
              std::string& aError);

}

#endif
