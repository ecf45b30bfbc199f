#include "MainView.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Clock.h"
#include "ErrorHandling.h"
#include "PortraitRequest.h"

namespace {

const TInt KLandscape = 2;
const TInt KLongSide = 800;
const TInt KShortSide = 480;

const char* const KLogPrefix = "LOG: ";

}

TInt MainView::unsupportedQueryA()
{
    return 0;
}

TInt MainView::unsupportedQueryB()
{
    return 0;
}

OString MainView::pathSeparator()
{
    return OString("/");
}

OString MainView::platformName()
{
    return OString("maemo");
}

TInt64 MainView::nowMicros() const
{
    return iClock ? iClock->nowMicros() : Clock::wallClockMicros();
}

TUint64 MainView::currentTimeMillis()
{
    return static_cast<TUint64>(nowMicros() / 1000);
}

// The wall clock may be set back while the application runs; the elapsed
// time then stays at 0 instead of wrapping to an enormous unsigned value.
TUint64 MainView::elapsedMillis()
{
    const TInt64 elapsed = nowMicros() - iStartTime;
    return elapsed > 0 ? static_cast<TUint64>(elapsed / 1000) : 0;
}

Vestra::DateTime MainView::localDateTime()
{
    return iClock ? Vestra::DateTime::at(iClock->nowMicros() / 1000) : Vestra::DateTime::now();
}

// The console line takes one byte per unit, whatever the locale; the log
// file gets the text intact, as UTF-8.
void MainView::log(const OString& aMessage)
{
    std::string line(KLogPrefix);
    for (TInt i = 0; i < aMessage.length(); ++i)
        line += static_cast<char>(aMessage.charAt(i));
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    if (!iLogFile)
        return;
    const Vec<TUint8> text = aMessage.toUtf8();
    iLogFile->write(reinterpret_cast<const TUint8*>(KLogPrefix), std::strlen(KLogPrefix));
    iLogFile->write(text.data(), text.count());
    iLogFile->writeByte('\n');
}

TInt MainView::unsupportedRequest(const OString& aRequest)
{
    return 0;
}

// Ends at once, from inside whatever application code asked for it: no
// handler, destructor or application method runs any more.
void MainView::exitApplication()
{
    std::exit(0);
}

void MainView::setScreenFlag(TBool aFlag)
{
}

void MainView::setOrientation(TInt aOrientation)
{
    if (aOrientation == iOrientation)
        return;
    iOrientation = aOrientation;
    PortraitRequest::send(aOrientation != KLandscape);
    update();
    emit orientationChanged();
}

TInt MainView::getOrientation()
{
    return iOrientation;
}

TInt MainView::callDll(TInt aExtension, TInt aOperation, TInt aTop, TUint32 aStackBase)
{
    return iDllRegistry.callDll(aExtension, aOperation, aTop, aStackBase);
}

// Any orientation but landscape counts as portrait.
void MainView::getScreenSize(TInt& aWidth, TInt& aHeight)
{
    const TBool landscape = iOrientation == KLandscape;
    aWidth = landscape ? KLongSide : KShortSide;
    aHeight = landscape ? KShortSide : KLongSide;
}

void MainView::setInteractive(TBool aInteractive)
{
}

void MainView::addScreenListener(TUint32 aObject)
{
}

void MainView::removeScreenListener(TUint32 aObject)
{
}

TInt MainView::addTimer(TUint32 aListener, TInt aDelay)
{
    if (aDelay < 0)
        ErrorHandling::raise(EAssertionFailed, "delay >= 0");
    return iScheduler.addTimer(aListener, aDelay);
}

TUint32 MainView::removeTimer(TInt aTimerId)
{
    return iScheduler.removeTimer(aTimerId);
}

TBool MainView::updateTimerDelay(TInt aTimerId, TInt aNewDelay)
{
    if (aNewDelay < 0)
        ErrorHandling::raise(EAssertionFailed, "newDelay >= 0");
    iScheduler.updateTimerDelay(aTimerId, aNewDelay);
    return ETrue;
}
