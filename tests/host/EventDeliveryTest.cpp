#include <gtest/gtest.h>

#include <memory>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>

#include "EventCall.h"
#include "HostApplications.h"
#include "HostTestSupport.h"
#include "KeyCodes.h"

using namespace HostApplications;
using namespace HostTestSupport;

namespace {

class EventDeliveryTest : public ::testing::Test {
protected:
    EventDeliveryTest()
    {
        ensureApplication();
        view = std::make_unique<RecordingView>(CAppsString(dir.path()));
    }

    // The foreground flag belongs to the process: leave it as a new view
    // finds it.
    ~EventDeliveryTest() override
    {
        view->onLog = nullptr;
        view->displaySignal(QStringLiteral("on"));
        view->hide();
    }

    void load(const std::string& aSource = KEvents)
    {
        install(aSource, dir.path());
        view->load();
    }

    void move(const QPoint& aPosition)
    {
        QMouseEvent event(QEvent::MouseMove, aPosition, view->mapToGlobal(aPosition), Qt::NoButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(view.get(), &event);
    }

    QStringList takeLines()
    {
        const QStringList lines = view->lines;
        view->lines.clear();
        return lines;
    }

    QTemporaryDir dir;
    std::unique_ptr<RecordingView> view;
};

TEST_F(EventDeliveryTest, PointerAndKeyEventsReachTheApplicationWithTheirValues)
{
    QTest::mouseClick(view.get(), Qt::LeftButton);   // no machine yet: dropped
    load();
    QTest::mousePress(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 20));
    move(QPoint(11, 22));
    QTest::mouseRelease(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(12, 24));
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 38, 0, 0, QStringLiteral("a"));
    QCoreApplication::sendEvent(view.get(), &press);
    EXPECT_EQ(takeLines(), QStringList({"pointer", "0", "10", "20", "pointer", "6", "11", "22", "pointer", "1", "12",
                                        "24", "pressed", "65", "38", "0", "a"}));

    const int enter = KeyCodes::KOtherKey;
    for (auto [key, code] : {std::pair{Qt::Key_Enter, enter}, {Qt::Key_Return, KeyCodes::KReturn},
                             {Qt::Key_Backspace, KeyCodes::KBackspace}, {Qt::Key_Down, KeyCodes::KDown},
                             {Qt::Key_QuoteLeft, 0x60}, {Qt::Key_BraceLeft, enter}}) {
        QTest::keyRelease(view.get(), key);
        EXPECT_EQ(takeLines(), QStringList({"released", QString::number(code)})) << key;
    }
}

// Events that arrive while a method runs wait for it and keep their order.
TEST_F(EventDeliveryTest, EventsArrivingWhileAMethodRunsFollowItInArrivalOrder)
{
    load();
    view->onLog = [&](const QString& aLine) {
        if (aLine != "pointer" || view->lines.count() > 1)
            return;
        QTest::keyClick(view.get(), Qt::Key_B);
        QTest::mouseRelease(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(3, 4));
        view->displaySignal(QStringLiteral("off"));
    };
    view->show();
    takeLines();
    QTest::mousePress(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(1, 2));
    EXPECT_EQ(takeLines(), QStringList({"pointer", "0", "1", "2", "pressed", "66", "0", "0", "b", "released", "66",
                                        "pointer", "1", "3", "4", "background"}));
}

// The window is shown before the machine exists; the application hears of
// it once main has run.
TEST_F(EventDeliveryTest, ShowHideTheDisplayAndTheDesktopMakeForegroundAndBackgroundEvents)
{
    view->show();
    load();
    EXPECT_EQ(takeLines(), QStringList({"foreground"}));
    EXPECT_TRUE(MainView::foregroundReported());

    view->displaySignal(QStringLiteral("off"));
    view->displaySignal(QStringLiteral("off"));
    view->displaySignal(QStringLiteral("dimmed"));
    view->setWindowActive(EFalse);
    view->setWindowActive(ETrue);
    view->hide();
    view->show();
    EXPECT_EQ(takeLines(), QStringList({"background", "foreground", "background", "foreground", "background",
                                        "foreground"}));
}

TEST_F(EventDeliveryTest, BeforeTheMachineExistsOnlyTheFlagsChange)
{
    view->show();
    view->displaySignal(QStringLiteral("off"));
    load();
    EXPECT_TRUE(view->lines.isEmpty());
    view->displaySignal(QStringLiteral("on"));
    EXPECT_EQ(takeLines(), QStringList({"foreground"}));
}

// A fatal error and the application's own end both end the process from
// inside the event handler.
TEST_F(EventDeliveryTest, HowTheApplicationEndsDecidesTheExitStatus)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::string fatalKey = KEvents;
    fatalKey.replace(fatalKey.find("keyReleased:"), 12, "keyReleased:\n    native 0, 0");
    EXPECT_EXIT(
        {
            load(fatalKey);
            QTest::keyRelease(view.get(), Qt::Key_X);
        },
        ::testing::ExitedWithCode(1), "FATAL: UnknownException \\(CODE:11\\)");

    std::string endsItself = KEvents;
    endsItself.replace(endsItself.find("background:"), 11, "background:\n    ldstr \"bye\"\n    native 32, 2");
    EXPECT_EXIT(
        {
            view->show();
            load(endsItself);
            view->hide();
        },
        ::testing::ExitedWithCode(0), "");
}

// A host that halted the application (the runner, after an error, keeps
// the window open on its last picture) still gets paint events; they show
// the picture without a canvas, so there is no root to remove and no
// error line about one. Halting lasts for the process, so it runs in a child.
TEST_F(EventDeliveryTest, PaintsAfterTheHostHaltedTheApplicationAreQuiet)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            load();
            view->show();
            if (!QTest::qWaitForWindowExposed(view.get()))
                std::exit(2);
            EventCall::halt();
            const QByteArray errors = capturedStderr([&] { view->repaint(); });
            std::fputs(errors.constData(), stderr);
            std::exit(errors.contains("Removing non-existing root") ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

}
