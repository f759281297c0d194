#include "diagram/chcoord.h"

namespace {

// A range of no extent maps nothing: scale by 0 instead of dividing by it.
double ratio(double num, double den)
{
    return den == 0.0 ? 0.0 : num / den;
}

} // namespace

void ChCoord::setDisp(double x0, double y0, double x1, double y1)
{
    dispX0 = x0;
    dispY0 = y0;
    dispX1 = x1;
    dispY1 = y1;
}

void ChCoord::setReal(double x0, double y0, double x1, double y1)
{
    realX0 = x0;
    realY0 = y0;
    realX1 = x1;
    realY1 = y1;
}

double ChCoord::toDispX(double x) const
{
    return ratio(dispX1 - dispX0, realX1 - realX0) * (x - realX0) + dispX0;
}

double ChCoord::toDispY(double y) const
{
    return dispY1 - (y - realY0) * ratio(dispY1 - dispY0, realY1 - realY0);
}

double ChCoord::toDispW(double len) const
{
    return ratio(dispX1 - dispX0, realX1 - realX0) * len;
}

double ChCoord::toDispH(double len) const
{
    return -ratio(dispY1 - dispY0, realY1 - realY0) * len;
}

double ChCoord::toRealX(double px) const
{
    return ratio(realX1 - realX0, dispX1 - dispX0) * (px - dispX0) + realX0;
}

double ChCoord::toRealY(double py) const
{
    return (dispY1 - py) * ratio(realY1 - realY0, dispY1 - dispY0) + realY0;
}
