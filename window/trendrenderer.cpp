#include "window/trendrenderer.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <thread>

namespace {

// Every line of a trend is level or upright and one pixel wide: written
// straight into the image, a day of a large plant draws many times faster
// than through a painter.
class Pixels
{
public:
    explicit Pixels(QImage &image)
        : bits(reinterpret_cast<QRgb *>(image.bits())), stride(int(image.bytesPerLine() / 4)), width(image.width()),
          height(image.height())
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

void niceRange(double &low, double &high, int &ticks)
{
    const double raw = (high - low) / std::max(1, ticks - 1);
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    double step = magnitude;
    for (const double f : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        step = f * magnitude;
        if (step >= raw)
            break;
    }
    low = std::floor(low / step) * step;
    high = std::ceil(high / step) * step;
    ticks = int(std::lround((high - low) / step)) + 1;
}

namespace {

// Every curve cut down to the picture's pixel columns.
QList<TrendTrace> cutDown(const TrendPicture &picture, int width)
{
    const qsizetype n = picture.curves.size();
    QList<TrendTrace> traces(n);
    const auto cut = [&](qsizetype begin, qsizetype end) {
        for (qsizetype i = begin; i < end; ++i) {
            const TrendPicture::Curve &c = picture.curves.at(i);
            traces[i] = decimate(c.series, picture.from, picture.to, width, c.knownUntil);
        }
    };
    // A long range of many curves is cut down on two threads.
    qsizetype points = 0;
    for (const TrendPicture::Curve &c : picture.curves)
        points += c.series.indexAt(picture.to) - std::max<qsizetype>(0, c.series.indexAt(picture.from));
    if (points > 100000 && n > 1) {
        std::thread half(cut, n / 2, n);
        cut(0, n / 2);
        half.join();
    } else {
        cut(0, n);
    }
    return traces;
}

// Per trace, the pixel row of a value: base - value * scale. Values share
// one axis, which goes to result; lanes are one above the other.
QList<std::pair<double, double>> pixelRows(const TrendPicture &picture, const QList<TrendTrace> &traces, double height,
                                           TrendImage &result)
{
    double low = INFINITY;
    double high = -INFINITY;
    for (const TrendTrace &trace : traces) {
        for (const TrendColumn &col : trace.columns) {
            low = std::fmin(low, col.low);
            high = std::fmax(high, col.high);
        }
    }
    QList<std::pair<double, double>> rows;
    if (picture.mode == TrendPicture::Values) {
        if (!std::isfinite(low) || !std::isfinite(high)) {
            low = 0;
            high = 1;
        }
        result.low = std::min(low, 0.0);
        result.high = std::max(high, result.low + 1);
        result.high += (result.high - result.low) * 0.05;
        result.ticks = 6;
        niceRange(result.low, result.high, result.ticks);
        const double scale = height / (result.high - result.low);
        for (qsizetype i = 0; i < traces.size(); ++i)
            rows.append({height + result.low * scale, scale});
    } else {
        const double lane = height / std::max<qsizetype>(1, traces.size());
        for (qsizetype i = 0; i < traces.size(); ++i)
            rows.append({double(i + 1) * lane - lane * 0.15, lane * 0.7});
    }
    return rows;
}

void drawTrace(Pixels &out, const TrendPicture::Curve &c, const TrendTrace &trace, std::pair<double, double> row,
               qreal dpr)
{
    const QRgb color = c.color.rgb() | 0xff000000u;
    const auto y = [base = row.first, scale = row.second, dpr](double v) {
        return int(std::lround((base - v * scale) * dpr));
    };
    const auto x = [dpr](int column) { return int((column + 0.5) * dpr); };
    int lastX = 0;
    double last = std::nan("");
    for (const TrendColumn &col : trace.columns) {
        const int nx = x(col.column);
        // Next to the column before, its upright line already meets this one's.
        if (std::isfinite(last) && nx - lastX > 1)
            out.level(lastX, nx, y(last), color, c.dashed);
        if (std::isfinite(col.low))
            out.upright(nx, y(col.low), y(col.high), color);
        lastX = nx;
        last = col.last;
    }
    if (std::isfinite(last) && !trace.columns.isEmpty() && trace.endColumn > trace.columns.constLast().column)
        out.level(lastX, x(trace.endColumn + 1), y(last), color, c.dashed);
}

} // namespace

TrendImage renderTrendPicture(const TrendPicture &picture)
{
    TrendImage result;
    const qreal dpr = picture.devicePixelRatio;
    QImage &image = result.image;
    image = QImage(picture.size * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    if (picture.size.isEmpty())
        return result;
    const double height = picture.size.height();

    const QList<TrendTrace> traces = cutDown(picture, picture.size.width());
    const QList<std::pair<double, double>> rows = pixelRows(picture, traces, height, result);
    {
        QPainter p(&image);
        for (const TrendPicture::Shade &s : picture.shades)
            p.fillRect(QRectF(s.x0, 0, std::max(1, s.x1 - s.x0), height), s.color);
    }
    Pixels out(image);
    for (qsizetype i = 0; i < traces.size(); ++i)
        drawTrace(out, picture.curves.at(i), traces.at(i), rows.at(i), dpr);
    return result;
}
