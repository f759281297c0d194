#include "config/config.h"
#include "config/takeitem.h"
#include "support/argv.h"
#include "support/messagecapture.h"
#include "support/tempworkdir.h"

#include <QtTest>

namespace {

const QString startedFromQuote = "In a line [%1] item is started from quote but not ended by quote",
              endedByQuote = "In a line [%1] item is started from not quote but ended by quote";

// Entries as "key|value|rest" so a whole reading compares in one go.
QStringList flatten(const Config &cfg)
{
    QStringList out;
    for (const ConfigEntry &e : cfg.allEntries())
        out << e.key + QLatin1Char('|') + e.value + QLatin1Char('|') + e.rest;
    return out;
}

} // namespace

class TestConfig : public QObject
{
    Q_OBJECT

private slots:
    void takeItem_data();
    void takeItem();
    void readFile_data();
    void readFile();
    void lookups();
    void readArgs_data();
    void readArgs();
};

void TestConfig::takeItem_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("remainder");
    QTest::addColumn<QString>("warning");

    QTest::newRow("plain") << " a b" << "a" << " b" << "";
    QTest::newRow("quoted with hash") << " \"a b # c\" d" << "a b # c" << " d" << "";
    QTest::newRow("quoted glued to next") << "\"ab\"cd" << "ab" << "cd" << "";
    QTest::newRow("empty quotes") << "\"\" x" << "" << " x" << "";
    QTest::newRow("blanks only") << " \t " << "" << "" << "";
    QTest::newRow("quote inside a word") << "a\"b c" << "a\"b" << " c" << "";
    QTest::newRow("last word") << "ab" << "ab" << "" << "";
    QTest::newRow("unterminated quote") << " \"abc" << "abc" << "" << startedFromQuote.arg(" \"abc");
    QTest::newRow("ends with quote") << " abc\"" << "abc\"" << "" << endedByQuote.arg(" abc\"");
    QTest::newRow("ends with quote, more") << " abc\" more" << "abc\"" << " more" << endedByQuote.arg(" abc\" more");
    QTest::newRow("no-break space is no blank")
        << QStringLiteral("\u00a0a\u00a0b\vc") << QStringLiteral("\u00a0a\u00a0b") << "\vc" << "";
}

void TestConfig::takeItem()
{
    QFETCH(QString, text);
    QFETCH(QString, item);
    QFETCH(QString, remainder);
    QFETCH(QString, warning);

    MessageCapture capture;
    QString got = QStringLiteral("unset");
    QCOMPARE(::takeItem(text, got), remainder);
    QCOMPARE(got, item);
    QCOMPARE(capture.messages(), warning.isEmpty() ? QStringList() : QStringList{warning});
}

void TestConfig::readFile_data()
{
    QTest::addColumn<QStringList>("files"); // name, text, name, text...; the first is read
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("messages"); // each matches one whole message

    auto one = [](const char *text) { return QStringList{"a.cfg", QString::fromUtf8(text)}; };
    QTest::newRow("quoted value with hash") << one("KEY \"a b # c\" d\n") << QStringList{"KEY|a b # c| \"a b # c\" d"} << QStringList{};
    QTest::newRow("apostrophe hides comment") << one("KEY don't # note\nNAME O'Hara # x\n")
                                              << QStringList{"KEY|don't| don't # note", "NAME|O'Hara| O'Hara # x"} << QStringList{};
    QTest::newRow("comment keeps trailing blank") << one("KEY a # note\nK 'x' # y\n")
                                                  << QStringList{"KEY|a| a ", "K|'x'| 'x' "} << QStringList{};
    QTest::newRow("quoted key, key only") << one("\"my key\" v w\nTELSO_PORT\n") << QStringList{"my key|v| v w", "TELSO_PORT||"} << QStringList{};
    QTest::newRow("CR LF line ends") << one("A 1\r\nB 2\r\n") << QStringList{"A|1| 1", "B|2| 2"} << QStringList{};
    QTest::newRow("blank and comment lines") << one("\n   \n\t\n# x\n  # y\nA\n") << QStringList{"A||"} << QStringList{};
    QTest::newRow("case kept, order kept") << one("valve 1\nVALVE 2\nvalve 3\n")
                                           << QStringList{"valve|1| 1", "VALVE|2| 2", "valve|3| 3"} << QStringList{};
    QTest::newRow("UTF-8") << one("NAME \xe7\xaa\x92\xe7\xb4\xa0\n") << QStringList{QStringLiteral("NAME|窒素| 窒素")} << QStringList{};
    QTest::newRow("include: nested, quoted name, empty name")
        << QStringList{"main.cfg", "A 0\ninclude sub.cfg ignored words\nB 1\nInclude \"dir name/sub.cfg\"\nINCLUDE\nC 2\n",
                       "sub.cfg", "S 1\n", "dir name/sub.cfg", "T 2\n"}
        << QStringList{"A|0| 0", "S|1| 1", "B|1| 1", "T|2| 2", "C|2| 2"} << QStringList{"Can't open config file : "};
    QTest::newRow("include cycle")
        << QStringList{"a.cfg", "A 1\nINCLUDE b.cfg\nA 2\n", "b.cfg", "B 1\nINCLUDE a.cfg\nINCLUDE b.cfg\nB 2\n"}
        << QStringList{"A|1| 1", "B|1| 1", "B|2| 2", "A|2| 2"}
        << QStringList{"^Skipped INCLUDE of a config file already being read : .*a\\.cfg",
                       "^Skipped INCLUDE of a config file already being read : .*b\\.cfg"};
    QTest::newRow("include the same file twice side by side")
        << QStringList{"main.cfg", "INCLUDE sub.cfg\nINCLUDE sub.cfg\n", "sub.cfg", "S 1\n"}
        << QStringList{"S|1| 1", "S|1| 1"} << QStringList{};
}

void TestConfig::readFile()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, messages);

    TempWorkDir dir;
    QDir().mkdir("dir name");
    for (int i = 0; i < files.size(); i += 2)
        dir.write(files[i], files[i + 1].toUtf8());
    MessageCapture capture;
    Config cfg;
    QVERIFY(cfg.readFile(files[0]));
    QCOMPARE(flatten(cfg), entries);
    for (const QString &m : messages)
        QVERIFY2(capture.messages().indexOf(QRegularExpression(m)) >= 0, qPrintable(m));

    // A missing file fails, says so, and keeps what was read.
    QVERIFY(!cfg.readFile("missing.cfg"));
    QCOMPARE(capture.messages().constLast(), QString("Can't open config file : missing.cfg"));
    QCOMPARE(flatten(cfg), entries);
}

void TestConfig::lookups()
{
    TempWorkDir dir;
    Config cfg;
    QVERIFY(cfg.readFile(dir.write("a.cfg", "K first x\nTELSO_PORT\nK second y\nk lower\n")));
    QCOMPARE(cfg.value("K", "def"), QString("second"));
    QCOMPARE(cfg.entries("K"), (QStringList{" first x", " second y"}));
    QCOMPARE(cfg.value("TELSO_PORT", "x") + "|" + cfg.value("NONE", "x") + cfg.entries("NONE").join(','), QString("|x"));
}

void TestConfig::readArgs_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("file and flag") << QStringList{"prog", "-c", "plant.cfg", "-j"}
                                   << QStringList{"-c|plant.cfg|plant.cfg", "-j||"};
    QTest::newRow("several values") << QStringList{"prog", "-x", "a", "b"} << QStringList{"-x|a|a b"};
    QTest::newRow("negative number is a value") << QStringList{"prog", "-c", "-5"} << QStringList{"-c|-5|", "-5||"};
    QTest::newRow("option is no value") << QStringList{"prog", "-c", "-x"} << QStringList{"-c||", "-x||"};
    QTest::newRow("last argument, words before options skipped") << QStringList{"prog", "a", "-c"} << QStringList{"-c||"};
    QTest::newRow("lone dash") << QStringList{"prog", "-", "x"} << QStringList{"-|x|x"};
    QTest::newRow("program path is examined") << QStringList{"-p", "v"} << QStringList{"-p|v|v"};
}

void TestConfig::readArgs()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, entries);

    Argv argv(args);
    Config cfg;
    cfg.readArgs(argv.argc(), argv.argv());
    QCOMPARE(flatten(cfg), entries);
}

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
