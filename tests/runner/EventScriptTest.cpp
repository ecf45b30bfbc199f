#include <gtest/gtest.h>

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
                                   "40 foreground\n",
                                   events, error))
        << error.toStdString();
    ASSERT_EQ(events.size(), 9);
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
        {"0 key press NoSuchKey", "line 1: no such event"},
        {"0 key press Ctrl+A", "line 1: no such event"},
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

}
