#include "fit/polynomial.h"

double Polynomial::at(const double *c, int count, double t)
{
    double value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = value * t + c[i];
    return value;
}
