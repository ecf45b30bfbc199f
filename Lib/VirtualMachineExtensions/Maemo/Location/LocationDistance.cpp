#include <cmath>

#include "LocationLayer.h"

namespace {

const double KEarthRadiusKm = 6371.0;

double radians(double aDegrees)
{
    return aDegrees * M_PI / 180.0;
}

}

// The haversine form, which stays accurate for short distances.
double location_distance_between(double latitude_s, double longitude_s, double latitude_f, double longitude_f)
{
    const double dLatitude = radians(latitude_f - latitude_s);
    const double dLongitude = radians(longitude_f - longitude_s);
    const double a = std::sin(dLatitude / 2) * std::sin(dLatitude / 2)
        + std::cos(radians(latitude_s)) * std::cos(radians(latitude_f)) * std::sin(dLongitude / 2)
            * std::sin(dLongitude / 2);
    return 2 * KEarthRadiusKm * std::asin(std::sqrt(std::fmin(1.0, a)));
}
