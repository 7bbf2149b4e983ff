#include "SandboxOptions.h"

#include <QtTest>

class TestSandboxOptions : public QObject
{
    Q_OBJECT

private slots:
    void defaults();
    void valuesAndFaults();
    void refused_data();
    void refused();
};

namespace {

std::optional<SandboxOptions> parse(const QStringList &arguments, std::string &error)
{
    std::vector<std::string> list;
    for (const QString &argument : arguments) {
        list.push_back(argument.toStdString());
    }
    return SandboxOptions::parse(list, error);
}

} // namespace

void TestSandboxOptions::defaults()
{
    std::string error;
    const auto options = parse({}, error);
    QVERIFY(options);
    QCOMPARE(options->port, 8443);
    QVERIFY(!options->dataDir.empty());
    QVERIFY(options->offerVersion.empty());
    QVERIFY(options->faults.empty());
}

void TestSandboxOptions::valuesAndFaults()
{
    std::string error;
    const auto options = parse(
        {"--port", "0", "--data-dir=/tmp/x", "--offer-version", "2.0", "--cert-host",
            "gateway.example", "--fault-status", "503", "--fault-drop", "--fault-redirects=6",
            "--fault-delay", "250", "--fault-invalid-json", "--fault-count", "3"},
        error);
    QVERIFY2(options, error.c_str());
    QCOMPARE(options->port, 0);
    QCOMPARE(options->dataDir, std::string("/tmp/x"));
    QCOMPARE(options->offerVersion, std::string("2.0"));
    QCOMPARE(options->certHost, std::string("gateway.example"));
    const std::vector<std::pair<Fault::Kind, int>> expected
        = {{Fault::Kind::Status, 503}, {Fault::Kind::Drop, 0}, {Fault::Kind::Redirect, 6},
            {Fault::Kind::Delay, 250}, {Fault::Kind::InvalidJson, 0}};
    QCOMPARE(options->faults.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        QCOMPARE(options->faults[i].kind, expected[i].first);
        QCOMPARE(options->faults[i].value, expected[i].second);
        QCOMPARE(options->faults[i].count, 3);
    }
}

void TestSandboxOptions::refused_data()
{
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("unknown option") << QStringList {"--prot", "1"};
    QTest::newRow("port missing") << QStringList {"--port"};
    QTest::newRow("port text") << QStringList {"--port", "https"};
    QTest::newRow("port too big") << QStringList {"--port", "65536"};
    QTest::newRow("negative port") << QStringList {"--port", "-1"};
    QTest::newRow("empty data dir") << QStringList {"--data-dir="};
    QTest::newRow("status 99") << QStringList {"--fault-status", "99"};
    QTest::newRow("redirects 0") << QStringList {"--fault-redirects", "0"};
    QTest::newRow("count 0") << QStringList {"--fault-count", "0"};
    QTest::newRow("two cert hosts") << QStringList {"--cert-host", "a.example,b.example"};
    QTest::newRow("empty cert host") << QStringList {"--cert-host="};
    QTest::newRow("flag with value") << QStringList {"--fault-drop=1"};
}

void TestSandboxOptions::refused()
{
    QFETCH(QStringList, arguments);

    std::string error;
    QVERIFY(!parse(arguments, error));
    QVERIFY(!error.empty());
}

QTEST_GUILESS_MAIN(TestSandboxOptions)
#include "TestSandboxOptions.moc"
