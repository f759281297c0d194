#include "config/takeitem.h"

#include <QDebug>

namespace {

// The blanks between items: the ASCII ones only (tab, line feed, vertical
// tab, form feed, carriage return, space), so a no-break space belongs to
// its item.
bool isBlank(QChar c)
{
    const char16_t u = c.unicode();
    return u == u' ' || (u >= u'\t' && u <= u'\r');
}

qsizetype indexOf(const QString &text, qsizetype from, bool blank)
{
    for (qsizetype i = from; i < text.size(); ++i) {
        if (isBlank(text.at(i)) == blank)
            return i;
    }
    return -1;
}

} // namespace

QString takeItemQuietly(const QString &text, QString &item, ItemQuote &quote)
{
    quote = ItemQuote::Balanced;
    const qsizetype p = indexOf(text, 0, false);
    if (p < 0) {
        item.clear();
        return QString();
    }

    if (text.at(p) == QLatin1Char('"')) {
        const qsizetype e = text.indexOf(QLatin1Char('"'), p + 1);
        if (e >= 0) {
            item = text.mid(p + 1, e - p - 1);
            return text.mid(e + 1);
        }
        quote = ItemQuote::Unclosed;
        item = text.mid(p + 1);
        return QString();
    }

    const qsizetype q = indexOf(text, p + 1, true);
    QString remainder;
    if (q >= 0) {
        item = text.mid(p, q - p);
        remainder = text.mid(q);
    } else {
        item = text.mid(p);
    }
    if (item.endsWith(QLatin1Char('"')))
        quote = ItemQuote::EndsInQuote;
    return remainder;
}

QString quoteWarning(ItemQuote quote, const QString &text)
{
    switch (quote) {
    case ItemQuote::Unclosed:
        return QStringLiteral("In a line [%1] item is started from quote but not ended by quote").arg(text);
    case ItemQuote::EndsInQuote:
        return QStringLiteral("In a line [%1] item is started from not quote but ended by quote").arg(text);
    default:
        return QString();
    }
}

QString takeItem(const QString &text, QString &item)
{
    ItemQuote quote;
    const QString remainder = takeItemQuietly(text, item, quote);
    if (quote != ItemQuote::Balanced)
        qDebug().noquote() << quoteWarning(quote, text);
    return remainder;
}

QString stripComment(const QString &line)
{
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == QLatin1Char('"') || c == QLatin1Char('\''))
            quoted = !quoted;
        else if (c == QLatin1Char('#') && !quoted)
            return line.left(i);
    }
    return line;
}
