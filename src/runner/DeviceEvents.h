#ifndef KELVO_DEVICEEVENTS_H
#define KELVO_DEVICEEVENTS_H

#include <QString>
#include <QStringList>

// What kelvo-run is told of the devices a workstation lacks: a tilt in
// milli-g, and a position, from the command line (--location) or from
// event-script lines:
//   <millis> tilt X Y Z
//   <millis> location LAT,LON[,ALT] [speed M/S]
//   <millis> location lost

// A position as the user gives it: degrees, metres above sea level, metres
// per second. Without a fix the rest means nothing.
struct PositionFix {
    bool hasFix = false;
    double latitude = 0;
    double longitude = 0;
    bool hasAltitude = false;
    double altitude = 0;
    bool hasSpeed = false;
    double speed = 0;
};

namespace DeviceEvents {

// A tilt is at most this many milli-g on each axis, a hard shake.
const int KStrongestTilt = 16000;
// Heights from below the Dead Sea's shore to well above any aircraft.
const double KLowest = -1000;
const double KHighest = 100000;
// Speeds up to a satellite's, in metres per second.
const double KFastest = 10000;

// "LAT,LON[,ALT]": latitude from -90 to 90, longitude from -180 to 180,
// altitude from KLowest to KHighest. False for anything else.
bool readPosition(const QString& aText, PositionFix& aFix);

// The words after "location": a position and optionally "speed M/S", or
// "lost" for a fix that is gone.
bool readLocation(const QStringList& aWords, PositionFix& aFix);

// The words after "tilt": three whole numbers of milli-g, each within
// KStrongestTilt.
bool readTilt(const QStringList& aWords, int& aX, int& aY, int& aZ);

}

#endif
