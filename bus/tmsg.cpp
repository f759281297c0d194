#include "bus/tmsg.h"

#include "bus/commandtable.h"

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
    const qsizetype g = line.indexOf(QLatin1Char('>'));
    const qsizetype b1 = line.indexOf(QLatin1Char(' '));
    // Names hold no blanks: a blank before the ">" means this is no message,
    // and cutting the destination there would run backwards.
    if (line.isEmpty() || g < 0 || (b1 >= 0 && b1 < g)) {
        kind = Unparsed;
        params = line;
        return kind;
    }

    from = line.left(g);
    const qsizetype fromDot = from.indexOf(QLatin1Char('.'));
    if (fromDot >= 0) {
        fromName = from.left(fromDot);
        fromSub = from.mid(fromDot + 1);
    } else {
        fromName = from;
    }

    if (b1 < 0) {
        kind = Unparsed;
        params = line.mid(g + 1);
        return kind;
    }

    to = line.mid(g + 1, b1 - g - 1);
    const qsizetype d = line.indexOf(QLatin1Char('.'), g + 1);
    if (d >= 0 && d < b1) {
        toName = line.mid(g + 1, d - g - 1);
        toSub = line.mid(d + 1, b1 - d - 1);
    } else {
        toName = to;
    }
    return takeCommand(line, b1);
}

int TMsg::takeCommand(const QString &line, qsizetype b1)
{
    // A simplified line never ends in a blank, so a character follows b1.
    const QChar first = line.at(b1 + 1);
    if (first == QLatin1Char('_'))
        kind = Event;
    else if (first == QLatin1Char('@'))
        kind = Reply;
    else
        kind = Request;

    const qsizetype b2 = line.indexOf(QLatin1Char(' '), b1 + 1);
    const QStringView word = QStringView(line).mid(b1 + 1, b2 < 0 ? -1 : b2 - b1 - 1);
    code = commandCode(word);
    // A known word is shared, not copied.
    cmd = code == CmdUnknown ? word.toString() : commandWord(code);
    if (b2 < 0)
        return kind;

    // The line is simplified: what follows a blank is too, and its only
    // whitespace is single blanks.
    params = line.mid(b2 + 1);
    paramList = params.split(QLatin1Char(' '));
    return kind;
}
