#include <gtest/gtest.h>

#include <memory>

#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>

#include "HostApplications.h"
#include "HostTestSupport.h"

using namespace HostApplications;
using namespace HostTestSupport;

namespace {

// The built showcase in a directory of its own, driven through the window
// as a user would: what it remembers is read back from state.bin (runs,
// taps, x / 4, y / 4).
class ShowcaseTest : public ::testing::Test {
protected:
    ShowcaseTest()
    {
        ensureApplication();
        // No sound server: playing must neither fail nor stop the application.
        qputenv("PULSE_SERVER", "unix:/nonexistent");
        for (const char* name : {"index.mcb", "font.png", "tap.raw"})
            QFile::copy(QStringLiteral(KELVO_SHOWCASE_DIR "/") + name, dir.filePath(name));
        view = std::make_unique<RecordingView>(CAppsString(dir.path()));
        view->resize(800, 480);
        view->load();
    }

    QByteArray state() const { return contentOf(dir.filePath(QStringLiteral("state.bin"))); }

    void move(const QPoint& aPosition)
    {
        QMouseEvent event(QEvent::MouseMove, aPosition, view->mapToGlobal(aPosition), Qt::NoButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(view.get(), &event);
    }

    QTemporaryDir dir;
    std::unique_ptr<RecordingView> view;
};

TEST_F(ShowcaseTest, DragsKeysAndTapsAreRememberedAndTheAppRunsOnWithoutSound)
{
    EXPECT_EQ(state(), QByteArray("\x01\x00\x19\x2d", 4));     // box at (100, 180)

    QTest::mousePress(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(110, 190));
    move(QPoint(210, 250));
    move(QPoint(310, 250));
    QTest::mouseRelease(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(310, 250));
    EXPECT_EQ(state(), QByteArray("\x01\x00\x4b\x3c", 4));     // grabbed 10 in: (300, 240)

    QTest::keyClick(view.get(), Qt::Key_Right);
    QTest::keyClick(view.get(), Qt::Key_Right);
    QTest::keyClick(view.get(), Qt::Key_Up);
    EXPECT_EQ(state(), QByteArray("\x01\x00\x4f\x3a", 4));     // (316, 232)

    QTest::mouseClick(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(700, 400));
    QTest::keyClick(view.get(), Qt::Key_Space);
    EXPECT_EQ(state(), QByteArray("\x01\x02\x4f\x3a", 4));     // two taps

    // The box stays where a stored byte can hold it.
    QTest::mousePress(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(320, 240));
    move(QPoint(-50, 5000));
    QTest::mouseRelease(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(-50, 5000));
    EXPECT_EQ(state(), QByteArray("\x01\x02\x00\xfa", 4));     // (0, 1000)

    EXPECT_EQ(view->lines, QStringList({"showcase runs", "1"}));
}

TEST_F(ShowcaseTest, TheSameStateAndTickCountDrawTheSamePicture)
{
    const QImage first = view->grab().toImage();
    const QImage second = view->grab().toImage();
    EXPECT_EQ(first, second);
    QTest::keyClick(view.get(), Qt::Key_Down);
    EXPECT_NE(view->grab().toImage(), first);
}

}
