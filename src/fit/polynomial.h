#pragma once

#include <array>

// The polynomial c0 + c1·T + … + cn·T^n at T, by Horner's rule. The fit samples its curve with
// it, and the residuals, the window's "Тр. К" curve and the report's plot evaluate K0..K5 with it.
class Polynomial
{
public:
    static double at(const double *c, int count, double t);
    static double at(const std::array<double, 6> &k, double t) { return at(k.data(), 6, t); }
};
