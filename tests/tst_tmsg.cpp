#include "bus/tmsg.h"

#include <QtTest>

class TestTMsg : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
};

void TestTMsg::parse_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("fields"); // "from|fromName|fromSub|to|toName|toSub|cmd|params|kind|code"
    QTest::addColumn<QStringList>("paramList");
    const auto row = [](const char *name, const char *line, const char *fields, const QStringList &paramList = {}) {
        QTest::newRow(name) << QString::fromUtf8(line) << QString::fromUtf8(fields) << paramList;
    };
    row("request with sub-names", "Client.panel>Kestrune.Line1 GetNowGas",
        "Client.panel|Client|panel|Kestrune.Line1|Kestrune|Line1|GetNowGas||0|5");
    row("extra blanks", "A>B   SetGas    x   y  ", "A|A||B|B||SetGas|x y|0|2", {"x", "y"});
    row("tabs and leading blanks", " \tA>B\tStat\t\tall ", "A|A||B|B||Stat|all|0|7", {"all"});
    row("sender with several dots", "A.b.c>B cmd", "A.b.c|A|b.c|B|B||cmd||0|14");
    row("dot only after first blank", "A>B x.y z", "A|A||B|B||x.y|z|0|14", {"z"});
    row("empty destination name", "A>.x Stat", "A|A||.x||x|Stat||0|7");
    row("greater-than in parameters", "A>B SetPurge x>y 2", "A|A||B|B||SetPurge|x>y 2|0|3", {"x>y", "2"});
    row("wrong case", "A>B setgas", "A|A||B|B||setgas||0|14");
    row("reply", "Dev1>Kestrune.V3 @IsOn ch3 1", "Dev1|Dev1||Kestrune.V3|Kestrune|V3|@IsOn|ch3 1|1|8", {"ch3", "1"});
    row("reply word not a reply row", "A>B @GetGas 1", "A|A||B|B||@GetGas|1|1|14", {"1"});
    row("event", "Dev1.ch3>Kestrune _ChangedValue 12.5", "Dev1.ch3|Dev1|ch3|Kestrune|Kestrune||_ChangedValue|12.5|2|12",
        {"12.5"});
    row("no blank", "A>B", "A|A||||||B|3|14");
    row("no greater-than", "hello  world", "|||||||hello world|3|14");
    row("empty line", " \t ", "||||||||3|14");
    row("blank inside sender", "X Stat Y>Z", "|||||||X Stat Y>Z|3|14");
    row("not ASCII", "\u00e9.a>B\u3000Stat \u00fc", "\u00e9.a|\u00e9|a|B|B||Stat|\u00fc|0|7", {"\u00fc"});
    row("control character kept, tab a blank", "A>B x\x01\ty", "A|A||B|B||x\x01|y|0|14", {"y"});
}

// Every line is parsed into a message that already held another one, so
// nothing of the earlier line may be left behind.
void TestTMsg::parse()
{
    QFETCH(QString, line);
    QFETCH(QString, fields);
    QFETCH(QStringList, paramList);

    // The same read from the line's bytes, as they arrive.
    for (const bool bytes : {false, true}) {
        TMsg msg;
        msg.parse(QStringLiteral("Old.sub>Older.sub OldCmd p1 p2"));
        const int kind = bytes ? msg.parseUtf8(line.toUtf8()) : msg.parse(line);
        const QStringList got{msg.from, msg.fromName, msg.fromSub, msg.to, msg.toName, msg.toSub, msg.cmd, msg.params};
        QCOMPARE(QStringLiteral("%1|%2|%3").arg(got.join(QLatin1Char('|'))).arg(kind).arg(msg.code), fields);
        QCOMPARE(msg.paramList, paramList);
        QCOMPARE(msg.kind, kind);
    }
}

QTEST_GUILESS_MAIN(TestTMsg)
#include "tst_tmsg.moc"
