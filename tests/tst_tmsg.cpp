#include "bus/commandtable.h"
#include "bus/tmsg.h"

#include <QtTest>

class TestTMsg : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void parseClearsPreviousLine();
    void commandTable_data();
    void commandTable();
};

void TestTMsg::parse_data()
{
    QTest::addColumn<QString>("line");
    // "from|fromName|fromSub|to|toName|toSub|cmd|params" in one go
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QStringList>("paramList");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("code");

    QTest::newRow("request with sub-names")
        << "Client.panel>Kestrune.Line1 GetNowGas"
        << "Client.panel|Client|panel|Kestrune.Line1|Kestrune|Line1|GetNowGas|" << QStringList() << 0 << 5;
    QTest::newRow("extra blanks") << "A>B   SetGas    x   y  "
                                  << "A|A||B|B||SetGas|x y" << QStringList{"x", "y"} << 0 << 2;
    QTest::newRow("tabs and leading blanks") << " \tA>B\tStat\t\tall "
                                             << "A|A||B|B||Stat|all" << QStringList{"all"} << 0 << 7;
    QTest::newRow("sender with several dots") << "A.b.c>B cmd"
                                              << "A.b.c|A|b.c|B|B||cmd|" << QStringList() << 0 << 14;
    QTest::newRow("destination with several dots") << "A>B.c.d cmd"
                                                   << "A|A||B.c.d|B|c.d|cmd|" << QStringList() << 0 << 14;
    QTest::newRow("dot only after first blank") << "A>B x.y z"
                                                << "A|A||B|B||x.y|z" << QStringList{"z"} << 0 << 14;
    QTest::newRow("empty destination name") << "A>.x Stat"
                                            << "A|A||.x||x|Stat|" << QStringList() << 0 << 7;
    QTest::newRow("greater-than in parameters") << "A>B SetPurge x>y 2"
                                                << "A|A||B|B||SetPurge|x>y 2" << QStringList{"x>y", "2"} << 0 << 3;
    QTest::newRow("wrong case") << "A>B setgas"
                                << "A|A||B|B||setgas|" << QStringList() << 0 << 14;
    QTest::newRow("reply") << "Dev1>Kestrune.V3 @IsOn ch3 1"
                           << "Dev1|Dev1||Kestrune.V3|Kestrune|V3|@IsOn|ch3 1" << QStringList{"ch3", "1"} << 1 << 8;
    QTest::newRow("reply word not a reply row") << "A>B @GetGas 1"
                                                << "A|A||B|B||@GetGas|1" << QStringList{"1"} << 1 << 14;
    QTest::newRow("event") << "Dev1.ch3>Kestrune _ChangedValue 12.5"
                           << "Dev1.ch3|Dev1|ch3|Kestrune|Kestrune||_ChangedValue|12.5" << QStringList{"12.5"} << 2
                           << 12;
    QTest::newRow("unknown event") << "A>B _Foo"
                                   << "A|A||B|B||_Foo|" << QStringList() << 2 << 14;
    // Lines that are no messages keep the code a fresh message starts with.
    QTest::newRow("no blank") << "A>B"
                              << "A|A||||||B" << QStringList() << 3 << 14;
    QTest::newRow("no greater-than") << "hello  world"
                                     << "|||||||hello world" << QStringList() << 3 << 14;
    QTest::newRow("empty line") << ""
                                << "|||||||" << QStringList() << 3 << 14;
    QTest::newRow("whitespace only") << " \t  "
                                     << "|||||||" << QStringList() << 3 << 14;
    QTest::newRow("blank inside sender") << "X Stat Y>Z"
                                         << "|||||||X Stat Y>Z" << QStringList() << 3 << 14;
}

void TestTMsg::parse()
{
    QFETCH(QString, line);
    QFETCH(QString, fields);
    QFETCH(QStringList, paramList);
    QFETCH(int, kind);
    QFETCH(int, code);

    TMsg msg;
    QCOMPARE(msg.parse(line), kind);
    const QStringList got{msg.from, msg.fromName, msg.fromSub, msg.to, msg.toName, msg.toSub, msg.cmd, msg.params};
    QCOMPARE(got.join(QLatin1Char('|')), fields);
    QCOMPARE(msg.paramList, paramList);
    QCOMPARE(msg.kind, kind);
    QCOMPARE(msg.code, code);
}

void TestTMsg::parseClearsPreviousLine()
{
    TMsg msg;
    msg.parse(QStringLiteral("Client.panel>Kestrune.Line1 SetNewGas N2 10"));
    QCOMPARE(msg.parse(QStringLiteral("A>B Stat")), 0);
    QCOMPARE(msg.fromSub, QString());
    QCOMPARE(msg.toSub, QString());
    QCOMPARE(msg.params, QString());
    QVERIFY(msg.paramList.isEmpty());
    QCOMPARE(msg.code, 7);

    TMsg copy = msg;
    msg.parse(QStringLiteral("C>D GetGas"));
    QCOMPARE(copy.cmd, QStringLiteral("Stat"));
}

void TestTMsg::commandTable_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<int>("code");

    const char *words[] = {"IsBusy",        "SetNewGas",           "SetGas",           "SetPurge",
                           "GetMinFlow",    "GetNowGas",           "GetGas",           "Stat",
                           "@IsOn",         "@GetValue",           "@GetSettingValue", "_ChangedIsOn",
                           "_ChangedValue", "_ChangedSettingValue"};
    for (int code = 0; code < 14; ++code)
        QTest::newRow(words[code]) << QString::fromLatin1(words[code]) << code;
    QTest::newRow("lower case") << "stat" << 14;
    QTest::newRow("without reply mark") << "IsOn" << 14;
    QTest::newRow("trailing blank") << "Stat " << 14;
    QTest::newRow("empty word") << "" << 14;
}

void TestTMsg::commandTable()
{
    QFETCH(QString, word);
    QFETCH(int, code);

    QCOMPARE(commandCode(word), code);
    if (code < 14) {
        QCOMPARE(QString::fromLatin1(CommandTable[code].word), word);
        QCOMPARE(CommandTable[code].code, code);
    }
    QCOMPARE(QString::fromLatin1(CommandTable[14].word), QString());
    QCOMPARE(CommandTable[14].code, 14);
}

QTEST_GUILESS_MAIN(TestTMsg)
#include "tst_tmsg.moc"
