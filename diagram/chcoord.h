#pragma once

// Maps diagram units (origin bottom left, y upwards) onto widget pixels
// (origin top left, y downwards) and back.
class ChCoord
{
public:
    void setDisp(double x0, double y0, double x1, double y1);
    void setReal(double x0, double y0, double x1, double y1);

    double toDispX(double x) const;
    double toDispY(double y) const;
    double toDispW(double len) const;
    double toDispH(double len) const;
    double toRealX(double px) const;
    double toRealY(double py) const;

private:
    double dispX0 = 0.0;
    double dispY0 = 0.0;
    double dispX1 = 0.0;
    double dispY1 = 0.0;
    double realX0 = 0.0;
    double realY0 = 0.0;
    double realX1 = 0.0;
    double realY1 = 0.0;
};
