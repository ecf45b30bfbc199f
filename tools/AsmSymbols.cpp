// The symbols of an assembly, read off its image, its labels and its lines.

#include "AsmSymbols.h"

#include <map>
#include <set>

#include "Opcodes.h"

using namespace ImageFormat;

namespace AsmSymbols {

namespace {

// Every place a method starts: entries of the tables and targets of call.
// The code is walked by the operation table's sizes, as the loader walks
// it; a cut-off last instruction names nothing.
std::set<TUint32> methodStarts(const Image& aImage)
{
    std::set<TUint32> starts;
    for (const StaticMethod& m : aImage.staticMethods)
        starts.insert(m.codeAddress);
    for (const VirtualMethod& m : aImage.virtualMethods) {
        for (const Implementation& i : m.implementations)
            starts.insert(i.codeAddress);
    }
    const Bytes& code = aImage.code;
    for (std::size_t at = 0; at < code.size(); at += Opcodes::size(code[at])) {
        const Opcodes::OpcodeInfo& info = Opcodes::info(code[at]);
        if (at + info.size > code.size())
            break;
        for (TInt k = 0; k < info.operandCount; ++k) {
            if (info.operands[k] == Opcodes::ECodeAddress)
                starts.insert(static_cast<TUint32>(Opcodes::operandValue(&code[at], k)));
        }
    }
    return starts;
}

}

SymbolFile::Symbols of(const Assembler::Assembly& aAssembly)
{
    SymbolFile::Symbols symbols;
    const std::size_t imageSize = aAssembly.bytes.size();
    symbols.imageSize = static_cast<TUint32>(imageSize);
    symbols.imageChecksum = SymbolFile::checksum(aAssembly.bytes);

    std::multimap<std::size_t, std::string> labels;
    std::map<std::size_t, std::string> firstLabels;
    for (const Assembler::Label& label : aAssembly.labels) {
        if (label.address > imageSize)
            continue;
        labels.emplace(label.address, label.name);
        firstLabels.emplace(label.address, label.name);
    }
    for (const auto& [at, name] : labels)
        symbols.labels.push_back(SymbolFile::Name {static_cast<TUint32>(at), name});
    for (TUint32 start : methodStarts(aAssembly.image)) {
        const auto label = firstLabels.find(start);
        if (label != firstLabels.end() && start < aAssembly.image.code.size())
            symbols.methods.push_back(SymbolFile::Name {start, label->second});
    }
    for (std::size_t i = 0; i < aAssembly.classNames.size() && i <= imageSize; ++i) {
        if (!aAssembly.classNames[i].empty())
            symbols.classes.push_back(SymbolFile::Name {static_cast<TUint32>(i), aAssembly.classNames[i]});
    }

    symbols.files = aAssembly.files;
    // The code positions of one line are one range, whatever the line
    // holds.
    for (const Assembler::SourceLine& line : aAssembly.lines) {
        if (line.size == 0 || line.address + line.size > imageSize)
            continue;
        const SymbolFile::LineRange range {static_cast<TUint32>(line.address), static_cast<TUint32>(line.size),
                                           static_cast<TUint32>(line.file), static_cast<TUint32>(line.line)};
        if (!symbols.lines.empty()) {
            SymbolFile::LineRange& last = symbols.lines.back();
            if (last.file == range.file && last.line == range.line && last.address + last.size == range.address) {
                last.size += range.size;
                continue;
            }
        }
        symbols.lines.push_back(range);
    }
    return symbols;
}

}
