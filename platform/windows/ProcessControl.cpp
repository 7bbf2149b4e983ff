#include "ProcessControl.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <windows.h>

#include <shellapi.h>
#include <tlhelp32.h>

namespace {

// "KeyHook" and "KeyHook.exe" name the same program.
QString exeName(const QString &name)
{
    return name.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive)
        ? name
        : name + QStringLiteral(".exe");
}

// The processes of that program other than this one, from a snapshot of the process list
// (Wine's tasklist prints nothing, so it cannot be asked).
int countNamed(const QString &name)
{
    const std::wstring wanted = exeName(name).toStdWString();
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    int found = 0;
    PROCESSENTRY32W entry {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID != GetCurrentProcessId()
            && _wcsicmp(entry.szExeFile, wanted.c_str()) == 0)
            ++found;
    }
    CloseHandle(snapshot);
    return found;
}

// A command line word as CreateProcess and the C runtime split them again.
std::wstring quoted(const std::wstring &word)
{
    if (!word.empty() && word.find_first_of(L" \t\"") == std::wstring::npos)
        return word;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : word) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(2 * backslashes, L'\\');
    out.push_back(L'"');
    return out;
}

} // namespace

namespace ProcessControl {

bool isRunning(const QString &name)
{
    return countNamed(name) > 0;
}

int killAll(const QString &name, int graceMs)
{
    const int targets = countNamed(name);
    // "taskkill /im KeyHook.exe /f", and wait for it: it fails when nothing runs, which is
    // as good.
    QProcess taskkill;
    taskkill.start(
        QStringLiteral("taskkill"), {QStringLiteral("/im"), exeName(name), QStringLiteral("/f")});
    if (!taskkill.waitForFinished(graceMs + 5000))
        taskkill.kill();
    QElapsedTimer clock;
    clock.start();
    while (countNamed(name) > 0 && clock.elapsed() < graceMs)
        QThread::msleep(20);
    return targets;
}

bool startDetached(
    const QString &program, const QStringList &arguments, const QString &workingDirectory)
{
    return QProcess::startDetached(
        QFileInfo(program).suffix().isEmpty() ? exeName(program) : program, arguments,
        workingDirectory);
}

QStringList splitParameters(const QString &parameters)
{
    return parameters.split(
        QRegularExpression(QStringLiteral("[ \\t\\r\\n]+")), Qt::SkipEmptyParts);
}

bool openWithParameters(const QString &program, const QString &parameters)
{
    // Through the shell, with the verb "open" and a normal window; the parameter line as it is.
    const std::wstring file = QDir::toNativeSeparators(
        QFileInfo(program).suffix().isEmpty() ? exeName(program) : program)
                                  .toStdWString();
    const std::wstring line = parameters.toStdWString();
    const HINSTANCE result
        = ShellExecuteW(nullptr, L"open", file.c_str(), line.c_str(), nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

bool startsInstallers()
{
    return true;
}

QStringList ownParameters(int, char *[])
{
    // Not the C runtime's argv: it went through the ANSI code page, where a memo's characters
    // outside it became "?".
    int count = 0;
    wchar_t **words = CommandLineToArgvW(GetCommandLineW(), &count);
    QStringList parameters;
    for (int i = 1; words && i < count; ++i)
        parameters.append(QString::fromWCharArray(words[i]));
    if (words)
        LocalFree(words);
    return parameters;
}

int reapChildren()
{
    // Windows keeps no defunct processes: nothing to collect.
    return 0;
}

bool startAgain(const std::vector<std::string> &arguments, const QString &directory)
{
    // There is no starting again in place: a new process, once the mutex has gone.
    wchar_t module[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    std::wstring line = quoted(module);
    for (std::size_t i = 1; i < arguments.size(); ++i)
        line += L' ' + quoted(QString::fromLocal8Bit(arguments[i].c_str()).toStdWString());
    const std::wstring where = QDir::toNativeSeparators(directory).toStdWString();
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process {};
    if (!CreateProcessW(module, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
            where.empty() ? nullptr : where.c_str(), &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

} // namespace ProcessControl
