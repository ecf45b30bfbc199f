#include <gtest/gtest.h>

#include "AsmTestSupport.h"
#include "ImageCheck.h"

using ImageFormat::Bytes;

namespace {

// Every refusal is the loader's fatal error, code 11.
const char KLoadFailure[] = "UnknownException (CODE:11) (error code 11)";

ImageCheck::Verdict checkText(const std::string& aSource)
{
    return ImageCheck::check(assembleOk(aSource).bytes);
}

TEST(ImageCheck, WellFormedImagesLoad)
{
    const ImageCheck::Verdict verdict = checkText(".record r\n.static \"main\" main, r\nmain: ret 0, 1\n");
    EXPECT_TRUE(verdict.loadable);
    EXPECT_EQ(verdict.loadError, "");
}

TEST(ImageCheck, BrokenHeadersAreRefusedWithTheirFault)
{
    const struct {
        const char* source;
        const char* fault;
    } cases[] = {
        {".identitylength 21\n", "the identity length byte is 21, not 20"},
        {".cut 25\n", "the file ends after 25 bytes, inside the 32-byte header"},
        {".magic 0xFF, 0xFE\n", "magic byte 2 is 0xFE, not 0xFF"},
        {".width framecount2=3\n", "the framecount2 width is 3; only 1, 2 and 4 are allowed"},
        {".class A refs=1 slotwidth=3\n",
         "a class or method record has a slot width other than 1, 2 or 4, or a vector flag other than 0 and 0xFF"},
        {".record r vectors=1:2\n",
         "a class or method record has a slot width other than 1, 2 or 4, or a vector flag other than 0 and 0xFF"},
    };
    for (const auto& c : cases) {
        const ImageCheck::Verdict verdict = checkText(c.source);
        EXPECT_FALSE(verdict.loadable) << c.source;
        EXPECT_EQ(verdict.loadError, KLoadFailure) << c.source;
        EXPECT_EQ(verdict.fault, c.fault) << c.source;
    }
    EXPECT_EQ(ImageCheck::check(Bytes()).fault, "the file is empty");
}

// A short read inside the tables is the reader's code 10, which the load
// turns into its fatal error.
TEST(ImageCheck, ShortReadsReportTheReadersError)
{
    const ImageCheck::Verdict verdict = checkText(".string s \"a long enough text\"\n.cut 60\n");
    EXPECT_FALSE(verdict.loadable);
    EXPECT_EQ(verdict.loadError, KLoadFailure);
    EXPECT_NE(verdict.readError.find("VMException"), std::string::npos) << verdict.readError;
    EXPECT_NE(verdict.readError.find("(error code 10)"), std::string::npos) << verdict.readError;
    EXPECT_EQ(verdict.fault, "a table runs past the end of the file or has a negative count");
}

TEST(ImageCheck, CodeThatTheLoaderCannotCopy)
{
    const ImageCheck::Verdict cut = checkText("nop\n.bytes 20, 1\n");
    EXPECT_FALSE(cut.loadable);
    EXPECT_NE(cut.readError.find("(error code 10)"), std::string::npos) << cut.readError;
    EXPECT_EQ(cut.fault, "the code ends inside its last instruction, ldc at code index 1");

    const ImageCheck::Verdict virtualCall = checkText(".virtual \"v\"\ncallvirt 0\ncallvirt 1\n");
    EXPECT_FALSE(virtualCall.loadable);
    EXPECT_EQ(virtualCall.loadError, KLoadFailure);
    EXPECT_NE(virtualCall.readError.find("(error code 6)"), std::string::npos) << virtualCall.readError;
    EXPECT_EQ(virtualCall.fault, "callvirt at code index 5 names virtual method 1, but the image lists 1");
}

}
