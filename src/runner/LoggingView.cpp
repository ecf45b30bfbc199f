#include "LoggingView.h"

#include <cstdio>

bool LoggingView::openRunnerLog(const QString& aPath)
{
    iRunnerLog.setFileName(aPath);
    return iRunnerLog.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

// Each line is flushed at once: the application may end the process
// without anything closing the file.
void LoggingView::log(const OString& aMessage)
{
    MainView::log(aMessage);
    if (!iRunnerLog.isOpen())
        return;
    iRunnerLog.write("LOG: " + aMessage.toQString().toUtf8() + '\n');
    iRunnerLog.flush();
}

void LoggingView::note(const QString& aText)
{
    const QByteArray line = "kelvo-run: " + aText.toUtf8() + '\n';
    std::fputs(line.constData(), stderr);
    if (!iRunnerLog.isOpen())
        return;
    iRunnerLog.write(line);
    iRunnerLog.flush();
}

void LoggingView::exitApplication()
{
    if (iBeforeExit)
        iBeforeExit();
    MainView::exitApplication();
}
