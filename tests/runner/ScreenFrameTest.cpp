// The frame in this process, on the offscreen platform: pointer presses in
// a window of another size reach the application in screen coordinates.

#include <gtest/gtest.h>

#include <memory>

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include "RunnerApplication.h"
#include "ScreenFrame.h"

namespace {

void ensureApplication()
{
    static int argc = 1;
    static char name[] = "runner_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    (void)application;
}

class RecordingView : public MainView {
public:
    using MainView::MainView;
    void log(const OString& aMessage) override { lines.append(aMessage.toQString()); }
    QStringList lines;
};

// The test application in a frame 1000 by 480, shown and started.
class ScreenFrameTest : public ::testing::Test {
protected:
    ScreenFrameTest()
    {
        ensureApplication();
        RunnerApplication::install(directory.path());
        view = new RecordingView(CAppsString(directory.path()));
        frame = std::make_unique<ScreenFrame>(view);
        frame->resize(1000, 480);
        frame->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        view->load();
    }

    QTemporaryDir directory;
    RecordingView* view;
    std::unique_ptr<ScreenFrame> frame;
};

// Presses at window points, in both orientations, against the screen
// points that the letterboxed picture shows there.
TEST_F(ScreenFrameTest, PointerPositionsAreMappedToTheScreen)
{
    EXPECT_EQ(frame->screenSize(), QSize(800, 480));

    QTest::mousePress(frame->viewport(), Qt::LeftButton, {}, QPoint(300, 130));
    QTest::mouseRelease(frame->viewport(), Qt::LeftButton, {}, QPoint(300, 130));
    EXPECT_EQ(view->lines, QStringList({"0", "200", "130", "1", "200", "130"}));

    view->lines.clear();
    view->setOrientation(1);
    frame->resize(800, 480);
    QApplication::processEvents();
    EXPECT_EQ(frame->screenSize(), QSize(480, 800));
    EXPECT_EQ(view->size(), QSize(480, 800));
    QTest::mousePress(frame->viewport(), Qt::LeftButton, {}, QPoint(316, 120));
    EXPECT_EQ(view->lines, QStringList({"0", "100", "200"}));
}

// The failure band lies over the bottom of the screen, wherever the window
// puts the screen, and leaves the rest of the picture as it was.
TEST_F(ScreenFrameTest, FailureIsShownOverTheBottomOfTheScreen)
{
    frame->showFailure(QStringLiteral("uncaught error 1"));
    const QImage picture = frame->grab().toImage();
    const QColor top = picture.pixelColor(103, 10);        // screen (3, 10)
    const QColor bottom = picture.pixelColor(103, 476);    // screen (3, 476)
    EXPECT_EQ(top, QColor(0, 0, 255));
    EXPECT_GT(bottom.red(), 120);
    EXPECT_LT(bottom.blue(), 80);
    EXPECT_EQ(picture.pixelColor(50, 476), QColor(Qt::black));   // the bar beside the screen
}

}
