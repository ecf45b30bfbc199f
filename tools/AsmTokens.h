#ifndef KELVO_ASMTOKENS_H
#define KELVO_ASMTOKENS_H

#include <map>
#include <string>
#include <vector>

#include "ImageFormat.h"

// The words of assembly text and the reading of them. A line is split into
// tokens once; the assembler then walks them with a Cursor, which knows the
// forms that recur everywhere (numbers with a range, operands, lists).
namespace AsmTokens {

// What went wrong on the current line; the assembler adds file and line.
struct Error {
    std::string reason;
};

enum ETokenKind { EName, ENumber, EText, EPunct };

struct Token {
    ETokenKind kind;
    std::string text;          // a name, a number as written, or the punctuation
    TInt64 number = 0;         // a number's value; the sign is a separate '-'
    ImageFormat::Bytes bytes;  // a literal's bytes after its escapes
};

// The tokens of one line; ';' outside a literal starts a comment. Throws
// Error for a malformed number or literal.
std::vector<Token> tokenize(const std::string& aLine);

// A value where a number or a name may stand: 12, -3, label, label+4,
// "text", or * (any class). A constant, also with an offset, is a number.
struct Operand {
    enum EKind { ENumber, EName, EText, EAny };
    EKind kind = ENumber;
    TInt64 number = 0;         // the number, or the offset after a name
    std::string name;
    ImageFormat::Bytes text;
};

// The values of the .equ constants by name. A constant stands wherever a
// number may: as an operand, in a list, as the value of an attribute.
using Constants = std::map<std::string, TInt64>;

class Cursor {
public:
    Cursor(const std::vector<Token>& aTokens, const Constants& aConstants)
        : iTokens(aTokens), iConstants(aConstants)
    {
    }

    TBool atEnd() const { return iAt == iTokens.size(); }
    TBool isPunct(char aPunct) const;
    TBool isName() const;
    // The next token when it is a name, else an empty text.
    std::string peekName() const { return isName() ? next()->text : std::string(); }
    // True when the next two tokens are a name and aPunct.
    TBool isNameFollowedBy(char aPunct) const;
    // True when a number comes next: digits, a '-' or a constant.
    TBool isNumber() const;

    // Consumes aPunct when it comes next.
    TBool takePunct(char aPunct);
    void expectPunct(char aPunct);
    std::string name(const char* aWhat);
    ImageFormat::Bytes text(const char* aWhat);
    // An optionally negative number or constant within aLowest..aHighest.
    TInt64 number(TInt64 aLowest, TInt64 aHighest, const char* aWhat);
    Operand operand();
    void expectEnd();

private:
    const Token* next() const { return atEnd() ? nullptr : &iTokens[iAt]; }
    [[noreturn]] void unexpected(const char* aWanted) const;

    const TInt64* constant() const;

    const std::vector<Token>& iTokens;
    const Constants& iConstants;
    std::size_t iAt = 0;
};

// Range checks shared by every reader of numbers.
void checkRange(TInt64 aValue, TInt64 aLowest, TInt64 aHighest, const std::string& aWhat);

}

#endif
