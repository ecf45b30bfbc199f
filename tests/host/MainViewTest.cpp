#include <gtest/gtest.h>

#include <memory>

#include <QDir>
#include <QTemporaryDir>

#include "HostTestSupport.h"
#include "MainView.h"

using namespace HostTestSupport;

namespace {

// Exposes the rotation decision, which only painting and repainting use.
class TestView : public MainView {
public:
    using MainView::MainView;
    using MainViewBase::isRotated;
};

class MainViewTest : public ::testing::Test {
protected:
    MainViewTest()
    {
        ensureApplication();
        view = std::make_unique<TestView>(CAppsString(dir.path()));
    }

    bool writeThroughView(const char* aPath, TInt aMode, const QByteArray& aBytes)
    {
        std::unique_ptr<VESTRA::OutputStream> stream(view->openOutputStream(OString(aPath), aMode));
        return stream && stream->isOpen()
            && stream->write(reinterpret_cast<const TUint8*>(aBytes.constData()), aBytes.size());
    }

    QTemporaryDir dir;
    std::unique_ptr<TestView> view;
};

TEST_F(MainViewTest, PathsThatCouldLeaveTheApplicationDirectoryAreRefused)
{
    for (const char* name : {"f", "c:x", "a|b"})
        writeFile(dir.filePath(name), "x");
    EXPECT_TRUE(view->fileExists(OString("f")));
    for (const char* refused : {"a/../f", "c:x", "a|b", ""}) {
        SCOPED_TRACE(refused);
        EXPECT_FALSE(view->fileExists(OString(refused)));
        EXPECT_EQ(view->openInputStream(OString(refused)), nullptr);
        EXPECT_EQ(view->openOutputStream(OString(refused), 1), nullptr);
        EXPECT_FALSE(view->deleteFile(OString(refused)));
    }
    EXPECT_EQ(contentOf(dir.filePath("c:x")), QByteArray("x"));
    EXPECT_FALSE(view->moveFile(OString("f"), OString("a/../g")));
    EXPECT_TRUE(QFile::exists(dir.filePath("f")));
}

TEST_F(MainViewTest, PathsResolveBelowTheApplicationDirectoryWhateverTheirSeparators)
{
    EXPECT_TRUE(view->createDirectory(OString("dir//sub///deep")));
    EXPECT_TRUE(QDir(dir.filePath("dir/sub/deep")).exists());
    writeFile(dir.filePath("dir/sub/f"), "x");
    EXPECT_TRUE(view->fileExists(OString("dir\\sub\\\\f")));
    EXPECT_TRUE(view->fileExists(OString("/dir/sub/f")));
    EXPECT_TRUE(view->deleteFile(OString("dir//sub/f")));
    EXPECT_FALSE(QFile::exists(dir.filePath("dir/sub/f")));
}

TEST_F(MainViewTest, OutputStreamsTruncateInModeOneAndAppendInModeZero)
{
    ASSERT_TRUE(writeThroughView("new/dir/out.txt", 1, "abc"));
    ASSERT_TRUE(writeThroughView("new/dir/out.txt", 0, "de"));
    EXPECT_EQ(contentOf(dir.filePath("new/dir/out.txt")), QByteArray("abcde"));
    ASSERT_TRUE(writeThroughView("new/dir/out.txt", 1, ""));
    EXPECT_EQ(contentOf(dir.filePath("new/dir/out.txt")), QByteArray());
}

TEST_F(MainViewTest, LogLinesGoToStderrAsLowBytesAndToTheLogFileAsUtf8)
{
    const TUint16 eAcute[] = {0xE9, 0};
    EXPECT_EQ(capturedStderr([&] { view->log(OString(eAcute)); }), QByteArray("LOG: \xE9\n"));

    view->openLogFile(OString("logs/app.log"));
    capturedStderr([&] { view->log(OString(eAcute)); });
    view->openLogFile(OString(""));
    capturedStderr([&] { view->log(OString("after closing")); });
    EXPECT_EQ(contentOf(dir.filePath("logs/app.log")), QByteArray("LOG: \xC3\xA9\n"));
}

TEST_F(MainViewTest, PortraitTurnsTheScreenAndTheRepaintAreas)
{
    TInt width = 0;
    TInt height = 0;
    view->getScreenSize(width, height);
    EXPECT_EQ(QSize(width, height), QSize(800, 480));
    view->setOrientation(7);
    view->getScreenSize(width, height);
    EXPECT_EQ(QSize(width, height), QSize(480, 800));

    EXPECT_EQ(MainViewBase::repaintArea(QRect(10, 20, 30, 40), true, 480), QRect(20, 440, 40, 30));
    EXPECT_EQ(MainViewBase::repaintArea(QRect(10, 20, 30, 40), false, 480), QRect(10, 20, 30, 40));
    view->resize(800, 480);
    view->setOrientation(1);
    EXPECT_TRUE(view->isRotated());
    view->setOrientation(2);
    EXPECT_FALSE(view->isRotated());
}

TEST_F(MainViewTest, ForegroundNeedsTheWindowShownAndTheDisplayOn)
{
    view->show();
    EXPECT_TRUE(view->isForeground());
    view->displaySignal(QStringLiteral("off"));
    EXPECT_FALSE(view->isForeground());
    view->displaySignal(QStringLiteral("dimmed"));
    EXPECT_TRUE(view->isForeground());
    view->hide();
    EXPECT_FALSE(view->isForeground());
}

}
