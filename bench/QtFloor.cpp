// The least a Qt Widgets program with a window does before it could run
// any code of an application: the application object, one window shown
// full screen, and the exit. bench/startup times it beside an empty
// application under kelvo-vm, so that the runtime's own share of start-up
// can be read off.

#include <QApplication>
#include <QTimer>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QWidget window;
    window.showFullScreen();
    QTimer::singleShot(0, &application, &QApplication::quit);
    return application.exec();
}
