#ifndef KELVO_GEOCLUELOCATION_H
#define KELVO_GEOCLUELOCATION_H

#include <QDBusObjectPath>
#include <QObject>
#include <QString>

// The desktop's own location service, GeoClue 2 on the system bus, as a
// source of fixes for the location layer where gpsd cannot be reached.
// Every call is asynchronous, so the event loop never waits for the
// service; without a system bus, without the service, or when the service
// refuses, nothing happens and the application simply gets no positions,
// as it would without gpsd.
class GeoClueLocation : public QObject {
    Q_OBJECT

public:
    // Asks the service for a client and starts it, unless one runs.
    void start();
    // Stops the client, if one runs.
    void stop();

private slots:
    void locationUpdated(const QDBusObjectPath& aOld, const QDBusObjectPath& aNew);

private:
    void clientMade(const QString& aClient);
    void startClient();

    // The client's object path once the service made one.
    QString iClient;
    // A client was asked for; a service that refused is not asked again.
    bool iAsked = false;
    bool iWanted = false;
};

#endif
