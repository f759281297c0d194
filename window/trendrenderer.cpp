#include "window/trendrenderer.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// Every line of a trend is level or upright and one pixel wide: written
// straight into the image, a day of a large plant draws many times faster
// than through a painter.
class Pixels
{
public:
    explicit Pixels(QImage &image)
        : bits(reinterpret_cast<QRgb *>(image.bits()))
        , stride(int(image.bytesPerLine() / 4))
        , width(image.width())
        , height(image.height())
    {
    }

    void upright(int x, int y0, int y1, QRgb color)
    {
        if (x < 0 || x >= width)
            return;
        if (y0 > y1)
            std::swap(y0, y1);
        y0 = std::max(y0, 0);
        y1 = std::min(y1, height - 1);
        for (int y = y0; y <= y1; ++y)
            bits[y * stride + x] = color;
    }

    void level(int x0, int x1, int y, QRgb color, bool dashed)
    {
        if (y < 0 || y >= height)
            return;
        x0 = std::max(x0, 0);
        x1 = std::min(x1, width - 1);
        QRgb *row = bits + y * stride;
        for (int x = x0; x <= x1; ++x) {
            if (!dashed || (x / 4) % 2 == 0)
                row[x] = color;
        }
    }

private:
    QRgb *bits;
    int stride;
    int width;
    int height;
};

} // namespace

QImage renderTrendPicture(const TrendPicture &picture)
{
    const qreal dpr = picture.devicePixelRatio;
    const QSize pixels = picture.size * dpr;
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    if (picture.size.isEmpty())
        return image;
    {
        QPainter p(&image);
        for (const TrendPicture::Shade &s : picture.shades)
            p.fillRect(QRectF(s.x0, 0, std::max(1, s.x1 - s.x0), picture.size.height()), s.color);
    }

    Pixels out(image);
    for (const TrendPicture::Curve &c : picture.curves) {
        const QRgb color = c.color.rgb() | 0xff000000u;
        const auto y = [&c, dpr](double v) { return int(std::lround((c.base - v * c.scale) * dpr)); };
        const auto x = [dpr](int column) { return int((column + 0.5) * dpr); };
        int lastX = 0;
        double last = std::nan("");
        for (const TrendColumn &col : c.trace.columns) {
            const int nx = x(col.column);
            // Next to the column before, its upright line already meets this one's.
            if (std::isfinite(last) && nx - lastX > 1)
                out.level(lastX, nx, y(last), color, c.dashed);
            if (std::isfinite(col.low))
                out.upright(nx, y(col.low), y(col.high), color);
            lastX = nx;
            last = col.last;
        }
        if (std::isfinite(last) && !c.trace.columns.isEmpty() && c.trace.endColumn > c.trace.columns.constLast().column)
            out.level(lastX, x(c.trace.endColumn + 1), y(last), color, c.dashed);
    }
    return image;
}
