#include "ErrorHandling.h"

#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "OString.h"

namespace {

// Raises and answers the recorded text.
std::string raisedText(TInt aCode, const char* aMessage)
{
    try {
        ErrorHandling::raise(aCode, aMessage);
    } catch (const ErrorHandlingException&) {
        EXPECT_EQ(ErrorHandling::currentErrorCode(), aCode);
        return ErrorHandling::currentErrorText().toQString().toStdString();
    }
    return "not raised";
}

}

// Applications see these texts.
TEST(ErrorHandling, TextsNameTheCodeAndAppendTheMessage)
{
    EXPECT_EQ(raisedText(EIndexOutOfBounds, ""), "IndexOutOfBoundsException");
    EXPECT_EQ(raisedText(EDataFormat, ""), "DataFormatException: ");
    EXPECT_EQ(raisedText(EDataFormat, "bad digit"), "DataFormatException: : bad digit");
    EXPECT_EQ(raisedText(EInvalidArgument, "x"), "InvalidArgumentException: x");
    EXPECT_EQ(raisedText(7, ""), "IOException");
    EXPECT_EQ(raisedText(EUnsupportedFeature, ""), "UnsupportedFeatureException");
    EXPECT_EQ(raisedText(EFatalError, ""), "UnknownException (CODE:11)");
    EXPECT_EQ(raisedText(EExitRequest, ""), "UnknownException (CODE:12)");
    EXPECT_EQ(raisedText(99, "why"), "UnknownException (CODE:99): why");
    EXPECT_EQ(raisedText(-3, ""), "UnknownException (CODE:-3)");
}

TEST(ErrorHandling, ClearedAndPerThreadRecords)
{
    EXPECT_THROW(ErrorHandling::raise(EIndexOutOfBounds), ErrorHandlingException);
    ErrorHandling::clearError();
    EXPECT_EQ(ErrorHandling::currentErrorCode(), ENoError);
    EXPECT_TRUE(ErrorHandling::currentErrorText().isEmpty());

    EXPECT_THROW(ErrorHandling::raise(ERange, OString("here")), ErrorHandlingException);
    TInt otherBefore = -1;
    TInt otherAfter = -1;
    std::thread other([&] {
        otherBefore = ErrorHandling::currentErrorCode();
        try {
            ErrorHandling::raise(EIndexOutOfBounds);
        } catch (const ErrorHandlingException&) {
            otherAfter = ErrorHandling::currentErrorCode();
        }
    });
    other.join();
    EXPECT_EQ(otherBefore, ENoError);
    EXPECT_EQ(otherAfter, EIndexOutOfBounds);
    EXPECT_EQ(ErrorHandling::currentErrorCode(), ERange);
    EXPECT_EQ(ErrorHandling::currentErrorText().toQString().toStdString(), "RangeException: here");
}
