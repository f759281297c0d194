#include "config/config.h"
#include "config/takeitem.h"
#include "support/messagecapture.h"
#include "support/tempworkdir.h"

#include <QtTest>

namespace {

const QString startedFromQuote = QStringLiteral("In a line [%1] item is started from quote but not ended by quote");
const QString endedByQuote = QStringLiteral("In a line [%1] item is started from not quote but ended by quote");

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
    void stripComment_data();
    void stripComment();
    void readFile_data();
    void readFile();
    void include();
    void includeCycle();
    void includeTwiceSideBySide();
    void missingFile();
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
    QTest::newRow("tab separates") << "a\tb" << "a" << "\tb" << "";
    QTest::newRow("last item") << "  word" << "word" << "" << "";
    QTest::newRow("quoted with hash") << " \"a b # c\" d" << "a b # c" << " d" << "";
    QTest::newRow("quoted glued to next") << "\"ab\"cd" << "ab" << "cd" << "";
    QTest::newRow("empty quotes") << "\"\" x" << "" << " x" << "";
    QTest::newRow("apostrophe is plain") << " don't x" << "don't" << " x" << "";
    QTest::newRow("blank text") << " \t " << "" << "" << "";
    QTest::newRow("empty text") << "" << "" << "" << "";
    QTest::newRow("unterminated quote") << " \"abc" << "abc" << "" << startedFromQuote.arg(" \"abc");
    QTest::newRow("ends with quote") << " abc\"" << "abc\"" << "" << endedByQuote.arg(" abc\"");
    QTest::newRow("ends with quote, more") << " abc\" more" << "abc\"" << " more" << endedByQuote.arg(" abc\" more");
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
    if (warning.isEmpty())
        QVERIFY(capture.messages().isEmpty());
    else
        QCOMPARE(capture.messages(), QStringList{warning});
}

void TestConfig::stripComment_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("content");

    QTest::newRow("comment after value") << "KEY a # note" << "KEY a ";
    QTest::newRow("no comment") << "KEY a" << "KEY a";
    QTest::newRow("comment only") << "# note" << "";
    QTest::newRow("hash in quotes") << "KEY \"a # b\" c # d" << "KEY \"a # b\" c ";
    QTest::newRow("apostrophe hides hash") << "KEY don't # note" << "KEY don't # note";
    QTest::newRow("name with apostrophe") << "NAME O'Hara # text" << "NAME O'Hara # text";
    QTest::newRow("quotes mixed kinds") << "K \"a' # b" << "K \"a' ";
    QTest::newRow("single quotes pair") << "K 'x' # y" << "K 'x' ";
}

void TestConfig::stripComment()
{
    QFETCH(QString, line);
    QFETCH(QString, content);
    QCOMPARE(::stripComment(line), content);
}

void TestConfig::readFile_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("quoted value with hash") << QByteArray("KEY \"a b # c\" d\n")
                                            << QStringList{"KEY|a b # c| \"a b # c\" d"};
    QTest::newRow("comment keeps trailing blank") << QByteArray("KEY a # note\n") << QStringList{"KEY|a| a "};
    QTest::newRow("apostrophe hides comment") << QByteArray("KEY don't # note\n")
                                              << QStringList{"KEY|don't| don't # note"};
    QTest::newRow("key only") << QByteArray("TELSO_PORT\n") << QStringList{"TELSO_PORT||"};
    QTest::newRow("quoted key") << QByteArray("\"my key\" v w\n") << QStringList{"my key|v| v w"};
    QTest::newRow("CR LF line ends") << QByteArray("A 1\r\nB 2\r\n") << QStringList{"A|1| 1", "B|2| 2"};
    QTest::newRow("no final line end") << QByteArray("A 1") << QStringList{"A|1| 1"};
    QTest::newRow("blank and comment lines") << QByteArray("\n   \n\t\n# x\n  # y\nA\n") << QStringList{"A||"};
    QTest::newRow("empty file") << QByteArray() << QStringList{};
    QTest::newRow("case kept, order kept") << QByteArray("valve 1\nVALVE 2\nvalve 3\n")
                                           << QStringList{"valve|1| 1", "VALVE|2| 2", "valve|3| 3"};
    QTest::newRow("UTF-8") << QByteArray("NAME \xe7\xaa\x92\xe7\xb4\xa0\n") << QStringList{QStringLiteral("NAME|窒素| 窒素")};
}

void TestConfig::readFile()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, entries);

    TempWorkDir dir;
    Config cfg;
    QVERIFY(cfg.readFile(dir.write("plant.cfg", text)));
    QCOMPARE(flatten(cfg), entries);
}

void TestConfig::include()
{
    TempWorkDir dir;
    QDir().mkdir("dir name");
    dir.write("sub.cfg", "S 1\n");
    dir.write("dir name/sub.cfg", "T 2\n");
    dir.write("main.cfg", "A 0\ninclude sub.cfg ignored words\nB 1\nInclude \"dir name/sub.cfg\"\nINCLUDE\nC 2\n");

    MessageCapture capture;
    Config cfg;
    QVERIFY(cfg.readFile("main.cfg"));
    QCOMPARE(flatten(cfg), (QStringList{"A|0| 0", "S|1| 1", "B|1| 1", "T|2| 2", "C|2| 2"}));
    // An INCLUDE without a name tries the empty name and says so.
    QVERIFY(capture.contains("Can't open config file : "));
}

void TestConfig::includeCycle()
{
    TempWorkDir dir;
    dir.write("a.cfg", "A 1\nINCLUDE b.cfg\nA 2\n");
    dir.write("b.cfg", "B 1\nINCLUDE a.cfg\nINCLUDE b.cfg\nB 2\n");

    MessageCapture capture;
    Config cfg;
    QVERIFY(cfg.readFile("a.cfg"));
    QCOMPARE(flatten(cfg), (QStringList{"A|1| 1", "B|1| 1", "B|2| 2", "A|2| 2"}));
    const QStringList warnings = capture.messages().filter("already being read");
    QCOMPARE(warnings.size(), 2);
    QVERIFY(warnings.at(0).endsWith("a.cfg"));
    QVERIFY(warnings.at(1).endsWith("b.cfg"));
}

void TestConfig::includeTwiceSideBySide()
{
    TempWorkDir dir;
    dir.write("sub.cfg", "S 1\n");
    dir.write("main.cfg", "INCLUDE sub.cfg\nINCLUDE sub.cfg\n");
    Config cfg;
    QVERIFY(cfg.readFile("main.cfg"));
    QCOMPARE(flatten(cfg), (QStringList{"S|1| 1", "S|1| 1"}));
}

void TestConfig::missingFile()
{
    TempWorkDir dir;
    MessageCapture capture;
    Config cfg;
    cfg.readFile(dir.write("a.cfg", "A 1\n"));
    QVERIFY(!cfg.readFile("missing.cfg"));
    QCOMPARE(capture.messages(), QStringList{"Can't open config file : missing.cfg"});
    QCOMPARE(flatten(cfg), QStringList{"A|1| 1"});
}

void TestConfig::lookups()
{
    TempWorkDir dir;
    Config cfg;
    QVERIFY(cfg.readFile(dir.write("a.cfg", "K first x\nTELSO_PORT\nK second y\nk lower\n")));
    QCOMPARE(cfg.value("K", "def"), QString("second"));
    QCOMPARE(cfg.entries("K"), (QStringList{" first x", " second y"}));
    QCOMPARE(cfg.value("TELSO_PORT", "6057"), QString(""));
    QCOMPARE(cfg.value("NONE", "6057"), QString("6057"));
    QVERIFY(cfg.entries("NONE").isEmpty());
}

void TestConfig::readArgs_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("file and flag") << QStringList{"prog", "-c", "plant.cfg", "-j"}
                                   << QStringList{"-c|plant.cfg|plant.cfg", "-j||"};
    QTest::newRow("several values") << QStringList{"prog", "-x", "a", "b"} << QStringList{"-x|a|a b"};
    QTest::newRow("negative number is a value") << QStringList{"prog", "-c", "-5"} << QStringList{"-c|-5|", "-5||"};
    QTest::newRow("point number is a value") << QStringList{"prog", "-c", "-.5"} << QStringList{"-c|-.5|", "-.5||"};
    QTest::newRow("option is no value") << QStringList{"prog", "-c", "-x"} << QStringList{"-c||", "-x||"};
    QTest::newRow("last argument") << QStringList{"prog", "a", "-c"} << QStringList{"-c||"};
    QTest::newRow("words before options skipped") << QStringList{"prog", "a", "b"} << QStringList{};
    QTest::newRow("lone dash") << QStringList{"prog", "-", "x"} << QStringList{"-|x|x"};
    QTest::newRow("program path is examined") << QStringList{"-p", "v"} << QStringList{"-p|v|v"};
}

void TestConfig::readArgs()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, entries);

    QList<QByteArray> storage;
    for (const QString &a : args)
        storage << a.toUtf8();
    QList<char *> argv;
    for (QByteArray &b : storage)
        argv << b.data();

    Config cfg;
    cfg.readArgs(int(argv.size()), argv.data());
    QCOMPARE(flatten(cfg), entries);
}

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
