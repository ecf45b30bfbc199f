#include "GeoClueLocation.h"

#include <cfloat>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QVariantMap>

#include "FixedLocation.h"

namespace {

const char KService[] = "org.freedesktop.GeoClue2";
const char KManagerPath[] = "/org/freedesktop/GeoClue2/Manager";
const char KManagerInterface[] = "org.freedesktop.GeoClue2.Manager";
const char KClientInterface[] = "org.freedesktop.GeoClue2.Client";
const char KLocationInterface[] = "org.freedesktop.GeoClue2.Location";
const char KPropertiesInterface[] = "org.freedesktop.DBus.Properties";
// The service gives clients positions only once they say who they are.
const char KDesktopId[] = "kelvo-run";
// The values that the service gives for a height or speed it does not know.
const double KUnknownAltitude = -DBL_MAX;

// Calls aCall and hands its reply to aDone, on the event loop, when it
// comes; an error reply is dropped.
template <typename Done>
void callLater(QObject* aContext, const QDBusMessage& aCall, Done aDone)
{
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(aCall), aContext);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, aContext, [watcher, aDone] {
        watcher->deleteLater();
        if (!watcher->isError())
            aDone(watcher->reply());
    });
}

QDBusMessage clientPropertySetting(const QString& aPath, const char* aName, const QVariant& aValue)
{
    QDBusMessage call = QDBusMessage::createMethodCall(KService, aPath, KPropertiesInterface, "Set");
    call << QString(KClientInterface) << QString(aName) << QVariant::fromValue(QDBusVariant(aValue));
    return call;
}

}

void GeoClueLocation::start()
{
    iWanted = true;
    if (!iClient.isEmpty())
        startClient();
    if (iAsked || !QDBusConnection::systemBus().isConnected())
        return;
    iAsked = true;
    callLater(this, QDBusMessage::createMethodCall(KService, KManagerPath, KManagerInterface, "GetClient"),
              [this](const QDBusMessage& aReply) {
                  clientMade(aReply.arguments().value(0).value<QDBusObjectPath>().path());
              });
}

// The client is told who asks before it starts; its positions arrive as
// signals.
void GeoClueLocation::clientMade(const QString& aClient)
{
    if (aClient.isEmpty())
        return;
    iClient = aClient;
    QDBusConnection::systemBus().connect(KService, aClient, KClientInterface, "LocationUpdated", this,
                                         SLOT(locationUpdated(QDBusObjectPath, QDBusObjectPath)));
    callLater(this, clientPropertySetting(aClient, "DesktopId", QString(KDesktopId)), [this](const QDBusMessage&) {
        if (iWanted)
            startClient();
    });
}

void GeoClueLocation::startClient()
{
    QDBusConnection::systemBus().asyncCall(QDBusMessage::createMethodCall(KService, iClient, KClientInterface, "Start"));
}

void GeoClueLocation::stop()
{
    iWanted = false;
    if (!iClient.isEmpty())
        QDBusConnection::systemBus().asyncCall(
            QDBusMessage::createMethodCall(KService, iClient, KClientInterface, "Stop"));
}

// The location object holds the fix; the layer takes it as it takes
// gpsd's.
void GeoClueLocation::locationUpdated(const QDBusObjectPath&, const QDBusObjectPath& aNew)
{
    QDBusMessage call = QDBusMessage::createMethodCall(KService, aNew.path(), KPropertiesInterface, "GetAll");
    call << QString(KLocationInterface);
    callLater(this, call, [this](const QDBusMessage& aReply) {
        const QVariantMap values = qdbus_cast<QVariantMap>(aReply.arguments().value(0));
        PositionFix fix;
        bool latitudeRead = false;
        bool longitudeRead = false;
        fix.latitude = values.value("Latitude").toDouble(&latitudeRead);
        fix.longitude = values.value("Longitude").toDouble(&longitudeRead);
        fix.altitude = values.value("Altitude", KUnknownAltitude).toDouble();
        fix.hasAltitude = fix.altitude > KUnknownAltitude;
        fix.speed = values.value("Speed", -1.0).toDouble();
        fix.hasSpeed = fix.speed >= 0;
        fix.hasFix = latitudeRead && longitudeRead;
        if (iWanted && fix.hasFix)
            locationFeedTakeFix(FixedLocation::deviceFix(fix));
    });
}
