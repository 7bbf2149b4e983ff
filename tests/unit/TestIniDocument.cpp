#include "IniDocument.h"

#include <QtTest>

#include <optional>

namespace {

const QString kMissing = QStringLiteral("<missing>");

QString shown(const std::optional<QString> &value)
{
    return value ? *value : kMissing;
}

} // namespace

class TestIniDocument : public QObject
{
    Q_OBJECT

private slots:
    void readsFilesOfOtherPrograms_data();
    void readsFilesOfOtherPrograms();
    void replacingKeepsEveryOtherLineInPlace();
    void replacingMatchesNamesWithoutRegardToCase();
    void newKeyGoesToTheEndOfItsSection();
    void newSectionGoesToTheEndOfTheText_data();
    void newSectionGoesToTheEndOfTheText();
    void outputUsesCrLf();
    void valuesAreWrittenWithoutBlanks();
    void emptyDocument();
};

void TestIniDocument::readsFilesOfOtherPrograms_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    const QString crlf = QStringLiteral("[USERNAME]\r\nusername=13800138000\r\n"
                                        "[PRINTWIDTH]\r\nprintwidth=1\r\n");
    QTest::newRow("crlf") << crlf << "PRINTWIDTH"
                          << "printwidth"
                          << "1";
    QTest::newRow("crlf first section") << crlf << "USERNAME"
                                        << "username"
                                        << "13800138000";
    QTest::newRow("lf") << QStringLiteral("[A]\nx=1\n[B]\nx=2\n") << "B"
                        << "x"
                        << "2";
    QTest::newRow("no final line end") << QStringLiteral("[A]\r\nx=last") << "A"
                                       << "x"
                                       << "last";
    QTest::newRow("mixed line ends") << QStringLiteral("[A]\nx=1\r\ny=2\n") << "A"
                                     << "y"
                                     << "2";
    QTest::newRow("section name in another case")
        << QStringLiteral("[PrintWidth]\r\nprintwidth=1\r\n") << "PRINTWIDTH"
        << "printwidth"
        << "1";
    QTest::newRow("key name in another case")
        << QStringLiteral("[CODEHEAD]\r\nCODEHEAD=;\r\n") << "codehead"
        << "codeHead"
        << ";";
    QTest::newRow("blanks around equals")
        << QStringLiteral("[A]\r\n  key  =  some value  \r\n") << "A"
        << "key"
        << "some value";
    QTest::newRow("tab around equals") << QStringLiteral("[A]\r\nkey\t=\tv\r\n") << "A"
                                       << "key"
                                       << "v";
    QTest::newRow("byte-order mark") << QStringLiteral("\xfeff[A]\r\nx=1\r\n") << "A"
                                     << "x"
                                     << "1";
    QTest::newRow("comments and blank lines")
        << QStringLiteral("; written by hand\r\n\r\n[A]\r\n; x=0\r\n\r\nx=1\r\n") << "A"
        << "x"
        << "1";
    QTest::newRow("first of duplicate keys")
        << QStringLiteral("[A]\r\nx=first\r\nx=second\r\n") << "A"
        << "x"
        << "first";
    QTest::newRow("equals inside value")
        << QStringLiteral("[URL]\r\nURL=https://h/d?a=1&b=2\r\n") << "URL"
        << "URL"
        << "https://h/d?a=1&b=2";
    QTest::newRow("empty value") << QStringLiteral("[A]\r\nx=\r\n") << "A"
                                 << "x"
                                 << "";
    QTest::newRow("chinese value")
        << QStringLiteral("[COLLECTMETHOD]\r\ncollectmethod=手动输入\r\n") << "COLLECTMETHOD"
        << "collectmethod"
        << "手动输入";
    QTest::newRow("key only in another section")
        << QStringLiteral("[A]\r\nx=1\r\n[B]\r\ny=2\r\n") << "B"
        << "x" << kMissing;
    QTest::newRow("missing section") << QStringLiteral("[A]\r\nx=1\r\n") << "C"
                                     << "x" << kMissing;
    QTest::newRow("key before any section") << QStringLiteral("x=1\r\n[A]\r\ny=2\r\n") << "A"
                                            << "x" << kMissing;
    QTest::newRow("commented key") << QStringLiteral("[A]\r\n;x=1\r\n") << "A"
                                   << "x" << kMissing;
    QTest::newRow("key name is not a prefix") << QStringLiteral("[A]\r\nxy=1\r\n") << "A"
                                              << "x" << kMissing;
}

void TestIniDocument::readsFilesOfOtherPrograms()
{
    QFETCH(QString, text);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);

    const IniDocument document(text);
    QCOMPARE(shown(document.value(section, key)), value);
}

void TestIniDocument::replacingKeepsEveryOtherLineInPlace()
{
    IniDocument document(QStringLiteral("; kept\r\n[A]\r\nx=1\r\n; note on y\r\ny=2\r\n\r\n"
                                        "[B]\r\nx=3\r\n"));
    document.setValue(QStringLiteral("A"), QStringLiteral("x"), QStringLiteral("9"));
    document.setValue(QStringLiteral("B"), QStringLiteral("x"), QStringLiteral("8"));

    QCOMPARE(document.toText(),
        QStringLiteral("; kept\r\n[A]\r\nx=9\r\n; note on y\r\ny=2\r\n\r\n"
                       "[B]\r\nx=8\r\n"));
    QCOMPARE(shown(document.value(QStringLiteral("A"), QStringLiteral("x"))), QStringLiteral("9"));
    QCOMPARE(shown(document.value(QStringLiteral("A"), QStringLiteral("y"))), QStringLiteral("2"));
}

void TestIniDocument::replacingMatchesNamesWithoutRegardToCase()
{
    IniDocument document(QStringLiteral("[CodeHead]\r\nCODEHEAD=#\r\n[X]\r\nk=v\r\n"));
    document.setValue(QStringLiteral("CODEHEAD"), QStringLiteral("codeHead"), QStringLiteral(";"));

    const QStringList lines = document.toText().split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 5); // four lines and the empty rest after the last CR LF
    QCOMPARE(lines.at(0), QStringLiteral("[CodeHead]"));
    QCOMPARE(lines.at(1).section(QLatin1Char('='), 0, 0).toLower(), QStringLiteral("codehead"));
    QCOMPARE(lines.at(1).section(QLatin1Char('='), 1), QStringLiteral(";"));
    QCOMPARE(lines.at(2), QStringLiteral("[X]"));
    QCOMPARE(lines.at(3), QStringLiteral("k=v"));
    QCOMPARE(shown(document.value(QStringLiteral("codehead"), QStringLiteral("CodeHead"))),
        QStringLiteral(";"));
}

void TestIniDocument::newKeyGoesToTheEndOfItsSection()
{
    IniDocument document(QStringLiteral("[adbinfo]\r\nport=10000\r\nIP=192.168.1.160\r\n"
                                        "[PRINT]\r\nprint=0\r\n"));
    document.setValue(QStringLiteral("adbinfo"), QStringLiteral("com"), QStringLiteral("COM3"));
    document.setValue(QStringLiteral("ADBINFO"), QStringLiteral("ConnMode"), QStringLiteral("1"));

    QCOMPARE(document.toText(),
        QStringLiteral("[adbinfo]\r\nport=10000\r\nIP=192.168.1.160\r\n"
                       "com=COM3\r\nConnMode=1\r\n[PRINT]\r\nprint=0\r\n"));
}

void TestIniDocument::newSectionGoesToTheEndOfTheText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("crlf") << QStringLiteral("[A]\r\nx=1\r\n")
                          << QStringLiteral("[A]\r\nx=1\r\n[NOW_VERSION]\r\nnow_version=1\r\n");
    QTest::newRow("lf") << QStringLiteral("[A]\nx=1\n")
                        << QStringLiteral("[A]\r\nx=1\r\n[NOW_VERSION]\r\nnow_version=1\r\n");
    QTest::newRow("no final line end") << QStringLiteral(
        "[A]\r\nx=1") << QStringLiteral("[A]\r\nx=1\r\n[NOW_VERSION]\r\nnow_version=1\r\n");
    QTest::newRow("empty text") << QString()
                                << QStringLiteral("[NOW_VERSION]\r\nnow_version=1\r\n");
}

void TestIniDocument::newSectionGoesToTheEndOfTheText()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);

    IniDocument document(text);
    document.setValue(
        QStringLiteral("NOW_VERSION"), QStringLiteral("now_version"), QStringLiteral("1"));
    QCOMPARE(document.toText(), expected);
}

void TestIniDocument::outputUsesCrLf()
{
    IniDocument document(QStringLiteral("; by hand\n[A]\nx=1\n\n[B]\ny=2\n"));
    document.setValue(QStringLiteral("A"), QStringLiteral("z"), QStringLiteral("3"));
    document.setValue(QStringLiteral("C"), QStringLiteral("w"), QStringLiteral("4"));

    const QString text = document.toText();
    QVERIFY(text.endsWith(QStringLiteral("\r\n")));
    QCOMPARE(text.count(QLatin1Char('\n')), text.count(QStringLiteral("\r\n")));
    QCOMPARE(text.count(QLatin1Char('\r')), text.count(QStringLiteral("\r\n")));
    QVERIFY(!text.contains(QChar(0xFEFF)));
    // Each value is readable back after the round trip through text.
    const IniDocument again(text);
    QCOMPARE(shown(again.value(QStringLiteral("A"), QStringLiteral("x"))), QStringLiteral("1"));
    QCOMPARE(shown(again.value(QStringLiteral("A"), QStringLiteral("z"))), QStringLiteral("3"));
    QCOMPARE(shown(again.value(QStringLiteral("B"), QStringLiteral("y"))), QStringLiteral("2"));
    QCOMPARE(shown(again.value(QStringLiteral("C"), QStringLiteral("w"))), QStringLiteral("4"));
}

void TestIniDocument::valuesAreWrittenWithoutBlanks()
{
    IniDocument document(QStringLiteral("[A]\r\nx = 1\r\n"));
    document.setValue(QStringLiteral("A"), QStringLiteral("x"), QStringLiteral("2"));
    document.setValue(
        QStringLiteral("A"), QStringLiteral("url"), QStringLiteral("https://h/?a=1&b=2"));

    const QStringList lines = document.toText().split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 4);
    QCOMPARE(QString(lines.at(1)).remove(QLatin1Char(' ')), QStringLiteral("x=2"));
    QCOMPARE(lines.at(2), QStringLiteral("url=https://h/?a=1&b=2"));
    QCOMPARE(
        shown(IniDocument(document.toText()).value(QStringLiteral("A"), QStringLiteral("url"))),
        QStringLiteral("https://h/?a=1&b=2"));
}

void TestIniDocument::emptyDocument()
{
    const IniDocument document;
    QCOMPARE(shown(document.value(QStringLiteral("A"), QStringLiteral("x"))), kMissing);
    QCOMPARE(document.toText(), QString());
}

QTEST_GUILESS_MAIN(TestIniDocument)
#include "TestIniDocument.moc"
