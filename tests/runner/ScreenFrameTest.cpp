// The frame in this process, on the offscreen platform: pointer presses in
// a window of another size reach the application in screen coordinates.

#include <gtest/gtest.h>

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

// Presses at window points, in both orientations, against the screen
// points that the letterboxed picture shows there.
TEST(ScreenFrameTest, PointerPositionsAreMappedToTheScreen)
{
    ensureApplication();
    QTemporaryDir directory;
    RunnerApplication::install(directory.path());
    auto* view = new RecordingView(CAppsString(directory.path()));
    ScreenFrame frame(view);
    frame.resize(1000, 480);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    view->load();
    EXPECT_EQ(frame.screenSize(), QSize(800, 480));

    QTest::mousePress(frame.viewport(), Qt::LeftButton, {}, QPoint(300, 130));
    QTest::mouseRelease(frame.viewport(), Qt::LeftButton, {}, QPoint(300, 130));
    EXPECT_EQ(view->lines, QStringList({"0", "200", "130", "1", "200", "130"}));

    view->lines.clear();
    view->setOrientation(1);
    frame.resize(800, 480);
    QApplication::processEvents();
    EXPECT_EQ(frame.screenSize(), QSize(480, 800));
    EXPECT_EQ(view->size(), QSize(480, 800));
    QTest::mousePress(frame.viewport(), Qt::LeftButton, {}, QPoint(316, 120));
    EXPECT_EQ(view->lines, QStringList({"0", "100", "200"}));
}

}
