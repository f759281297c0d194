#include "bus/tmsg.h"

#include "bus/commandtable.h"

#include <cstring>

namespace {

// False when the text is as simplifying leaves it, which is how nearly
// every line arrives.
bool needsSimplifying(QStringView text)
{
    if (text.isEmpty())
        return false;
    if (text.front() == u' ' || text.back() == u' ')
        return true;
    bool blank = false;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u' ') {
            if (blank)
                return true;
            blank = true;
            continue;
        }
        blank = false;
        if (u < 0x80 ? (u >= 0x09 && u <= 0x0d) : c.isSpace())
            return true;
    }
    return false;
}

// True when the bytes are ASCII text as simplifying leaves it, which is how
// nearly every line arrives: such a line is read from its bytes as they are.
bool plainAscii(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return true;
    if (bytes.front() == ' ' || bytes.back() == ' ')
        return false;
    bool blank = false;
    for (const char c : bytes) {
        const uchar u = uchar(c);
        if (u == ' ') {
            if (blank)
                return false;
            blank = true;
            continue;
        }
        blank = false;
        if (u >= 0x80 || (u >= 0x09 && u <= 0x0d))
            return false;
    }
    return true;
}

qsizetype indexIn(QStringView text, char c, qsizetype from = 0)
{
    return text.indexOf(QLatin1Char(c), from);
}

// Latin-1 text is searched for a character as for a string of them; memchr
// finds it in the bytes directly.
qsizetype indexIn(QLatin1String text, char c, qsizetype from = 0)
{
    if (from >= text.size())
        return -1;
    const void *at = std::memchr(text.data() + from, c, size_t(text.size() - from));
    return at ? static_cast<const char *>(at) - text.data() : -1;
}

QString textOf(QStringView text)
{
    return text.toString();
}

QString textOf(QLatin1String text)
{
    return QString(text);
}

} // namespace

void TMsg::clear()
{
    from.clear();
    fromName.clear();
    fromSub.clear();
    to.clear();
    toName.clear();
    toSub.clear();
    cmd.clear();
    params.clear();
    paramList.clear();
}

int TMsg::parse(const QString &text)
{
    return parse(QString(text));
}

int TMsg::parse(QString &&text)
{
    clear();
    const QString line = needsSimplifying(text) ? std::move(text).simplified() : std::move(text);
    return parseSimplified(QStringView(line));
}

int TMsg::parseUtf8(QByteArrayView line)
{
    if (!plainAscii(line))
        return parse(QString::fromUtf8(line));
    clear();
    return parseSimplified(QLatin1String(line.data(), line.size()));
}

template <typename Text>
int TMsg::parseSimplified(Text line)
{
    const qsizetype g = indexIn(line, '>');
    const qsizetype b1 = indexIn(line, ' ');
    // Names hold no blanks: a blank before the ">" means this is no message,
    // and cutting the destination there would run backwards.
    if (line.isEmpty() || g < 0 || (b1 >= 0 && b1 < g)) {
        kind = Unparsed;
        params = textOf(line);
        return kind;
    }

    from = textOf(line.left(g));
    const qsizetype fromDot = from.indexOf(QLatin1Char('.'));
    if (fromDot >= 0) {
        fromName = from.left(fromDot);
        fromSub = from.mid(fromDot + 1);
    } else {
        fromName = from;
    }

    if (b1 < 0) {
        kind = Unparsed;
        params = textOf(line.mid(g + 1));
        return kind;
    }

    to = textOf(line.mid(g + 1, b1 - g - 1));
    const qsizetype d = indexIn(line, '.', g + 1);
    if (d >= 0 && d < b1) {
        toName = textOf(line.mid(g + 1, d - g - 1));
        toSub = textOf(line.mid(d + 1, b1 - d - 1));
    } else {
        toName = to;
    }

    // A simplified line never ends in a blank, so a character follows b1.
    const QChar first(line.at(b1 + 1));
    if (first == QLatin1Char('_'))
        kind = Event;
    else if (first == QLatin1Char('@'))
        kind = Reply;
    else
        kind = Request;

    const qsizetype b2 = indexIn(line, ' ', b1 + 1);
    const Text word = line.mid(b1 + 1, b2 < 0 ? -1 : b2 - b1 - 1);
    code = commandCode(word);
    // A known word is shared, not copied.
    cmd = code == CmdUnknown ? textOf(word) : commandWord(code);
    if (b2 < 0)
        return kind;

    // The line is simplified: what follows a blank is too, and its only
    // whitespace is single blanks.
    params = textOf(line.mid(b2 + 1));
    paramList = params.split(QLatin1Char(' '));
    return kind;
}
