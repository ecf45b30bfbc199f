#ifndef KELVO_LOGGINGVIEW_H
#define KELVO_LOGGINGVIEW_H

// The project's headers come before Qt's (see OString.h).
#include "MainView.h"

#include <QFile>

// The view of the runner: the application's log lines go to the standard
// error stream as on the device and, when the runner was given a log file,
// to that file too, as UTF-8.
class LoggingView : public MainView {
public:
    using MainView::MainView;

    // False when aPath cannot be written.
    bool openRunnerLog(const QString& aPath);

    void log(const OString& aMessage) override;

private:
    QFile iRunnerLog;
};

#endif
