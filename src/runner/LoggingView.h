#ifndef KELVO_LOGGINGVIEW_H
#define KELVO_LOGGINGVIEW_H

// The project's headers come before Qt's (see OString.h).
#include "MainView.h"

#include <QFile>

#include <functional>

// The view of the runner: the application's log lines go to the standard
// error stream as on the device and, when the runner was given a log file,
// to that file too, as UTF-8. The runner has its say before the
// application's exit ends the process.
class LoggingView : public MainView {
public:
    using MainView::MainView;

    // False when aPath cannot be written.
    bool openRunnerLog(const QString& aPath);

    void log(const OString& aMessage) override;
    // A line of the runner's own, "kelvo-run: " and aText, on the standard
    // error stream and in the runner's log.
    void note(const QString& aText);

    // aBeforeExit runs when the application ends itself; it may end the
    // process itself, with a status of its own.
    void setBeforeExit(std::function<void()> aBeforeExit) { iBeforeExit = std::move(aBeforeExit); }
    [[noreturn]] void exitApplication() override;

private:
    QFile iRunnerLog;
    std::function<void()> iBeforeExit;
};

#endif
