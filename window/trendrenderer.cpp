#include "window/trendrenderer.h"

#include <QLineF>
#include <QPainter>
#include <QPen>

#include <cmath>

QImage renderTrendPicture(const TrendPicture &picture)
{
    const QSize pixels = picture.size * picture.devicePixelRatio;
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(picture.devicePixelRatio);
    image.fill(Qt::transparent);
    if (picture.size.isEmpty())
        return image;
    QPainter p(&image);
    const double height = picture.size.height();
    for (const TrendPicture::Shade &s : picture.shades)
        p.fillRect(QRectF(s.x0, 0, std::max(1, s.x1 - s.x0), height), s.color);

    QList<QLineF> lines;
    for (const TrendPicture::Curve &c : picture.curves) {
        const QList<TrendColumn> &cols = c.trace.columns;
        if (cols.isEmpty())
            continue;
        const auto y = [&c](double v) { return c.base - v * c.scale; };
        lines.clear();
        lines.reserve(cols.size() * 2 + 1);
        double x = 0;
        double last = std::nan("");
        for (const TrendColumn &col : cols) {
            const double nx = col.column + 0.5;
            if (std::isfinite(last))
                lines.append(QLineF(x, y(last), nx, y(last)));
            if (std::isfinite(col.low))
                lines.append(QLineF(nx, y(col.low), nx, y(col.high)));
            x = nx;
            last = col.last;
        }
        if (std::isfinite(last) && c.trace.endColumn >= cols.constLast().column)
            lines.append(QLineF(x, y(last), c.trace.endColumn + 1.0, y(last)));
        QPen pen(c.color, 0, c.dashed ? Qt::DashLine : Qt::SolidLine);
        pen.setCosmetic(true);
        p.setPen(pen);
        p.drawLines(lines);
    }
    return image;
}
