#include "AppDir.h"
#include "ConfigStore.h"
#include "IniFileLines.h"
#include "System.h"
#include "Text.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <string>

#ifdef Q_OS_WIN
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>
#else
#include "OrdinaryFileAccess.h"

#include <sys/stat.h>
#endif

namespace {

QByteArray q(const std::string &text)
{
    return QByteArray::fromStdString(text);
}

// Text in the local code page, as another Windows program stores it (UTF-8 on Linux, GBK on a
// Chinese Windows).
QByteArray local(const QString &text)
{
    return QByteArray::fromStdString(Text::toLocal(text));
}

#ifdef Q_OS_WIN
// Wine keeps no DACL of a file: it shows one made of the file's Unix mode, where the user's
// bits are the owner's entry, the others' bits an entry for Everyone, and SYSTEM always has
// one. Under Wine the check is thus that Everyone has none.
bool underWine()
{
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

QString sidText(PSID sid)
{
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text))
        return QStringLiteral("?");
    const QString name = QString::fromWCharArray(text);
    LocalFree(text);
    return name;
}
#endif

// Why `path` is not its owner's alone, or an empty text when it is. On Linux: its mode is 0600
// (a directory's 0700). On Windows: this process's user owns it and its DACL grants no one
// else anything (not SYSTEM, not Administrators, not Everyone).
QString accessFault(const QString &path)
{
#ifdef Q_OS_WIN
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    if (GetNamedSecurityInfoW(name.c_str(), SE_FILE_OBJECT,
            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr, &dacl, nullptr,
            &descriptor)
        != ERROR_SUCCESS)
        return QStringLiteral("no security descriptor");
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    GetTokenInformation(token, TokenUser, user.data(), size, &size);
    CloseHandle(token);
    const PSID me = reinterpret_cast<TOKEN_USER *>(user.data())->User.Sid;
    QStringList faults;
    if (!owner || !EqualSid(owner, me))
        faults << QStringLiteral("owned by %1").arg(owner ? sidText(owner) : QStringLiteral("-"));
    if (!dacl)
        faults << QStringLiteral("no DACL: everyone may do anything");
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        ACE_HEADER *header = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void **>(&header)))
            continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
            if (header->AceType != ACCESS_DENIED_ACE_TYPE)
                faults << QStringLiteral("an entry of type %1").arg(header->AceType);
            continue;
        }
        const PSID granted = &reinterpret_cast<ACCESS_ALLOWED_ACE *>(header)->SidStart;
        if (!EqualSid(granted, me)
            && !(underWine() && sidText(granted) == QLatin1String("S-1-5-18")))
            faults << QStringLiteral("grants %1").arg(sidText(granted));
    }
    LocalFree(descriptor);
    return faults.join(QStringLiteral(", "));
#else
    const int bits = permissionBits(path);
    const int expected = QFileInfo(path).isDir() ? 0700 : 0600;
    return bits == expected ? QString() : QStringLiteral("mode 0%1").arg(bits, 0, 8);
#endif
}

} // namespace

class TestConfigStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void defaultPathIsInTheApplicationDirectory();
    void missingFileReadsDefaults();
    void readsFilesOfOtherPrograms_data();
    void readsFilesOfOtherPrograms();
    void readStringIsCutAt259Characters_data();
    void readStringIsCutAt259Characters();
    void readStringAIsCutAt59Bytes_data();
    void readStringAIsCutAt59Bytes();
    void readIntReadsLikeWtoi_data();
    void readIntReadsLikeWtoi();
    void readIntAUsesTheDefaultOnlyWhenMissing_data();
    void readIntAUsesTheDefaultOnlyWhenMissing();
    void firstWriteCreatesTheFileForTheOwnerOnly();
    void createEmptyMakesAnEmptyOwnerOnlyFile();
    void writeLeavesAFileOthersCouldReadToItsOwnerAlone();
    void privateDataDirectoryHandsItsOwnerOnlyRightsDown();
    void createEmptyKeepsAnExistingFile();
    void writeKeepsTheLinesOfOtherPrograms();
    void writeIntoFileWithByteOrderMarkFindsItsSection();
    void chineseTextIsStoredInTheLocalCodePage();
    void eightBitWritesAndReads();
    void everyReadSeesTheLatestWrite();
    void writeToAnUnwritablePathFails();
    void valuesNeverBreakTheirLine_data();
    void valuesNeverBreakTheirLine();
    void unreadableFileIsNeverReplaced();
    void fileInAReadOnlyDirectoryIsWrittenInPlace();
    void readOnlyFileInAReadOnlyDirectoryFailsAndSaysSo();

private:
    QString configPath() const { return m_dir->filePath(QStringLiteral("TallyportConfig.ini")); }
    void writeConfig(const QByteArray &bytes) { QVERIFY(writeFileBytes(configPath(), bytes)); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QTemporaryDir m_home;
};

void TestConfigStore::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("TALLYPORT_HOME", QFile::encodeName(m_home.path()));
#ifndef Q_OS_WIN
    // A permissive mask, so a file created without explicit permissions would show it.
    ::umask(022);
#endif
}

void TestConfigStore::cleanupTestCase()
{
    // Windows removes no directory that is a working directory.
    QDir::setCurrent(QDir::tempPath());
}

void TestConfigStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    // Run logs go to the working directory.
    QVERIFY(QDir::setCurrent(m_home.path()));
}

void TestConfigStore::cleanup()
{
    QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_dir.reset();
}

void TestConfigStore::defaultPathIsInTheApplicationDirectory()
{
    const QString expected = m_home.path() + QStringLiteral("/TallyportConfig.ini");
    QCOMPARE(AppDir::path(), m_home.path());
    QCOMPARE(ConfigStore::defaultPath(), expected);
    QCOMPARE(ConfigStore().path(), expected);
    QCOMPARE(
        AppDir::filePath(QStringLiteral("pay.wav")), m_home.path() + QStringLiteral("/pay.wav"));
}

void TestConfigStore::missingFileReadsDefaults()
{
    const ConfigStore store(configPath());
    QVERIFY(!store.exists());

    QCOMPARE(store.readString(QStringLiteral("USERNAME"), QStringLiteral("username")), QString());
    QCOMPARE(store.readString(QStringLiteral("USERNAME"), QStringLiteral("username"),
                 QStringLiteral("fallback")),
        QStringLiteral("fallback"));
    QCOMPARE(store.readInt(QStringLiteral("PRINTWIDTH"), QStringLiteral("printwidth")), 0);
    QCOMPARE(q(store.readStringA(QStringLiteral("adbinfo"), QStringLiteral("IP"), "192.168.1.160")),
        QByteArray("192.168.1.160"));
    QCOMPARE(store.readIntA(QStringLiteral("adbinfo"), QStringLiteral("port"), 10000), 10000);
    QVERIFY2(!QFileInfo::exists(configPath()), "reading must not create the file");
}

void TestConfigStore::readsFilesOfOtherPrograms_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    const QByteArray windowsFile("[USERNAME]\r\nusername=13800138000\r\n"
                                 "[COLLECTMETHOD]\r\ncollectmethod="
        + local(QStringLiteral("手动输入")) + "\r\n[URL]\r\nURL=https://h/d?a=1&b=2\r\n");
    QTest::newRow("crlf") << windowsFile << "USERNAME"
                          << "username"
                          << "13800138000";
    QTest::newRow("chinese value") << windowsFile << "COLLECTMETHOD"
                                   << "collectmethod"
                                   << "手动输入";
    QTest::newRow("equals inside value") << windowsFile << "URL"
                                         << "URL"
                                         << "https://h/d?a=1&b=2";
    QTest::newRow("byte-order mark")
        << QByteArray("\xef\xbb\xbf[USERNAME]\r\nusername=139\r\n") << "USERNAME"
        << "username"
        << "139";
    QTest::newRow("lf and other case") << QByteArray("[Username]\nUserName = 137 \n") << "USERNAME"
                                       << "username"
                                       << "137";
    QTest::newRow("first of duplicate keys")
        << QByteArray("[NOTE]\r\nnote=1\r\nnote=0\r\n") << "NOTE"
        << "note"
        << "1";
    QTest::newRow("comments") << QByteArray("; settings\r\n[NOTE]\r\n; note=0\r\nnote=1\r\n")
                              << "NOTE"
                              << "note"
                              << "1";
}

void TestConfigStore::readsFilesOfOtherPrograms()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);

    writeConfig(file);
    QCOMPARE(ConfigStore(configPath()).readString(section, key), value);
}

void TestConfigStore::readStringIsCutAt259Characters_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("read");

    const QString ascii300(300, QLatin1Char('a'));
    const QString chinese300(300, QChar(0x6c49)); // 汉, three bytes each in UTF-8, two in GBK
    QTest::newRow("ascii, 300") << ascii300 << ascii300.left(259);
    QTest::newRow("ascii, 259") << ascii300.left(259) << ascii300.left(259);
    QTest::newRow("ascii, 260") << ascii300.left(260) << ascii300.left(259);
    QTest::newRow("chinese, 300") << chinese300 << chinese300.left(259);
    QTest::newRow("chinese, 259") << chinese300.left(259) << chinese300.left(259);
    QTest::newRow("chinese, 100") << chinese300.left(100) << chinese300.left(100);
}

void TestConfigStore::readStringIsCutAt259Characters()
{
    QFETCH(QString, stored);
    QFETCH(QString, read);

    writeConfig("[CASH_SOFTWARE]\r\ncash_software=" + local(stored) + "\r\n");
    QCOMPARE(ConfigStore(configPath())
                 .readString(QStringLiteral("CASH_SOFTWARE"), QStringLiteral("cash_software")),
        read);
}

void TestConfigStore::readStringAIsCutAt59Bytes_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QByteArray>("read");

    const QByteArray long80(80, '7');
    QTest::newRow("80 bytes") << long80 << long80.left(59);
    QTest::newRow("60 bytes") << long80.left(60) << long80.left(59);
    QTest::newRow("59 bytes") << long80.left(59) << long80.left(59);
    QTest::newRow("short") << QByteArray("10.0.0.8") << QByteArray("10.0.0.8");
}

void TestConfigStore::readStringAIsCutAt59Bytes()
{
    QFETCH(QByteArray, stored);
    QFETCH(QByteArray, read);

    writeConfig("[adbinfo]\r\nIP=" + stored + "\r\ncom=" + stored + "\r\n");
    const ConfigStore store(configPath());
    QCOMPARE(q(store.readStringA(QStringLiteral("adbinfo"), QStringLiteral("IP"), "x")), read);
    QCOMPARE(q(store.readStringA(QStringLiteral("adbinfo"), QStringLiteral("com"), "x")), read);
}

void TestConfigStore::readIntReadsLikeWtoi_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("read");

    QTest::newRow("plain") << QByteArray("42") << 42;
    QTest::newRow("leading blank, trailing letters") << QByteArray(" 12abc") << 12;
    QTest::newRow("negative") << QByteArray("-1") << -1;
    QTest::newRow("plus sign") << QByteArray("+7") << 7;
    QTest::newRow("leading zeros") << QByteArray("0010") << 10;
    QTest::newRow("letters") << QByteArray("abc") << 0;
    QTest::newRow("empty") << QByteArray("") << 0;
    QTest::newRow("digits after letters") << QByteArray("x5") << 0;
    QTest::newRow("decimal") << QByteArray("3.9") << 3;
    QTest::newRow("two numbers") << QByteArray("12 34") << 12;
}

void TestConfigStore::readIntReadsLikeWtoi()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, read);

    writeConfig("[PRINTCOUNT]\r\nprintcount=" + stored + "\r\n");
    QCOMPARE(ConfigStore(configPath())
                 .readInt(QStringLiteral("PRINTCOUNT"), QStringLiteral("printcount")),
        read);
}

void TestConfigStore::readIntAUsesTheDefaultOnlyWhenMissing_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("read");

    QTest::newRow("missing key") << QByteArray("[adbinfo]\r\nIP=10.0.0.2\r\n") << 10000;
    QTest::newRow("missing section") << QByteArray("[PRINT]\r\nprint=0\r\n") << 10000;
    QTest::newRow("number") << QByteArray("[adbinfo]\r\nport=8080\r\n") << 8080;
    QTest::newRow("zero") << QByteArray("[adbinfo]\r\nport=0\r\n") << 0;
    QTest::newRow("letters") << QByteArray("[adbinfo]\r\nport=abc\r\n") << 0;
    QTest::newRow("digits then letters") << QByteArray("[adbinfo]\r\nport=12abc\r\n") << 12;
    QTest::newRow("other case") << QByteArray("[ADBINFO]\r\nPORT=9000\r\n") << 9000;
}

void TestConfigStore::readIntAUsesTheDefaultOnlyWhenMissing()
{
    QFETCH(QByteArray, file);
    QFETCH(int, read);

    writeConfig(file);
    QCOMPARE(ConfigStore(configPath())
                 .readIntA(QStringLiteral("adbinfo"), QStringLiteral("port"), 10000),
        read);
}

void TestConfigStore::firstWriteCreatesTheFileForTheOwnerOnly()
{
    const ConfigStore store(configPath());
    QVERIFY(store.writeString(
        QStringLiteral("USERNAME"), QStringLiteral("username"), QStringLiteral("13800138000")));
    QVERIFY(store.exists());
    QCOMPARE(accessFault(configPath()), QString());
    QCOMPARE(readFileBytes(configPath()), QByteArray("[USERNAME]\r\nusername=13800138000\r\n"));

    QVERIFY(store.writeString(
        QStringLiteral("PASSWORD"), QStringLiteral("password"), QStringLiteral("secret")));
    QCOMPARE(accessFault(configPath()), QString());
}

void TestConfigStore::createEmptyMakesAnEmptyOwnerOnlyFile()
{
    const ConfigStore store(configPath());
    QVERIFY(store.createEmpty());
    QVERIFY(store.exists());
    QCOMPARE(QFileInfo(configPath()).size(), qint64(0));
    QCOMPARE(accessFault(configPath()), QString());

    QVERIFY(store.writeString(
        QStringLiteral("PASSWORD"), QStringLiteral("password"), QStringLiteral("secret")));
    QCOMPARE(accessFault(configPath()), QString());
}

void TestConfigStore::writeLeavesAFileOthersCouldReadToItsOwnerAlone()
{
    // Written by another program, or unzipped with the till into a folder every user of the PC
    // may read (on Windows it takes the folder's rights; under Wine those of its mode).
    writeConfig("[USERNAME]\r\nusername=13800138000\r\n");
    QVERIFY(QFile::setPermissions(
        configPath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    QVERIFY2(!accessFault(configPath()).isEmpty(), "the file to start from is not open");
    const ConfigStore store(configPath());
    QVERIFY(store.writeString(
        QStringLiteral("PASSWORD"), QStringLiteral("password"), QStringLiteral("secret")));
    QCOMPARE(accessFault(configPath()), QString());
    QCOMPARE(readFileBytes(configPath()),
        QByteArray("[USERNAME]\r\nusername=13800138000\r\n[PASSWORD]\r\npassword=secret\r\n"));
    // No file of the write is left beside it.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
        QStringList {QStringLiteral("TallyportConfig.ini")});
}

void TestConfigStore::privateDataDirectoryHandsItsOwnerOnlyRightsDown()
{
    // The installed till's data directory: its logs and ledger are made there by other means
    // than the store, and take the directory's rights.
    const QString data = m_dir->filePath(QStringLiteral("tallyport"));
    QVERIFY(QDir().mkpath(data));
    QVERIFY(System::makePrivateDirectory(data));
    QCOMPARE(accessFault(data), QString());
#ifdef Q_OS_WIN
    // Wine hands no rights down (a file's are made of its Unix mode): Windows alone shows it.
    if (!underWine()) {
        const QString log = data + QStringLiteral("/tallyport.log");
        QVERIFY(writeFileBytes(log, "line\r\n"));
        QCOMPARE(accessFault(log), QString());
    }
#endif
}

void TestConfigStore::createEmptyKeepsAnExistingFile()
{
    writeConfig("[NOTE]\r\nnote=1\r\n");
    const ConfigStore store(configPath());
    store.createEmpty();
    QCOMPARE(readFileBytes(configPath()), QByteArray("[NOTE]\r\nnote=1\r\n"));
}

void TestConfigStore::writeKeepsTheLinesOfOtherPrograms()
{
    writeConfig(
        "; edited by hand\n[USERNAME]\nusername = 137\n[Note]\nnote=0\n\n[PRINT]\nprint=1\n");
    const ConfigStore store(configPath());

    QVERIFY(store.writeString(
        QStringLiteral("USERNAME"), QStringLiteral("username"), QStringLiteral("13800138000")));
    QVERIFY(store.writeString(QStringLiteral("NOTE"), QStringLiteral("note"), QStringLiteral("1")));
    QVERIFY(
        store.writeString(QStringLiteral("NOTE"), QStringLiteral("extra"), QStringLiteral("x")));
    QVERIFY(store.writeString(
        QStringLiteral("DOWNLOAD"), QStringLiteral("download"), QStringLiteral("1")));

    const QByteArray bytes = readFileBytes(configPath());
    QVERIFY2(hasOnlyCrLfLineEnds(bytes), bytes.constData());
    QVERIFY(bytes.startsWith("; edited by hand\r\n"));
    QCOMPARE(iniSections(bytes),
        QStringList({QStringLiteral("USERNAME"), QStringLiteral("Note"), QStringLiteral("PRINT"),
            QStringLiteral("DOWNLOAD")}));
    const QList<IniEntry> entries = iniEntries(bytes);
    QCOMPARE(entries.size(), 5);
    QCOMPARE(entries.at(0).value, QStringLiteral("13800138000"));
    QCOMPARE(entries.at(1).value, QStringLiteral("1"));
    QCOMPARE(entries.at(2),
        (IniEntry {QStringLiteral("Note"), QStringLiteral("extra"), QStringLiteral("x")}));
    QCOMPARE(entries.at(3),
        (IniEntry {QStringLiteral("PRINT"), QStringLiteral("print"), QStringLiteral("1")}));
    QCOMPARE(entries.at(4),
        (IniEntry {QStringLiteral("DOWNLOAD"), QStringLiteral("download"), QStringLiteral("1")}));
}

void TestConfigStore::writeIntoFileWithByteOrderMarkFindsItsSection()
{
    writeConfig("\xef\xbb\xbf[USERNAME]\r\nusername=old\r\n");
    const ConfigStore store(configPath());
    QVERIFY(store.writeString(
        QStringLiteral("USERNAME"), QStringLiteral("username"), QStringLiteral("new")));

    const QByteArray bytes = readFileBytes(configPath());
    QCOMPARE(iniSections(bytes), QStringList(QStringLiteral("USERNAME")));
    QCOMPARE(store.readString(QStringLiteral("USERNAME"), QStringLiteral("username")),
        QStringLiteral("new"));
}

void TestConfigStore::chineseTextIsStoredInTheLocalCodePage()
{
    const ConfigStore store(configPath());
    QVERIFY(store.writeString(QStringLiteral("COLLECTMETHOD"), QStringLiteral("collectmethod"),
        QStringLiteral("手动输入")));
    QCOMPARE(readFileBytes(configPath()),
        "[COLLECTMETHOD]\r\ncollectmethod=" + local(QStringLiteral("手动输入")) + "\r\n");
    QCOMPARE(store.readString(QStringLiteral("COLLECTMETHOD"), QStringLiteral("collectmethod")),
        QStringLiteral("手动输入"));
}

void TestConfigStore::eightBitWritesAndReads()
{
    const ConfigStore store(configPath());
    QVERIFY(store.writeStringA(QStringLiteral("adbinfo"), QStringLiteral("IP"), "10.1.2.3"));
    QVERIFY(store.writeStringA(QStringLiteral("adbinfo"), QStringLiteral("com"), "/dev/ttyUSB0"));
    QVERIFY(store.writeStringA(QStringLiteral("adbinfo"), QStringLiteral("ConnMode"), "2"));

    QCOMPARE(readFileBytes(configPath()),
        QByteArray("[adbinfo]\r\nIP=10.1.2.3\r\ncom=/dev/ttyUSB0\r\nConnMode=2\r\n"));
    QCOMPARE(q(store.readStringA(QStringLiteral("adbinfo"), QStringLiteral("IP"), "x")),
        QByteArray("10.1.2.3"));
    QCOMPARE(q(store.readStringA(QStringLiteral("adbinfo"), QStringLiteral("com"), "x")),
        QByteArray("/dev/ttyUSB0"));
    QCOMPARE(store.readIntA(QStringLiteral("adbinfo"), QStringLiteral("ConnMode"), 0), 2);
}

void TestConfigStore::everyReadSeesTheLatestWrite()
{
    const ConfigStore writer(configPath());
    const ConfigStore reader(configPath());
    QCOMPARE(reader.readInt(QStringLiteral("PRINTWIDTH"), QStringLiteral("printwidth")), 0);

    QVERIFY(writer.writeString(
        QStringLiteral("PRINTWIDTH"), QStringLiteral("printwidth"), QStringLiteral("1")));
    QCOMPARE(reader.readInt(QStringLiteral("PRINTWIDTH"), QStringLiteral("printwidth")), 1);

    // Changed behind the store's back by another program.
    writeConfig("[PRINTWIDTH]\r\nprintwidth=2\r\n");
    QCOMPARE(reader.readInt(QStringLiteral("PRINTWIDTH"), QStringLiteral("printwidth")), 2);
}

void TestConfigStore::writeToAnUnwritablePathFails()
{
    // A regular file stands where the directory should be.
    const QString blocker = m_dir->filePath(QStringLiteral("not-a-directory"));
    QVERIFY(writeFileBytes(blocker, "x"));
    const ConfigStore store(blocker + QStringLiteral("/TallyportConfig.ini"));
    QVERIFY(
        !store.writeString(QStringLiteral("NOTE"), QStringLiteral("note"), QStringLiteral("1")));
    QVERIFY(!store.exists());
}

void TestConfigStore::valuesNeverBreakTheirLine_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("stored");

    QTest::newRow("a new section after CR LF")
        << QStringLiteral("notes\r\n[GATEWAY_HOST]\r\ngateway_host=https://elsewhere")
        << QStringLiteral("notes  [GATEWAY_HOST]  gateway_host=https://elsewhere");
    QTest::newRow("LF alone") << QStringLiteral("a\n[URL]") << QStringLiteral("a [URL]");
    QTest::newRow("CR alone") << QStringLiteral("a\r[URL]") << QStringLiteral("a [URL]");
    QTest::newRow("tab, NUL and DEL")
        << QStringLiteral("a\tb") + QChar(0) + QStringLiteral("c\x7f") << QStringLiteral("a b c");
    QTest::newRow("next line and line separator") << QStringLiteral("a") + QChar(0x85)
            + QStringLiteral("b") + QChar(0x2028)
            + QStringLiteral("c") << QStringLiteral("a b c");
    QTest::newRow("breaks at the ends are trimmed")
        << QStringLiteral("\r\n1.2\r\n") << QStringLiteral("1.2");
}

void TestConfigStore::valuesNeverBreakTheirLine()
{
    QFETCH(QString, value);
    QFETCH(QString, stored);
    writeConfig("[GATEWAY_HOST]\r\ngateway_host=https://127.0.0.1:8443\r\n");
    const ConfigStore store(configPath());
    QVERIFY(store.writeString(QStringLiteral("MEMO"), QStringLiteral("MEMO"), value));

    const QByteArray bytes = readFileBytes(configPath());
    QCOMPARE(iniSections(bytes), QStringList({"GATEWAY_HOST", "MEMO"}));
    QCOMPARE(iniEntries(bytes).size(), 2);
    QCOMPARE(store.readString(QStringLiteral("MEMO"), QStringLiteral("MEMO")), stored);
    QCOMPARE(store.readString(QStringLiteral("GATEWAY_HOST"), QStringLiteral("gateway_host")),
        QStringLiteral("https://127.0.0.1:8443"));
}

void TestConfigStore::unreadableFileIsNeverReplaced()
{
#ifdef Q_OS_WIN
    QSKIP("permission bits and an ordinary user's access are Linux's (OrdinaryFileAccess)");
#else
    const QByteArray before = "[USERNAME]\r\nusername=13800000000\r\n[PASSWORD]\r\npassword=1\r\n";
    writeConfig(before);
    QVERIFY(QFile::setPermissions(configPath(), QFile::WriteOwner));
    const ConfigStore store(configPath());
    {
        OrdinaryFileAccess asUser;
        QVERIFY(asUser.isValid());
        QVERIFY(!store.writeString(QStringLiteral("NOTE"), QStringLiteral("note"), "1"));
        // Reads give the defaults; nothing is lost.
        QCOMPARE(
            store.readString(QStringLiteral("USERNAME"), QStringLiteral("username")), QString());
    }
    QCOMPARE(readFileBytes(configPath()), before);
    QVERIFY(readFileBytes(m_home.filePath(QStringLiteral("tallyport.log")))
                .contains("配置未保存 [NOTE] note: 无法读取 " + QFile::encodeName(configPath())));
#endif
}

void TestConfigStore::fileInAReadOnlyDirectoryIsWrittenInPlace()
{
#ifdef Q_OS_WIN
    QSKIP("permission bits and an ordinary user's access are Linux's (OrdinaryFileAccess)");
#else
    writeConfig("[NOTE]\r\nnote=0\r\n[PRINT]\r\nprint=0\r\n");
    QVERIFY(QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::ExeOwner));
    const ConfigStore store(configPath());
    OrdinaryFileAccess asUser;
    QVERIFY(asUser.isValid());
    QVERIFY(store.writeString(QStringLiteral("NOTE"), QStringLiteral("note"), "1"));
    QCOMPARE(readFileBytes(configPath()), QByteArray("[NOTE]\r\nnote=1\r\n[PRINT]\r\nprint=0\r\n"));
#endif
}

void TestConfigStore::readOnlyFileInAReadOnlyDirectoryFailsAndSaysSo()
{
#ifdef Q_OS_WIN
    QSKIP("permission bits and an ordinary user's access are Linux's (OrdinaryFileAccess)");
#else
    writeConfig("[NOTE]\r\nnote=0\r\n");
    QVERIFY(QFile::setPermissions(configPath(), QFile::ReadOwner));
    QVERIFY(QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::ExeOwner));
    const ConfigStore store(configPath());
    {
        OrdinaryFileAccess asUser;
        QVERIFY(asUser.isValid());
        QVERIFY(!store.writeString(QStringLiteral("NOTE"), QStringLiteral("note"), "1"));
    }
    QCOMPARE(readFileBytes(configPath()), QByteArray("[NOTE]\r\nnote=0\r\n"));
    QVERIFY(QFile::setPermissions(
        m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(readFileBytes(m_home.filePath(QStringLiteral("tallyport.log")))
                .contains("配置未保存 [NOTE] note: 无法写入"));
#endif
}

QTEST_GUILESS_MAIN(TestConfigStore)
#include "TestConfigStore.moc"
