#ifndef KELVO_HOSTAPPLICATIONS_H
#define KELVO_HOSTAPPLICATIONS_H

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include "ProgramTestSupport.h"
#include "HostTestSupport.h"
#include "MainView.h"

// Applications for the host's tests, in assembly (docs/assembly.md). Each
// event method logs what it received, one value a line, so that a test can
// read the order of arrival from the log.
namespace HostApplications {

// Main registers an App object; its event methods log what they get.
const char KEvents[] = R"(
.class App
.record frame0
.record frame1 size2=1
.record frame2 size2=2
.record frame3 size2=3
.record frame5 size2=5
.static "main" main, frame0
.static "vminternalthrow<int>,<*string>" internalThrow, frame3
.virtual "<*application>.pointer event<int>at x<int>y<int>modifiers<int>"
.impl App, pointer, frame5
.virtual "<*application>.key pressed<*keyevent>"
.impl App, keyPressed, frame2
.virtual "<*application>.key released<*keyevent>"
.impl App, keyReleased, frame2
.virtual "<*application>.foreground event"
.impl App, foreground, frame1
.virtual "<*application>.background event"
.impl App, background, frame1

main:
    newarray 1, 1
    dup
    setclass App
    native 32, 5            ; System: the application object
    ret 0, 1

; [application, kind, x, y, modifiers, return address]
pointer:
    ldstr "pointer"
    native 30, 1
    ldloc.s -5
    itos
    native 30, 1
    ldloc.s -4
    itos
    native 30, 1
    ldloc.s -3
    itos
    native 30, 1
    ret 0, 6

; [application, key event cell, return address]
keyPressed:
    ldstr "pressed"
    native 30, 1
    ldloc.s -2
    native 35, 1            ; key code
    itos
    native 30, 1
    ldloc.s -2
    native 35, 3            ; scan code
    itos
    native 30, 1
    ldloc.s -2
    native 35, 2            ; extra
    itos
    native 30, 1
    ldloc.s -2
    native 35, 4            ; text
    native 30, 1
    ret 0, 3

keyReleased:
    ldstr "released"
    native 30, 1
    ldloc.s -2
    native 35, 1
    itos
    native 30, 1
    ret 0, 3

foreground:
    ldstr "foreground"
    native 30, 1
    ret 0, 2

background:
    ldstr "background"
    native 30, 1
    ret 0, 2

; [code, message, return address]: a failure is logged, and the method
; that failed goes on after the instruction.
internalThrow:
    ldloc.s -3
    itos
    native 30, 1
    ldloc.s -2
    native 30, 1
    ret 0, 3
)";

// Writes the assembled program as the directory's index.mcb.
inline void install(const std::string& aSource, const QString& aDirectory)
{
    ProgramTestSupport::installProgram(aSource, aDirectory.toStdString());
}

// A view whose application's log lines are kept instead of printed. A test
// can act on a line while the method that logged it still runs.
class RecordingView : public MainView {
public:
    using MainView::MainView;

    void log(const OString& aMessage) override
    {
        lines.append(aMessage.toQString());
        if (onLog)
            onLog(lines.last());
    }

    QStringList lines;
    std::function<void(const QString&)> onLog;
};

}

#endif
