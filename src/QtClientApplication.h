#ifndef KELVO_QTCLIENTAPPLICATION_H
#define KELVO_QTCLIENTAPPLICATION_H

#include <QAbstractNativeEventFilter>
#include <QApplication>

class MainView;

// The application object. On X11 it also watches the desktop's root-window
// property that names the application in front, and tells the view whether
// that is this one. Elsewhere (Wayland, offscreen) there is no such
// property and the view keeps the state that showing and hiding give it.
class QtClientApplication : public QApplication, public QAbstractNativeEventFilter {
public:
    QtClientApplication(int& aArgc, char** aArgv);

    void setView(MainView* aView) { iView = aView; }

    // Never consumes an event: Qt always handles it as well.
    bool nativeEventFilter(const QByteArray& aEventType, void* aMessage, qintptr* aResult) override;

private:
    void checkActiveWindow();

    MainView* iView = nullptr;
};

#endif
