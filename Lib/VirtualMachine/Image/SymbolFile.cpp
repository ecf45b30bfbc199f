// Writing and reading symbol files. The reader is strict in every field,
// so that whatever it accepts can be used without further checks: names
// are names the assembler accepts, numbers fit 32 bits, positions lie in
// the image, lines are ordered and do not overlap, and the file ends with
// its end line.

#include "SymbolFile.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>

namespace SymbolFile {

namespace {

const char KFormatLine[] = "kelvo-symbols 1";
const char KEndLine[] = "end";

// Far beyond the symbols of any program a person writes; a larger file is
// refused before it is read, so that a wrong file costs no memory.
const std::streamoff KLargestFile = 64 * 1024 * 1024;

// The sections in the order the file holds them.
enum ESection { EMethods, ELabels, EClasses, EFiles, ELines, EEnd };

struct Failure {
    std::string reason;
};

std::array<TUint32, 256> crcTable()
{
    std::array<TUint32, 256> table {};
    for (TUint32 n = 0; n < 256; ++n) {
        TUint32 c = n;
        for (TInt k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

// The assembler's names: a letter, '_' or '.', then those, digits and '$'.
bool isName(const std::string& aText)
{
    if (aText.empty())
        return false;
    for (std::size_t i = 0; i < aText.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(aText[i]);
        const bool start = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '.';
        if (!start && (i == 0 || !((c >= '0' && c <= '9') || c == '$')))
            return false;
    }
    return true;
}

bool isPrintable(unsigned char aChar)
{
    return aChar >= 0x20 && aChar != 0x7F;
}

std::string hex8(TUint32 aValue)
{
    char text[9];
    std::snprintf(text, sizeof text, "%08x", aValue);
    return text;
}

// Reads the lines of a symbol file, keeping count for the reasons it gives.
class Reader {
public:
    Reader(const std::string& aText, const ImageFormat::Bytes& aImage) : iText(aText), iImage(aImage) {}

    void run(Symbols& aSymbols);

private:
    bool nextLine(std::string& aLine);
    [[noreturn]] void fail(const std::string& aReason) const;
    std::vector<std::string> fields(const std::string& aLine) const;
    TUint32 number(const std::string& aField, const char* aWhat) const;
    TUint32 position(const std::string& aField, const char* aWhat) const;
    void header(Symbols& aSymbols);
    void record(const std::string& aLine, Symbols& aSymbols);
    void name(const std::vector<std::string>& aFields, std::vector<Name>& aNames, bool aShared);
    void file(const std::string& aLine, Symbols& aSymbols);
    void line(const std::vector<std::string>& aFields, Symbols& aSymbols);

    const std::string& iText;
    const ImageFormat::Bytes& iImage;
    std::size_t iAt = 0;
    TInt iLineNumber = 0;
    ESection iSection = EMethods;
    TUint32 iImageSize = 0;
};

bool Reader::nextLine(std::string& aLine)
{
    if (iAt >= iText.size())
        return false;
    const std::size_t end = iText.find('\n', iAt);
    const std::size_t stop = end == std::string::npos ? iText.size() : end;
    aLine.assign(iText, iAt, stop - iAt);
    iAt = end == std::string::npos ? iText.size() : end + 1;
    ++iLineNumber;
    return true;
}

void Reader::fail(const std::string& aReason) const
{
    throw Failure {iLineNumber ? "line " + std::to_string(iLineNumber) + ": " + aReason : aReason};
}

// Fields are separated by single spaces, so that nothing in a line goes
// unread.
std::vector<std::string> Reader::fields(const std::string& aLine) const
{
    std::vector<std::string> result;
    std::size_t from = 0;
    while (true) {
        const std::size_t space = aLine.find(' ', from);
        result.push_back(aLine.substr(from, space == std::string::npos ? std::string::npos : space - from));
        if (result.back().empty())
            fail("an empty field");
        if (space == std::string::npos)
            return result;
        from = space + 1;
    }
}

TUint32 Reader::number(const std::string& aField, const char* aWhat) const
{
    const bool digits = aField.find_first_not_of("0123456789") == std::string::npos;
    if (!digits || aField.size() > 10)
        fail(std::string("the ") + aWhat + " '" + aField + "' is not a number of 32 bits");
    const unsigned long long value = std::stoull(aField);
    if (value > std::numeric_limits<TUint32>::max())
        fail(std::string("the ") + aWhat + " '" + aField + "' is not a number of 32 bits");
    return static_cast<TUint32>(value);
}

// Code positions and class indices lie within the image's bytes.
TUint32 Reader::position(const std::string& aField, const char* aWhat) const
{
    const TUint32 value = number(aField, aWhat);
    if (value > iImageSize)
        fail(std::string("the ") + aWhat + " " + aField + " lies beyond the image");
    return value;
}

void Reader::header(Symbols& aSymbols)
{
    std::string text;
    if (!nextLine(text) || text != KFormatLine)
        fail(std::string("not a symbol file of this version (the first line is not '") + KFormatLine + "')");
    if (!nextLine(text))
        fail("cut off after the first line");
    const std::vector<std::string> f = fields(text);
    if (f.size() != 3 || f[0] != "image" || f[2].size() != 8
        || f[2].find_first_not_of("0123456789abcdef") != std::string::npos)
        fail("expected 'image BYTES CHECKSUM'");
    aSymbols.imageSize = number(f[1], "image size");
    aSymbols.imageChecksum = static_cast<TUint32>(std::stoul(f[2], nullptr, 16));
    if (aSymbols.imageSize != iImage.size() || aSymbols.imageChecksum != checksum(iImage))
        fail("made for other image bytes (" + f[1] + " bytes, checksum " + f[2] + "; the image has "
             + std::to_string(iImage.size()) + " bytes, checksum " + hex8(checksum(iImage)) + ")");
    iImageSize = aSymbols.imageSize;
}

void Reader::run(Symbols& aSymbols)
{
    header(aSymbols);
    std::string text;
    while (iSection != EEnd) {
        if (!nextLine(text))
            fail("cut off: no end line");
        record(text, aSymbols);
    }
    if (iAt < iText.size())
        fail("text after the end line");
}

void Reader::record(const std::string& aLine, Symbols& aSymbols)
{
    const std::size_t space = aLine.find(' ');
    const std::string kind = aLine.substr(0, space);
    static const std::pair<const char*, ESection> KKinds[] = {
        {"method", EMethods}, {"label", ELabels}, {"class", EClasses}, {"file", EFiles}, {"line", ELines}, {KEndLine, EEnd},
    };
    const auto found = std::find_if(std::begin(KKinds), std::end(KKinds),
                                    [&kind](const auto& aKind) { return kind == aKind.first; });
    if (found == std::end(KKinds))
        fail("unknown line '" + aLine.substr(0, 40) + "'");
    if (found->second < iSection)
        fail("a " + kind + " line after the lines that follow it");
    iSection = found->second;
    switch (iSection) {
    case EMethods:
        name(fields(aLine), aSymbols.methods, false);
        break;
    case ELabels:
        name(fields(aLine), aSymbols.labels, true);
        break;
    case EClasses:
        name(fields(aLine), aSymbols.classes, false);
        break;
    case EFiles:
        file(aLine, aSymbols);
        break;
    case ELines:
        line(fields(aLine), aSymbols);
        break;
    case EEnd:
        if (aLine != KEndLine)
            fail("expected 'end' alone");
        break;
    }
}

// "method ADDRESS NAME", "label ADDRESS NAME", "class INDEX NAME", in
// rising order; only labels may share a place.
void Reader::name(const std::vector<std::string>& aFields, std::vector<Name>& aNames, bool aShared)
{
    if (aFields.size() != 3)
        fail("expected '" + aFields[0] + " NUMBER NAME'");
    const TUint32 at = position(aFields[1], "position");
    if (!isName(aFields[2]))
        fail("'" + aFields[2].substr(0, 40) + "' is not a name");
    if (!aNames.empty() && (at < aNames.back().at || (!aShared && at == aNames.back().at)))
        fail("the " + aFields[0] + " lines are not in rising order");
    aNames.push_back(Name {at, aFields[2]});
}

// "file INDEX PATH": the files are numbered from 0 in order, and a path
// is the rest of the line.
void Reader::file(const std::string& aLine, Symbols& aSymbols)
{
    const std::size_t indexAt = aLine.find(' ');
    const std::size_t pathAt = indexAt == std::string::npos ? std::string::npos : aLine.find(' ', indexAt + 1);
    if (pathAt == std::string::npos || pathAt + 1 >= aLine.size())
        fail("expected 'file INDEX PATH'");
    const TUint32 index = number(aLine.substr(indexAt + 1, pathAt - indexAt - 1), "file index");
    if (index != aSymbols.files.size())
        fail("file " + std::to_string(index) + " where file " + std::to_string(aSymbols.files.size()) + " belongs");
    const std::string path = aLine.substr(pathAt + 1);
    if (!std::all_of(path.begin(), path.end(), [](char aChar) { return isPrintable(static_cast<unsigned char>(aChar)); }))
        fail("a file name with a control character");
    aSymbols.files.push_back(path);
}

// "line ADDRESS SIZE FILE LINE"
void Reader::line(const std::vector<std::string>& aFields, Symbols& aSymbols)
{
    if (aFields.size() != 5)
        fail("expected 'line ADDRESS SIZE FILE LINE'");
    const TUint32 address = position(aFields[1], "position");
    const TUint32 size = number(aFields[2], "size");
    const TUint32 file = number(aFields[3], "file index");
    const TUint32 line = number(aFields[4], "line number");
    if (size == 0)
        fail("a line of no positions");
    if (TInt64(address) + size > iImageSize)
        fail("the " + aFields[2] + " positions from " + aFields[1] + " on do not lie in the image");
    if (file >= aSymbols.files.size())
        fail("no file " + aFields[3]);
    if (line == 0)
        fail("line numbers count from 1");
    if (!aSymbols.lines.empty()) {
        const LineRange& last = aSymbols.lines.back();
        if (address < last.address + last.size)
            fail("the positions from " + aFields[1] + " on overlap or precede those of the line before");
    }
    aSymbols.lines.push_back(LineRange {address, size, file, line});
}

template <typename TName>
const TName* nameAt(const std::vector<TName>& aNames, TUint32 aAt)
{
    const auto found = std::lower_bound(aNames.begin(), aNames.end(), aAt,
                                        [](const TName& aName, TUint32 aValue) { return aName.at < aValue; });
    return found != aNames.end() && found->at == aAt ? &*found : nullptr;
}

}

const std::string* Symbols::methodAt(TUint32 aAddress) const
{
    const Name* found = nameAt(methods, aAddress);
    return found ? &found->name : nullptr;
}

const std::string* Symbols::className(TUint32 aIndex) const
{
    const Name* found = nameAt(classes, aIndex);
    return found ? &found->name : nullptr;
}

const LineRange* Symbols::lineAt(TUint32 aAddress) const
{
    const auto after = std::upper_bound(lines.begin(), lines.end(), aAddress,
                                        [](TUint32 aValue, const LineRange& aLine) { return aValue < aLine.address; });
    if (after == lines.begin())
        return nullptr;
    const LineRange& line = *(after - 1);
    return aAddress - line.address < line.size ? &line : nullptr;
}

std::string Symbols::placeOf(TUint32 aAddress) const
{
    const LineRange* line = lineAt(aAddress);
    if (!line)
        return std::string();
    const std::string& path = files[line->file];
    const std::size_t slash = path.find_last_of('/');
    return (slash == std::string::npos || slash + 1 == path.size() ? path : path.substr(slash + 1)) + ":"
         + std::to_string(line->line);
}

TUint32 checksum(const ImageFormat::Bytes& aBytes)
{
    static const std::array<TUint32, 256> KTable = crcTable();
    TUint32 crc = 0xFFFFFFFFu;
    for (TUint8 b : aBytes)
        crc = KTable[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

std::string pathBeside(const std::string& aImagePath)
{
    const std::string KImageExtension = ".mcb";
    const std::size_t slash = aImagePath.find_last_of('/');
    const std::size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    if (aImagePath.size() > nameAt + KImageExtension.size()
        && aImagePath.compare(aImagePath.size() - KImageExtension.size(), KImageExtension.size(), KImageExtension) == 0)
        return aImagePath.substr(0, aImagePath.size() - KImageExtension.size()) + ".sym";
    return aImagePath + ".sym";
}

std::string write(const Symbols& aSymbols)
{
    std::ostringstream out;
    out << KFormatLine << "\nimage " << aSymbols.imageSize << " " << hex8(aSymbols.imageChecksum) << "\n";
    const std::pair<const char*, const std::vector<Name>*> KNamed[] = {
        {"method", &aSymbols.methods}, {"label", &aSymbols.labels}, {"class", &aSymbols.classes}};
    for (const auto& [kind, names] : KNamed) {
        for (const Name& n : *names) {
            if (isName(n.name))
                out << kind << " " << n.at << " " << n.name << "\n";
        }
    }
    for (std::size_t i = 0; i < aSymbols.files.size(); ++i) {
        std::string path = aSymbols.files[i];
        std::replace_if(path.begin(), path.end(), [](char aChar) { return !isPrintable(static_cast<unsigned char>(aChar)); }, '?');
        out << "file " << i << " " << (path.empty() ? "?" : path) << "\n";
    }
    for (const LineRange& l : aSymbols.lines)
        out << "line " << l.address << " " << l.size << " " << l.file << " " << l.line << "\n";
    out << KEndLine << "\n";
    return out.str();
}

bool read(const std::string& aText, const ImageFormat::Bytes& aImage, Symbols& aSymbols, std::string& aReason)
{
    Symbols symbols;
    try {
        Reader(aText, aImage).run(symbols);
    } catch (const Failure& failure) {
        aReason = failure.reason;
        return false;
    }
    aSymbols = std::move(symbols);
    return true;
}

std::optional<Symbols> readBeside(const char* aTool, const std::string& aImagePath, const ImageFormat::Bytes& aImage)
{
    const std::string path = pathBeside(aImagePath);
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status))
        return std::nullopt;
    std::string reason = "cannot be read";
    // Only a regular file: a pipe may never end, nor a device.
    if (!std::filesystem::is_regular_file(status)) {
        reason = "not a regular file";
    } else if (std::ifstream in {path, std::ios::binary | std::ios::ate}) {
        const std::streamoff size = in.tellg();
        if (size > KLargestFile) {
            reason = "larger than any symbol file";
        } else if (size >= 0) {
            in.seekg(0);
            std::string text(static_cast<std::size_t>(size), '\0');
            Symbols symbols;
            if (in.read(text.data(), size) && read(text, aImage, symbols, reason))
                return symbols;
        }
    }
    std::fprintf(stderr, "%s: ignoring %s: %s\n", aTool, path.c_str(), reason.c_str());
    std::fflush(stderr);
    return std::nullopt;
}

}
