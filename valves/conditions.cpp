#include "valves/conditions.h"

#include "nodes/anode.h"
#include "config/writelog.h"

#include <QCoreApplication>
#include <QDebug>
#include <QStringList>

static QString boolWord(bool b)
{
    return b ? QStringLiteral("true") : QStringLiteral("false");
}

bool flowingFromWord(const QString &word)
{
    return word.toUpper() == QLatin1String("ON");
}

bool termHolds(const CondTerm *term)
{
    const bool flowing = term->node->isFlowing();
    qDebug().noquote() << termText(term) + QLatin1Char(' ') + boolWord(flowing) + QLatin1Char(' ') +
                              boolWord(term->flowing);
    return flowing == term->flowing;
}

QString termText(const CondTerm *term)
{
    return QStringLiteral("%1 %2").arg(term->node->typeName(), term->node->label);
}

QString describeTerms(const Condition &condition)
{
    QString text;
    for (const CondTerm *term : condition)
        text += QStringLiteral("[%1]:[%2], ")
                    .arg(termText(term), term->flowing ? QStringLiteral("1") : QStringLiteral("0"));
    return text;
}

QString describeCondition(const Condition &condition)
{
    QStringList pieces;
    for (const CondTerm *term : condition) {
        const QString words = term->flowing ? QObject::tr("flowing gas through the valve [%1]")
                                            : QObject::tr("not flowing gas through the valve [%1]");
        pieces.append(words.arg(termText(term)));
    }
    return pieces.join(QObject::tr(" and "));
}

bool checkConditions(const QList<Condition> &conditions, const QString &label, const QString &operation,
                     QString &message)
{
    message.clear();
    if (conditions.isEmpty())
        return true;
    for (const Condition &cond : conditions) {
        bool ok = true;
        for (const CondTerm *term : cond) {
            if (!termHolds(term)) {
                ok = false;
                break;
            }
        }
        writeLog(QStringLiteral("Valv [%1] : checking a condition to %2 [%3] : is [%4]")
                     .arg(label, operation, describeTerms(cond), ok ? QStringLiteral("1") : QStringLiteral("0")));
        if (ok)
            return true;
        message +=
            QCoreApplication::translate("aValve", "A condition '%2' is not fulfilled.  ").arg(describeCondition(cond));
    }
    return false;
}
