#include "EventScript.h"

#include <QIODevice>
#include <QKeySequence>
#include <QRegularExpression>
#include <QStringList>

namespace {

bool readNumber(const QString& aText, int& aNumber)
{
    bool ok = false;
    aNumber = aText.toInt(&ok);
    return ok;
}

// A key by its name as Qt writes it: "A", "5", "Return", "Left", "Space",
// "F5". A single character also types itself.
bool readKey(const QString& aName, ScriptEvent& aEvent)
{
    const QKeySequence sequence = QKeySequence::fromString(aName, QKeySequence::PortableText);
    if (sequence.count() != 1 || sequence[0].keyboardModifiers() != Qt::NoModifier)
        return false;
    aEvent.key = sequence[0].key();
    if (aName.size() == 1)
        aEvent.text = aName;
    else if (aEvent.key == Qt::Key_Space)
        aEvent.text = QStringLiteral(" ");
    return aEvent.key != Qt::Key_unknown;
}

// What an unknown key is told, with the names that it may have instead.
QString unknownKey(const QString& aName)
{
    return QStringLiteral("no such key '%1'; a key is one character (A, 5, /) or one of Qt's key names: Return, "
                          "Backspace, Left, Right, Up, Down, Space, Escape, Tab, Enter, F1 to F35 (docs/runner.md)")
        .arg(aName);
}

// The words after the time; false when they name no event, with aFault
// saying what was wrong where that is more than the line.
bool readEvent(const QStringList& aWords, ScriptEvent& aEvent, QString& aFault)
{
    const QString& what = aWords[0];
    const QString how = aWords.value(1);
    if (what == QLatin1String("pointer") && aWords.size() == 4) {
        if (how == QLatin1String("press"))
            aEvent.kind = ScriptEvent::EPointerPress;
        else if (how == QLatin1String("move"))
            aEvent.kind = ScriptEvent::EPointerMove;
        else if (how == QLatin1String("release"))
            aEvent.kind = ScriptEvent::EPointerRelease;
        else
            return false;
        return readNumber(aWords[2], aEvent.x) && readNumber(aWords[3], aEvent.y);
    }
    if (what == QLatin1String("key") && aWords.size() == 3 && (how == QLatin1String("press") || how == QLatin1String("release"))) {
        aEvent.kind = how == QLatin1String("press") ? ScriptEvent::EKeyPress : ScriptEvent::EKeyRelease;
        if (readKey(aWords[2], aEvent))
            return true;
        aFault = unknownKey(aWords[2]);
        return false;
    }
    if (what == QLatin1String("display") && aWords.size() == 2 && (how == QLatin1String("on") || how == QLatin1String("off"))) {
        aEvent.kind = how == QLatin1String("on") ? ScriptEvent::EDisplayOn : ScriptEvent::EDisplayOff;
        return true;
    }
    if (aWords.size() == 1 && (what == QLatin1String("foreground") || what == QLatin1String("background"))) {
        aEvent.kind = what == QLatin1String("foreground") ? ScriptEvent::EForeground : ScriptEvent::EBackground;
        return true;
    }
    if (what == QLatin1String("screenshot") && aWords.size() == 2) {
        aEvent.kind = ScriptEvent::EScreenshot;
        aEvent.file = how;
        return true;
    }
    if (what == QLatin1String("tilt")) {
        aEvent.kind = ScriptEvent::ETilt;
        return DeviceEvents::readTilt(aWords.mid(1), aEvent.x, aEvent.y, aEvent.z);
    }
    if (what == QLatin1String("location")) {
        aEvent.kind = ScriptEvent::ELocation;
        return DeviceEvents::readLocation(aWords.mid(1), aEvent.position);
    }
    return false;
}

}

namespace EventScript {

bool read(QIODevice& aScript, QVector<ScriptEvent>& aEvents, QString& aError)
{
    QByteArray text;
    for (;;) {
        const QByteArray chunk = aScript.read(KMaxBytes + 1 - text.size());
        if (chunk.isEmpty())
            break;
        text += chunk;
        if (text.size() > KMaxBytes) {
            aError = QStringLiteral("longer than %1 bytes").arg(KMaxBytes);
            return false;
        }
    }
    return parse(QString::fromUtf8(text), aEvents, aError);
}

bool parse(const QString& aScript, QVector<ScriptEvent>& aEvents, QString& aError)
{
    const QStringList lines = aScript.split(QLatin1Char('\n'));
    int previous = 0;
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].size() > KMaxLineLength) {
            aError = QStringLiteral("line %1: longer than %2 characters").arg(i + 1).arg(KMaxLineLength);
            return false;
        }
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        QStringList words = line.split(QRegularExpression(QStringLiteral("\\s+")));
        ScriptEvent event;
        if (!readNumber(words.takeFirst(), event.at) || event.at < previous) {
            aError = QStringLiteral("line %1: a time in milliseconds, not before the last, must come first").arg(i + 1);
            return false;
        }
        QString fault;
        if (words.isEmpty() || !readEvent(words, event, fault)) {
            aError = QStringLiteral("line %1: %2").arg(i + 1).arg(fault.isEmpty() ? QStringLiteral("no such event: '%1'").arg(line) : fault);
            return false;
        }
        if (event.x < -KFarthest || event.x > KFarthest || event.y < -KFarthest || event.y > KFarthest) {
            aError = QStringLiteral("line %1: a position from -%2 to %2 on each axis, not '%3'").arg(i + 1).arg(KFarthest).arg(line);
            return false;
        }
        previous = event.at;
        aEvents.append(event);
    }
    return true;
}

}
