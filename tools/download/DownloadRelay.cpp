// DownloadRelay: the last steps of an upgrade on Windows. Download.exe, which runs as the user
// who asked for the upgrade, starts it from a copy outside the program folder
// (%LOCALAPPDATA%\tallyport\updater) and ends:
//   DownloadRelay.exe INSTALLER SHA256 TILL LOGDIRECTORY UPDATERPID
// It then
//  1. holds INSTALLER open so that nobody can write, rename or delete it, and checks through
//     that hold that its bytes are those Download checked (their SHA-256): a file changed since
//     is refused and never run;
//  2. waits for Download.exe (process UPDATERPID) to end: its DLLs are those of the program
//     folder, which the installer replaces;
//  3. starts the installer with /S /RESTART through the shell (Windows asks for administrator
//     rights there), still holding it, and waits for it to end;
//  4. removes the installer and starts the till TILL again itself: as this user, not elevated,
//     whatever account's password was typed for the installer.
// The till comes back also when the upgrade did not happen (refused, cancelled, failed): the
// person is waiting for it. Every step is a line of the till's run log in LOGDIRECTORY
// (tallyport.log, in the local code page, as RunLog writes it). It links nothing but the
// system's DLLs, so nothing of the program folder is in use while the installer replaces it.
#include <windows.h>

#include <bcrypt.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

const wchar_t kTitle[] = L"Tallyport 升级";
// Held while an upgrade is under way: Download.exe starts no other meanwhile.
const wchar_t kRelayMutex[] = L"DownloadRelay.exe";
// The installer's refusal (SetErrorLevel 2): it has said why itself.
constexpr DWORD kInstallerRefused = 2;
constexpr DWORD kUpdaterEndMs = 60000;

std::wstring s_logDirectory;

std::wstring number(unsigned long value)
{
    wchar_t text[24];
    std::swprintf(text, 24, L"%lu", value);
    return text;
}

// One line of the till's run log, as RunLog writes it: "YYYY-MM-DD hh:mm:ss   " + the message
// + "  Kovani" + CR LF, in the local code page, appended in one write.
void log(const std::wstring &message)
{
    if (s_logDirectory.empty())
        return;
    SYSTEMTIME now {};
    GetLocalTime(&now);
    wchar_t stamp[32];
    std::swprintf(stamp, 32, L"%04u-%02u-%02u %02u:%02u:%02u   ", now.wYear, now.wMonth, now.wDay,
        now.wHour, now.wMinute, now.wSecond);
    const std::wstring line = stamp + (L"升级: " + message) + L"  Kovani\r\n";
    const int size = WideCharToMultiByte(
        CP_ACP, 0, line.data(), int(line.size()), nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return;
    std::string bytes(std::size_t(size), '\0');
    WideCharToMultiByte(
        CP_ACP, 0, line.data(), int(line.size()), bytes.data(), size, nullptr, nullptr);
    const HANDLE file = CreateFileW((s_logDirectory + L"\\tallyport.log").c_str(), FILE_APPEND_DATA,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

void say(const std::wstring &text, UINT icon)
{
    MessageBoxW(nullptr, text.c_str(), kTitle, MB_OK | icon | MB_SETFOREGROUND);
}

// The SHA-256 of what `file` holds, in lower-case hex; empty when it cannot be read.
std::wstring sha256Of(HANDLE file)
{
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!BCRYPT_SUCCESS(
            BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        return std::wstring();
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool read = BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
    LARGE_INTEGER start {};
    read = read && SetFilePointerEx(file, start, nullptr, FILE_BEGIN);
    std::vector<UCHAR> buffer(1 << 16);
    while (read) {
        DWORD got = 0;
        read = ReadFile(file, buffer.data(), DWORD(buffer.size()), &got, nullptr) != 0;
        if (!read || got == 0)
            break;
        read = BCRYPT_SUCCESS(BCryptHashData(hash, buffer.data(), got, 0));
    }
    UCHAR digest[32] = {};
    read = read && BCRYPT_SUCCESS(BCryptFinishHash(hash, digest, sizeof digest, 0));
    if (hash)
        BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(algorithm, 0);
    if (!read)
        return std::wstring();
    std::wstring hex;
    for (const UCHAR byte : digest) {
        wchar_t pair[3];
        std::swprintf(pair, 3, L"%02x", byte);
        hex += pair;
    }
    return hex;
}

bool sameHex(const std::wstring &a, const std::wstring &b)
{
    return !a.empty() && a.size() == b.size() && _wcsicmp(a.c_str(), b.c_str()) == 0;
}

// A file just ended with may still be mapped for a moment.
void removeFile(const std::wstring &path)
{
    for (int attempt = 0; attempt < 50 && !DeleteFileW(path.c_str()); ++attempt) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND)
            return;
        Sleep(100);
    }
}

// Starts the till as this process's user, in its own folder; false when it cannot be.
bool startTill(const std::wstring &till)
{
    const std::wstring::size_type slash = till.find_last_of(L"\\/");
    const std::wstring folder
        = slash == std::wstring::npos ? std::wstring() : till.substr(0, slash);
    std::wstring line = L"\"" + till + L"\"";
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process {};
    if (!CreateProcessW(till.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
            folder.empty() ? nullptr : folder.c_str(), &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// The till comes back, upgraded or not.
int bringBackTheTill(const std::wstring &till, int status)
{
    log(L"升级程序 (进程 " + number(GetCurrentProcessId()) + L") 启动收银程序 " + till);
    if (!startTill(till)) {
        const DWORD error = GetLastError();
        log(L"收银程序无法启动 (错误 " + number(error) + L"): " + till);
        say(L"收银程序无法启动，请从开始菜单启动 Tallyport。\n\n" + till, MB_ICONWARNING);
        return EXIT_FAILURE;
    }
    return status;
}

int relay(const std::wstring &installer, const std::wstring &checked, const std::wstring &till,
    DWORD updaterPid)
{
    // Held from this check until the installer has ended: its bytes cannot change under it,
    // and it cannot be replaced, renamed or removed. Reading (and running) it stays possible.
    const HANDLE held = CreateFileW(installer.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const std::wstring found = held == INVALID_HANDLE_VALUE ? std::wstring() : sha256Of(held);
    if (!sameHex(found, checked)) {
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        log(L"已拒绝: 安装程序在检查之后被改动或无法读取 (the installer changed after it was "
            L"checked): "
            + installer);
        say(L"无法升级：下载的安装程序在检查之后被改动或无法读取。\n\n没有运行任何程序。",
            MB_ICONWARNING);
        removeFile(installer);
        return bringBackTheTill(till, EXIT_FAILURE);
    }

    // Download.exe's DLLs are in use until it has ended (its mutex goes before them).
    if (const HANDLE updater = OpenProcess(SYNCHRONIZE, FALSE, updaterPid)) {
        WaitForSingleObject(updater, kUpdaterEndMs);
        CloseHandle(updater);
    }

    SHELLEXECUTEINFOW start {};
    start.cbSize = sizeof start;
    start.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    start.lpVerb = L"open";
    start.lpFile = installer.c_str();
    start.lpParameters = L"/S /RESTART";
    start.lpDirectory = s_logDirectory.empty() ? nullptr : s_logDirectory.c_str();
    start.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&start)) {
        const DWORD error = GetLastError();
        CloseHandle(held);
        removeFile(installer);
        if (error == ERROR_CANCELLED) {
            log(L"安装程序没有得到管理员权限，未升级 (cancelled): " + installer);
            say(L"没有得到管理员权限，未升级。", MB_ICONINFORMATION);
        } else {
            log(L"安装程序无法启动 (错误 " + number(error) + L"): " + installer);
            say(L"无法升级：安装程序无法启动。", MB_ICONWARNING);
        }
        return bringBackTheTill(till, EXIT_FAILURE);
    }
    log(L"安装程序已启动: " + installer);
    DWORD status = EXIT_FAILURE;
    if (start.hProcess) {
        WaitForSingleObject(start.hProcess, INFINITE);
        GetExitCodeProcess(start.hProcess, &status);
        CloseHandle(start.hProcess);
    }
    CloseHandle(held);
    removeFile(installer);
    log(L"安装程序已结束 (退出码 " + number(status) + L")");
    if (status != 0 && status != kInstallerRefused)
        say(L"升级未完成（安装程序退出码 " + number(status) + L"）。", MB_ICONWARNING);
    return bringBackTheTill(till, status == 0 ? EXIT_SUCCESS : EXIT_FAILURE);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int count = 0;
    wchar_t **words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!words || count != 6) {
        say(L"DownloadRelay 由 Download.exe 启动，不能单独运行。\n(started by Download.exe only)",
            MB_ICONINFORMATION);
        return EXIT_FAILURE;
    }
    const std::wstring installer = words[1];
    const std::wstring checked = words[2];
    const std::wstring till = words[3];
    s_logDirectory = words[4];
    const DWORD updaterPid = DWORD(std::wcstoul(words[5], nullptr, 10));
    LocalFree(words);

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const HANDLE lock = CreateMutexW(nullptr, FALSE, kRelayMutex);
    const int status = relay(installer, checked, till, updaterPid);
    if (lock)
        CloseHandle(lock);
    CoUninitialize();
    return status;
}
