// The platform services on this machine: one instance per lock (and no lock left by a dead
// process in the way), finding and ending helper programs by name, playing a sound to its end
// within a bound, and the autostart entry.
#include "AutoStart.h"
#include "ProcessControl.h"
#include "ProcessLock.h"
#include "SingleInstance.h"
#include "Voice.h"
#include "WavFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <memory>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {

// A mono 16-bit WAV of `milliseconds` of silence at 8000 Hz.
bool writeSilence(const QString &path, int milliseconds)
{
    const quint32 rate = 8000;
    const quint32 dataBytes = rate * 2 * static_cast<quint32>(milliseconds) / 1000;
    QByteArray header(44, '\0');
    auto put32 = [&header](int at, quint32 value) { qToLittleEndian(value, header.data() + at); };
    auto put16 = [&header](int at, quint16 value) { qToLittleEndian(value, header.data() + at); };
    header.replace(0, 4, "RIFF");
    put32(4, 36 + dataBytes);
    header.replace(8, 8, "WAVEfmt ");
    put32(16, 16);
    put16(20, 1);
    put16(22, 1);
    put32(24, rate);
    put32(28, rate * 2);
    put16(32, 2);
    put16(34, 16);
    header.replace(36, 4, "data");
    put32(40, dataBytes);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(header) == 44
        && file.write(QByteArray(static_cast<int>(dataBytes), '\0')) == dataBytes;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// CPU time this process has used, user and system, in milliseconds.
long long cpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000LL
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

QString writeScript(const QTemporaryDir &dir, const QString &name, const QByteArray &body)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write("#!/bin/sh\n" + body + "\n");
    file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    return path;
}

} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void secondInstanceFindsTheLockTaken();
    void lockLeftByADeadProcessIsTakenOver_data();
    void lockLeftByADeadProcessIsTakenOver();
    void tillStartedAfterAKilledOneHearsTheAsk();
    void helperProgramIsFoundAndEndedByName();
    void voiceLengthComesFromTheWavHeader();
    void voicePlaysThroughTheConfiguredPlayer();
    void hangingPlayerIsGivenUpWithinTheSoundsLength();
    void missingSoundPlaysNothing();
    void autostartEntryIsWrittenAndRemoved();
    void autostartEntryKeepsAnyPathWhole();
    void parameterLineIsSplitWithoutAShell();
};

void TestPlatform::secondInstanceFindsTheLockTaken()
{
    QTemporaryDir dir;
    qputenv("TALLYPORT_LOCK_DIR", dir.path().toLocal8Bit());
    auto first = std::make_unique<SingleInstance>();
    QVERIFY(first->acquire());
    SingleInstance second;
    QVERIFY(!second.acquire());
    // The updater asks the holder to leave and waits for the lock to go.
    int asked = 0;
    QVERIFY(first->listenForLeave([&asked] { ++asked; }));
    QVERIFY(SingleInstance::isHeld());
    QVERIFY(SingleInstance::askHolderToLeave());
    QTRY_COMPARE(asked, 1);
    // Heard, the ask leaves the holder idle while it leaves (no busy wait on the pipe).
    const long long before = cpuMs();
    QTest::qWait(500);
    QVERIFY2(cpuMs() - before < 200, qPrintable(QString::number(cpuMs() - before)));
    QCOMPARE(asked, 1);
    QVERIFY(SingleInstance::askHolderToLeave());
    QTRY_COMPARE(asked, 2);
    QVERIFY(!SingleInstance::askHolderToLeave(QStringLiteral("NoSuchTill.exe")));
    first->release(); // a restart lets the new process in while the old one still runs
    QVERIFY(!SingleInstance::isHeld());
    QVERIFY(!SingleInstance::askHolderToLeave());
    SingleInstance third;
    QVERIFY(third.acquire());
    // A new holder listens again where the old one did.
    QVERIFY(third.listenForLeave([&asked] { asked += 10; }));
    QVERIFY(SingleInstance::askHolderToLeave());
    QTRY_COMPARE(asked, 12);
    QCOMPARE(asked, 12);
    qunsetenv("TALLYPORT_LOCK_DIR");
}

void TestPlatform::lockLeftByADeadProcessIsTakenOver_data()
{
    QTest::addColumn<QByteArray>("leftBehind");
    QTest::newRow("empty (a power cut between create and write)") << QByteArray();
    QTest::newRow("garbage") << QByteArray("\x01\xff\x00zz", 5);
    QTest::newRow("another machine's lock") << QByteArray("4242\nother-till\nTallyport\nb00t\n");
    QTest::newRow("this machine's, a pid that is gone") << QByteArray("999999\n");
}

void TestPlatform::lockLeftByADeadProcessIsTakenOver()
{
    QFETCH(QByteArray, leftBehind);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ledger.lock"));
    QVERIFY(writeFile(path, leftBehind));
    auto lock = std::make_unique<ProcessLock>(path);
    QCOMPARE(lock->acquire(), ProcessLock::Result::TakenOver);
    QVERIFY(!lock->takenOverFrom().isEmpty()); // for the run log
    QVERIFY(ProcessLock::isHeld(path));
    // A second holder is still refused while the first lives.
    ProcessLock second(path);
    QCOMPARE(second.acquire(), ProcessLock::Result::Held);
    lock.reset();
    QVERIFY(!QFile::exists(path)); // a holder that ends well leaves nothing behind
    QCOMPARE(second.acquire(), ProcessLock::Result::Taken);

    // Held by another living process (one process, with an flock as the till holds it):
    // refused; once that process is gone, taken over.
    second.release();
    QVERIFY(writeFile(path, leftBehind));
    QProcess holder;
    holder.start(QStringLiteral("sh"),
        {QStringLiteral("-c"),
            QStringLiteral("exec 9<>\"$0\" && flock 9 && echo held && exec sleep 30"), path});
    QVERIFY(holder.waitForReadyRead());
    QVERIFY(ProcessLock::isHeld(path));
    QCOMPARE(second.acquire(), ProcessLock::Result::Held);
    holder.kill();
    QVERIFY(holder.waitForFinished());
    QCOMPARE(second.acquire(), ProcessLock::Result::TakenOver);

    // The single-instance lock: a file left by a dead till never keeps the next one out.
    qputenv("TALLYPORT_LOCK_DIR", dir.path().toLocal8Bit());
    QVERIFY(writeFile(dir.filePath(QStringLiteral("Tallyport.exe.lock")), leftBehind));
    SingleInstance instance;
    QVERIFY(instance.acquire());
    QVERIFY(!instance.takenOverFrom().isEmpty());
    SingleInstance another;
    QVERIFY(!another.acquire());
    qunsetenv("TALLYPORT_LOCK_DIR");
}

void TestPlatform::tillStartedAfterAKilledOneHearsTheAsk()
{
    // A till killed while it held the lock leaves its lock file and its leave pipe behind.
    QTemporaryDir dir;
    qputenv("TALLYPORT_LOCK_DIR", dir.path().toLocal8Bit());
    QVERIFY(writeFile(dir.filePath(QStringLiteral("Tallyport.exe.lock")), "31337\n"));
    QCOMPARE(
        ::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("Tallyport.exe.leave"))), 0600), 0);
    SingleInstance till;
    QVERIFY(till.acquire());
    int asked = 0;
    QVERIFY(till.listenForLeave([&asked] { ++asked; }));
    QVERIFY(SingleInstance::askHolderToLeave());
    QTRY_COMPARE(asked, 1);
    qunsetenv("TALLYPORT_LOCK_DIR");
}

void TestPlatform::helperProgramIsFoundAndEndedByName()
{
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("TpProbeHelper"));
    QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), program));
    QVERIFY(!ProcessControl::isRunning(QStringLiteral("TpProbeHelper")));
    QProcess helper;
    helper.start(program, {QStringLiteral("300")});
    QVERIFY(helper.waitForStarted());
    QTRY_VERIFY(ProcessControl::isRunning(QStringLiteral("TpProbeHelper")));

    QCOMPARE(ProcessControl::killAll(QStringLiteral("TpProbeHelper")), 1);
    QVERIFY(helper.waitForFinished(5000));
    QCOMPARE(helper.exitStatus(), QProcess::CrashExit);
    QVERIFY(!ProcessControl::isRunning(QStringLiteral("TpProbeHelper")));
    // Nothing to end is not an error.
    QCOMPARE(ProcessControl::killAll(QStringLiteral("TpProbeHelper")), 0);
}

void TestPlatform::voiceLengthComesFromTheWavHeader()
{
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("pay.wav"));
    QVERIFY(writeSilence(wav, 1500));
    QCOMPARE(WavFile::durationMs(wav), 1500);
    QFile notWav(dir.filePath(QStringLiteral("note.txt")));
    QVERIFY(notWav.open(QIODevice::WriteOnly));
    notWav.write(QByteArray(100, 'x'));
    notWav.close();
    QCOMPARE(WavFile::durationMs(notWav.fileName()), 0);
}

void TestPlatform::voicePlaysThroughTheConfiguredPlayer()
{
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("pay.wav"));
    QVERIFY(writeSilence(wav, 200));
    const QString played = dir.filePath(QStringLiteral("played.txt"));
    const QString player = writeScript(
        dir, QStringLiteral("player.sh"), "echo \"$1\" >> '" + played.toLocal8Bit() + "'");
    qputenv("TALLYPORT_PLAYER", player.toLocal8Bit());
    QVERIFY(Voice::playAndWait(wav));
    QFile log(played);
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll(), wav.toLocal8Bit() + "\n");
    qunsetenv("TALLYPORT_PLAYER");
}

void TestPlatform::hangingPlayerIsGivenUpWithinTheSoundsLength()
{
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("pay.wav"));
    QVERIFY(writeSilence(wav, 200));
    const QString player = writeScript(dir, QStringLiteral("stuck.sh"), "exec sleep 60");
    qputenv("TALLYPORT_PLAYER", player.toLocal8Bit());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!Voice::playAndWait(wav));
    QVERIFY2(clock.elapsed() < 30000, "a stuck player held the caller up");
    qunsetenv("TALLYPORT_PLAYER");
}

void TestPlatform::missingSoundPlaysNothing()
{
    const QString marker = QDir::temp().filePath(QStringLiteral("tp-voice-marker"));
    QFile::remove(marker);
    qputenv("TALLYPORT_PLAYER", QByteArray("touch ") + marker.toLocal8Bit());
    QVERIFY(!Voice::playAndWait(QStringLiteral("/nonexistent/pay.wav")));
    QVERIFY(!QFile::exists(marker));
    qunsetenv("TALLYPORT_PLAYER");
}

void TestPlatform::autostartEntryIsWrittenAndRemoved()
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QVERIFY(AutoStart::entryPath().startsWith(config.path()));
    // Removing an entry that was never there is fine.
    QVERIFY(AutoStart::setEnabled(false, QStringLiteral("/opt/Shop/tallyport")));
    QVERIFY(!AutoStart::isEnabled());

    QVERIFY(AutoStart::setEnabled(true, QStringLiteral("/opt/Shop/tallyport")));
    QVERIFY(AutoStart::isEnabled());
    QFile entry(AutoStart::entryPath());
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QByteArray text = entry.readAll();
    QVERIFY(text.startsWith("[Desktop Entry]\n"));
    QVERIFY(text.contains("Exec=\"/opt/Shop/tallyport\"\n"));
    entry.close();

    // The training till keeps its own entry, which starts its launcher, and leaves the shop
    // till's alone.
    QVERIFY(AutoStart::setEnabled(true, QStringLiteral("/opt/Shop/tallyport")));
    const QString shopEntry = AutoStart::entryPath();
    qputenv("TALLYPORT_TRAINING", "1");
    QVERIFY(!AutoStart::isEnabled());
    QVERIFY(AutoStart::setEnabled(
        true, AutoStart::startCommand(QStringLiteral("/opt/Shop/tallyport"))));
    QVERIFY(AutoStart::entryPath() != shopEntry);
    QVERIFY(readFile(AutoStart::entryPath()).contains("Exec=\"/opt/Shop/tallyport-training\"\n"));
    QVERIFY(AutoStart::setEnabled(false, QString()));
    QVERIFY(!AutoStart::isEnabled());
    qunsetenv("TALLYPORT_TRAINING");
    QVERIFY(AutoStart::isEnabled());
    QVERIFY(readFile(shopEntry).contains("Exec=\"/opt/Shop/tallyport\"\n"));

    QVERIFY(AutoStart::setEnabled(false, QStringLiteral("/opt/Shop/tallyport")));
    QVERIFY(!AutoStart::isEnabled());
    qunsetenv("XDG_CONFIG_HOME");
}

void TestPlatform::autostartEntryKeepsAnyPathWhole()
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    // In the file, by the desktop entry's rules, the path is quoted and $ reads \\$, " reads
    // \\", a backslash reads four of them and % reads %%.
    QVERIFY(AutoStart::setEnabled(
        true, QStringLiteral("/opt/My Shop/$HOME \"till\"/50%/a\\b/tallyport")));
    QFile entry(AutoStart::entryPath());
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QByteArray text = entry.readAll();
    QVERIFY2(text.contains(
                 "Exec=\"/opt/My Shop/\\\\$HOME \\\\\"till\\\\\"/50%%/a\\\\\\\\b/tallyport\"\n"),
        text.constData());
    QVERIFY2(text.contains("Path=/opt/My Shop/$HOME \"till\"/50%/a\\\\b\n"), text.constData());
    // A line break would start a new key in the entry: such a path is refused.
    QVERIFY(AutoStart::setEnabled(false, QString()));
    QVERIFY(!AutoStart::setEnabled(true, QStringLiteral("/opt/x\nExec=/bin/evil")));
    QVERIFY(!AutoStart::isEnabled());
    qunsetenv("XDG_CONFIG_HOME");
}

void TestPlatform::parameterLineIsSplitWithoutAShell()
{
    // Each word becomes one file named exactly so: runs of blanks, tabs and line breaks part
    // the words, quotes are kept, and nothing a shell would run or expand is run or expanded.
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    QVERIFY(ProcessControl::openWithParameters(QStringLiteral("/usr/bin/touch"),
        QStringLiteral("a  b\tc\r\nd \"hi there\" $(touch${IFS}ran1) ;touch${IFS}ran2 "
                       "`touch${IFS}ran3` * \n")));
    QDir::setCurrent(previous);
    QStringList expected {"a", "b", "c", "d", "\"hi", "there\"", "$(touch${IFS}ran1)",
        ";touch${IFS}ran2", "`touch${IFS}ran3`", "*"};
    expected.sort();
    QTRY_COMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
    QVERIFY(!ProcessControl::openWithParameters(dir.filePath(QStringLiteral("missing")), "x"));
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "TestPlatform.moc"
