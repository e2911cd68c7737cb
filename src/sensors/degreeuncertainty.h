#pragma once

#include "protocol/dutinfo.h"

#include <QMap>

class SensorData;

// The expanded uncertainty U (k = 2) of a sensor's corrected value at each covered degree, in %
// of its +20 °C value, as the residuals are stated: the fit's own uncertainty there (from its
// covariance, over the same normalised mid values the K0..K5 fit takes) combined with the
// scatter of the readings at that degree (the standard deviation of their mean, 0 where fewer
// than two distinct values were read).
class DegreeUncertainty
{
public:
    // U per degree of lo..hi that has a mid value of `kind`. Empty without a non-zero value at
    // +20 °C, or when the fit leaves no degree of freedom to estimate its scatter from; a
    // certificate then states no U and the guarded decision cannot pass.
    static QMap<int, double> of(const SensorData &data, eTypeData kind, int degree, int lo, int hi);
};
