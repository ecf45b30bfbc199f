#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>

#include "EventScript.h"

namespace {

TEST(EventScriptTest, ReadsEveryKindOfEvent)
{
    QVector<ScriptEvent> events;
    QString error;
    ASSERT_TRUE(EventScript::parse("# a comment\n"
                                   "0 pointer press 10 20\n"
                                   "\n"
                                   "  5 pointer move 11 21\n"
                                   "5 pointer release 12 22\n"
                                   "10 key press a\n"
                                   "10 key release Return\n"
                                   "20 display off\n"
                                   "20 display on\n"
                                   "30 background\n"
                                   "40 foreground\n"
                                   "50 screenshot shots/after.png\n",
                                   events, error))
        << error.toStdString();
    ASSERT_EQ(events.size(), 10);
    EXPECT_EQ(events[0].kind, ScriptEvent::EPointerPress);
    EXPECT_EQ(events[1].kind, ScriptEvent::EPointerMove);
    EXPECT_EQ(events[2].kind, ScriptEvent::EPointerRelease);
    EXPECT_EQ(events[2].at, 5);
    EXPECT_EQ(events[2].x, 12);
    EXPECT_EQ(events[2].y, 22);
    EXPECT_EQ(events[3].key, Qt::Key_A);
    EXPECT_EQ(events[3].text, "a");
    EXPECT_EQ(events[4].kind, ScriptEvent::EKeyRelease);
    EXPECT_EQ(events[4].key, Qt::Key_Return);
    EXPECT_EQ(events[4].text, "");
    EXPECT_EQ(events[5].kind, ScriptEvent::EDisplayOff);
    EXPECT_EQ(events[6].kind, ScriptEvent::EDisplayOn);
    EXPECT_EQ(events[7].kind, ScriptEvent::EBackground);
    EXPECT_EQ(events[8].kind, ScriptEvent::EForeground);
    EXPECT_EQ(events[9].kind, ScriptEvent::EScreenshot);
    EXPECT_EQ(events[9].file, "shots/after.png");
}

// The fault names its line; nothing half-read is played.
TEST(EventScriptTest, RejectsWhatDoesNotRead)
{
    const struct {
        const char* script;
        const char* error;
    } cases[] = {
        {"pointer press 1 2", "line 1: a time"},
        {"10 pointer press 1 2\n5 foreground", "line 2: a time"},
        {"0 pointer tap 1 2", "line 1: no such event"},
        {"0 pointer press 1", "line 1: no such event"},
        {"0 pointer press 1 y", "line 1: no such event"},
        {"0 key press NoSuchKey", "line 1: no such key 'NoSuchKey'; a key is one character (A, 5, /) or one of Qt's "
                                  "key names: Return, Backspace, Left, Right, Up, Down"},
        {"0 key press Ctrl+A", "line 1: no such key 'Ctrl+A'"},
        {"0 screenshot", "line 1: no such event"},
        {"0 screenshot a.png b.png", "line 1: no such event"},
        {"0 display dim", "line 1: no such event"},
        {"0", "line 1: no such event"},
    };
    for (const auto& c : cases) {
        QVector<ScriptEvent> events;
        QString error;
        EXPECT_FALSE(EventScript::parse(c.script, events, error)) << c.script;
        EXPECT_TRUE(error.startsWith(c.error)) << error.toStdString();
    }
}

// A script is read only up to its limits: an endless source costs no more
// than the longest script, and a position far enough off the screen to
// overflow the window system's arithmetic is refused with its line.
TEST(EventScriptTest, LimitsBoundWhatIsReadAndPlayed)
{
    QVector<ScriptEvent> events;
    QString error;
    QFile zeros(QStringLiteral("/dev/zero"));
    ASSERT_TRUE(zeros.open(QIODevice::ReadOnly));
    EXPECT_FALSE(EventScript::read(zeros, events, error));
    EXPECT_EQ(error, QStringLiteral("longer than %1 bytes").arg(EventScript::KMaxBytes));

    QByteArray script(EventScript::KMaxBytes, '\n');
    script.replace(0, 14, "10 foreground\n");
    QBuffer buffer(&script);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    EXPECT_TRUE(EventScript::read(buffer, events, error)) << error.toStdString();
    EXPECT_EQ(events.size(), 1);

    const struct {
        QString script;
        const char* error;
    } cases[] = {
        {"0 foreground\n#" + QString(EventScript::KMaxLineLength, 'x'), "line 2: longer than 1024 characters"},
        {"0 pointer press -2147483648 0", "line 1: a position"},
        {"0 pointer move 0 1000001", "line 1: a position"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(EventScript::parse(c.script, events, error));
        EXPECT_TRUE(error.startsWith(c.error)) << error.toStdString();
    }
    EXPECT_TRUE(EventScript::parse("0 pointer press -1000000 1000000", events, error)) << error.toStdString();
}

}
