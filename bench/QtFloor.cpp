// The least a Qt Widgets program with a window does before it could run
// any code of an application: the application object, one window shown
// full screen, and the exit. bench/startup times it beside an empty
// application under kelvo-vm, so that the runtime's own share of start-up
// can be read off. That application ends the process from its main, before
// the event loop has run, so the floor ends the same way: returning from
// main instead would add the loop's first round and Qt's teardown, which
// reads fontconfig's whole configuration only to release it (about 3 ms
// here) and would hide the runtime's share.
//
//   qt_floor [--first-frame FILE]
//
// With --first-frame it is the floor of kelvo-run's first frame instead
// (bench/runner_startup): the work that `kelvo-run --headless --frames 0
// --screenshot FILE` does without the runtime. A window of the handset's
// screen is shown and painted for the picture, which is encoded as PNG and
// written to FILE in one piece; then the event loop ends and main returns,
// as in kelvo-run.

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <QWidget>

namespace {

// The handset's screen in landscape, the runner's window at its first
// frame.
const QSize KScreenSize(800, 480);

// Paints what a window must paint at the least: every pixel of the region.
class FirstFrame : public QWidget {
protected:
    void paintEvent(QPaintEvent* aEvent) override
    {
        QPainter painter(this);
        painter.fillRect(aEvent->rect(), Qt::black);
    }
};

bool saveFirstFrame(QWidget& aWindow, const char* aPath)
{
    QByteArray picture;
    QBuffer buffer(&picture);
    buffer.open(QIODevice::WriteOnly);
    if (!aWindow.grab().save(&buffer, "PNG"))
        return false;
    QFile file(QFile::decodeName(aPath));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(picture) == picture.size()
        && file.flush();
}

}

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--first-frame") == 0) {
        FirstFrame window;
        window.resize(KScreenSize);
        window.show();
        const char* path = argv[2];
        QTimer::singleShot(0, &application, [&window, path] {
            QApplication::exit(saveFirstFrame(window, path) ? 0 : 1);
        });
        return application.exec();
    }
    if (argc != 1) {
        std::fputs("usage: qt_floor [--first-frame FILE]\n", stderr);
        return 2;
    }
    QWidget window;
    window.showFullScreen();
    std::exit(0);
}
