#include "AsmTokens.h"

#include <cctype>

using namespace ImageFormat;

namespace AsmTokens {

namespace {

// Beyond any value that an operand or a table field can hold, yet far from
// overflowing the arithmetic done on it.
const TInt64 KLargestNumber = 0xFFFFFFFFFFLL;

TBool isNameStart(char aChar)
{
    return std::isalpha(static_cast<unsigned char>(aChar)) || aChar == '_' || aChar == '.';
}

TBool isNameChar(char aChar)
{
    return isNameStart(aChar) || std::isdigit(static_cast<unsigned char>(aChar)) || aChar == '$';
}

TInt hexValue(char aChar)
{
    if (aChar >= '0' && aChar <= '9')
        return aChar - '0';
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(aChar)));
    if (lower >= 'a' && lower <= 'f')
        return lower - 'a' + 10;
    return -1;
}

void appendUtf8(Bytes& aOut, TUint32 aCode)
{
    if (aCode < 0x80) {
        aOut.push_back(static_cast<TUint8>(aCode));
    } else if (aCode < 0x800) {
        aOut.push_back(static_cast<TUint8>(0xC0 | (aCode >> 6)));
        aOut.push_back(static_cast<TUint8>(0x80 | (aCode & 0x3F)));
    } else if (aCode < 0x10000) {
        aOut.push_back(static_cast<TUint8>(0xE0 | (aCode >> 12)));
        aOut.push_back(static_cast<TUint8>(0x80 | ((aCode >> 6) & 0x3F)));
        aOut.push_back(static_cast<TUint8>(0x80 | (aCode & 0x3F)));
    } else {
        aOut.push_back(static_cast<TUint8>(0xF0 | (aCode >> 18)));
        aOut.push_back(static_cast<TUint8>(0x80 | ((aCode >> 12) & 0x3F)));
        aOut.push_back(static_cast<TUint8>(0x80 | ((aCode >> 6) & 0x3F)));
        aOut.push_back(static_cast<TUint8>(0x80 | (aCode & 0x3F)));
    }
}

Token makeToken(ETokenKind aKind, const std::string& aText)
{
    Token token;
    token.kind = aKind;
    token.text = aText;
    return token;
}

class Lexer {
public:
    explicit Lexer(const std::string& aLine) : iLine(aLine) {}

    std::vector<Token> run();

private:
    char peek() const { return iAt < iLine.size() ? iLine[iAt] : '\0'; }
    Token name();
    Token number();
    Token text();
    void escape(Bytes& aOut);
    TUint32 hexDigits(std::size_t aMinimum, std::size_t aMaximum, const char* aWhat);

    const std::string& iLine;
    std::size_t iAt = 0;
};

std::vector<Token> Lexer::run()
{
    std::vector<Token> tokens;
    while (iAt < iLine.size()) {
        const char c = peek();
        if (c == ';')
            break;
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++iAt;
        } else if (isNameStart(c)) {
            tokens.push_back(name());
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            tokens.push_back(number());
        } else if (c == '"') {
            tokens.push_back(text());
        } else if (std::string(",:=+-*").find(c) != std::string::npos) {
            tokens.push_back(makeToken(EPunct, std::string(1, c)));
            ++iAt;
        } else {
            throw Error {std::string("unexpected character '") + c + "'"};
        }
    }
    return tokens;
}

Token Lexer::name()
{
    const std::size_t start = iAt;
    while (isNameChar(peek()))
        ++iAt;
    return makeToken(EName, iLine.substr(start, iAt - start));
}

Token Lexer::number()
{
    const std::size_t start = iAt;
    while (isNameChar(peek()))
        ++iAt;
    const std::string written = iLine.substr(start, iAt - start);
    const TBool hex = written.size() > 2 && written[0] == '0' && (written[1] == 'x' || written[1] == 'X');
    const TInt base = hex ? 16 : 10;
    TInt64 value = 0;
    for (std::size_t i = hex ? 2 : 0; i < written.size(); ++i) {
        const TInt digit = hexValue(written[i]);
        if (digit < 0 || digit >= base)
            throw Error {"malformed number '" + written + "'"};
        value = value * base + digit;
        if (value > KLargestNumber)
            throw Error {"number " + written + " is too large"};
    }
    Token token = makeToken(ENumber, written);
    token.number = value;
    return token;
}

Token Lexer::text()
{
    Token token = makeToken(EText, "");
    ++iAt;
    while (peek() != '"') {
        if (iAt >= iLine.size())
            throw Error {"unterminated text literal"};
        if (peek() == '\\')
            escape(token.bytes);
        else
            token.bytes.push_back(static_cast<TUint8>(iLine[iAt++]));
    }
    ++iAt;
    return token;
}

void Lexer::escape(Bytes& aOut)
{
    ++iAt;
    const char kind = peek();
    ++iAt;
    switch (kind) {
    case 'n':
        aOut.push_back('\n');
        return;
    case 't':
        aOut.push_back('\t');
        return;
    case '\\':
    case '"':
        aOut.push_back(static_cast<TUint8>(kind));
        return;
    case 'x':
        aOut.push_back(static_cast<TUint8>(hexDigits(2, 2, "\\x")));
        return;
    case 'u': {
        if (peek() != '{')
            throw Error {"\\u must be followed by {hex digits}"};
        ++iAt;
        const TUint32 code = hexDigits(1, 6, "\\u{}");
        if (peek() != '}')
            throw Error {"\\u{ is not closed by }"};
        ++iAt;
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            throw Error {"\\u{} names no character"};
        appendUtf8(aOut, code);
        return;
    }
    default:
        throw Error {std::string("unknown escape '\\") + kind + "'"};
    }
}

TUint32 Lexer::hexDigits(std::size_t aMinimum, std::size_t aMaximum, const char* aWhat)
{
    TUint32 value = 0;
    std::size_t count = 0;
    while (count < aMaximum && hexValue(peek()) >= 0) {
        value = value * 16 + static_cast<TUint32>(hexValue(peek()));
        ++iAt;
        ++count;
    }
    if (count < aMinimum)
        throw Error {std::string(aWhat) + " needs hex digits"};
    return value;
}

std::string describe(const Token& aToken)
{
    return aToken.kind == EText ? "a text literal" : "'" + aToken.text + "'";
}

}

std::vector<Token> tokenize(const std::string& aLine)
{
    return Lexer(aLine).run();
}

void checkRange(TInt64 aValue, TInt64 aLowest, TInt64 aHighest, const std::string& aWhat)
{
    if (aValue < aLowest || aValue > aHighest)
        throw Error {aWhat + " " + std::to_string(aValue) + " is out of range (" + std::to_string(aLowest)
                     + " to " + std::to_string(aHighest) + ")"};
}

TBool Cursor::isPunct(char aPunct) const
{
    const Token* t = next();
    return t && t->kind == EPunct && t->text[0] == aPunct;
}

TBool Cursor::isName() const
{
    const Token* t = next();
    return t && t->kind == EName;
}

TBool Cursor::isNameFollowedBy(char aPunct) const
{
    return isName() && iAt + 1 < iTokens.size() && iTokens[iAt + 1].kind == EPunct
           && iTokens[iAt + 1].text[0] == aPunct;
}

TBool Cursor::isNumber() const
{
    const Token* t = next();
    return t && (t->kind == ENumber || isPunct('-') || constant());
}

// The value of the constant that comes next, or nullptr.
const TInt64* Cursor::constant() const
{
    if (!isName())
        return nullptr;
    const auto found = iConstants.find(next()->text);
    return found == iConstants.end() ? nullptr : &found->second;
}

TBool Cursor::takePunct(char aPunct)
{
    if (!isPunct(aPunct))
        return EFalse;
    ++iAt;
    return ETrue;
}

void Cursor::expectPunct(char aPunct)
{
    if (!takePunct(aPunct))
        unexpected((std::string("'") + aPunct + "'").c_str());
}

std::string Cursor::name(const char* aWhat)
{
    if (!isName())
        unexpected(aWhat);
    return iTokens[iAt++].text;
}

Bytes Cursor::text(const char* aWhat)
{
    const Token* t = next();
    if (!t || t->kind != EText)
        unexpected(aWhat);
    ++iAt;
    return t->bytes;
}

TInt64 Cursor::number(TInt64 aLowest, TInt64 aHighest, const char* aWhat)
{
    const TBool negative = takePunct('-');
    const Token* t = next();
    const TInt64* named = constant();
    if (!named && (!t || t->kind != ENumber))
        unexpected(aWhat);
    ++iAt;
    const TInt64 magnitude = named ? *named : t->number;
    const TInt64 value = negative ? -magnitude : magnitude;
    checkRange(value, aLowest, aHighest, aWhat);
    return value;
}

Operand Cursor::operand()
{
    Operand result;
    const Token* t = next();
    if (takePunct('*')) {
        result.kind = Operand::EAny;
    } else if (t && t->kind == EText) {
        result.kind = Operand::EText;
        result.text = t->bytes;
        ++iAt;
    } else if (isName()) {
        const TInt64* named = constant();
        result.kind = named ? Operand::ENumber : Operand::EName;
        result.name = t->text;
        ++iAt;
        if (isPunct('+') || isPunct('-')) {
            const TBool minus = isPunct('-');
            ++iAt;
            const TInt64 offset = number(0, KLargestNumber, "offset");
            result.number = minus ? -offset : offset;
        }
        if (named)
            result.number += *named;
    } else {
        result.number = number(-KLargestNumber, KLargestNumber, "operand");
    }
    return result;
}

void Cursor::expectEnd()
{
    if (!atEnd())
        throw Error {"unexpected " + describe(iTokens[iAt]) + " at the end of the line"};
}

void Cursor::unexpected(const char* aWanted) const
{
    const Token* t = next();
    throw Error {std::string("expected ") + aWanted + (t ? " but found " + describe(*t) : " at the end of the line")};
}

}
