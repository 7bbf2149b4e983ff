#include "System.h"

#include <QDir>
#include <QUuid>

#include <cerrno>
#include <vector>

#include <windows.h>

namespace {

std::wstring native(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

std::int64_t nanoseconds(const FILETIME &time)
{
    return ((std::int64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime) * 100;
}

// A security descriptor that grants this process's user alone and takes nothing from the
// folder above (a protected DACL with one entry): what Linux's 0600 and 0700 say. Made for a
// file, or for a directory whose entry is handed down to what is made in it.
class OwnerOnly
{
public:
    explicit OwnerOnly(bool handedDown)
    {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
            return;
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        m_user.resize(size);
        const bool read
            = size > 0 && GetTokenInformation(token, TokenUser, m_user.data(), size, &size);
        CloseHandle(token);
        if (!read)
            return;
        const PSID user = sid();
        m_acl.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(user));
        const DWORD inheritance = handedDown ? OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE : 0;
        m_valid = InitializeAcl(acl(), DWORD(m_acl.size()), ACL_REVISION)
            && AddAccessAllowedAceEx(acl(), ACL_REVISION, inheritance, FILE_ALL_ACCESS, user)
            && InitializeSecurityDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION)
            && SetSecurityDescriptorOwner(&m_descriptor, user, FALSE)
            && SetSecurityDescriptorDacl(&m_descriptor, TRUE, acl(), FALSE)
            && SetSecurityDescriptorControl(&m_descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
        m_attributes.nLength = sizeof m_attributes;
        m_attributes.lpSecurityDescriptor = &m_descriptor;
        m_attributes.bInheritHandle = FALSE;
    }
    OwnerOnly(const OwnerOnly &) = delete;
    OwnerOnly &operator=(const OwnerOnly &) = delete;

    bool isValid() const { return m_valid; }
    // For CreateFileW: the new file is owner-only from its first moment.
    SECURITY_ATTRIBUTES *attributes() { return m_valid ? &m_attributes : nullptr; }
    // Makes an open file (opened with WRITE_DAC) owner-only: the descriptor is set as it is,
    // through the call Wine carries out too (it ignores SetSecurityInfo on files).
    bool apply(HANDLE file)
    {
        return m_valid && SetKernelObjectSecurity(file, DACL_SECURITY_INFORMATION, &m_descriptor);
    }
    // Makes a file or directory owner-only by its name; what a directory holds already keeps
    // its own rights, what is made in it from then on takes these.
    bool apply(const std::wstring &path)
    {
        return m_valid && SetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, &m_descriptor);
    }

private:
    PSID sid() { return reinterpret_cast<TOKEN_USER *>(m_user.data())->User.Sid; }
    ACL *acl() { return reinterpret_cast<ACL *>(m_acl.data()); }

    std::vector<BYTE> m_user;
    std::vector<BYTE> m_acl;
    SECURITY_DESCRIPTOR m_descriptor {};
    SECURITY_ATTRIBUTES m_attributes {};
    bool m_valid = false;
};

// The system's words for the last error.
QString lastError()
{
    return qt_error_string(int(GetLastError()));
}

bool writeAll(HANDLE file, const QByteArray &bytes)
{
    DWORD written = 0;
    return WriteFile(file, bytes.constData(), DWORD(bytes.size()), &written, nullptr)
        && written == DWORD(bytes.size());
}

void setErrno(DWORD error)
{
    switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        errno = EEXIST;
        break;
    case ERROR_ACCESS_DENIED:
        errno = EACCES;
        break;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
        errno = ENOENT;
        break;
    default:
        errno = EIO;
    }
}

} // namespace

namespace System {

std::tm localTime(std::time_t when)
{
    std::tm parts {};
    localtime_s(&parts, &when);
    return parts;
}

bool canWriteDirectory(const QString &directory)
{
    // The rights of this process decide: a file is made there and goes again when closed.
    const QString probe = QDir(directory).filePath(
        QStringLiteral(".write-%1").arg(QUuid::createUuid().toString(QUuid::Id128)));
    const HANDLE file = CreateFileW(native(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

bool createPrivateFile(const QString &path, bool mustBeNew)
{
    // A file made in a folder takes the folder's rights, which on another drive (D:\收银)
    // let every user of the PC read it: a new file gets its own from the start, and an
    // existing one is given them.
    OwnerOnly security(false);
    if (!security.isValid()) {
        setErrno(GetLastError());
        return false;
    }
    const HANDLE file
        = CreateFileW(native(path).c_str(), GENERIC_READ | GENERIC_WRITE | READ_CONTROL | WRITE_DAC,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, security.attributes(),
            mustBeNew ? CREATE_NEW : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        setErrno(GetLastError());
        return false;
    }
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    const bool made = !existed || security.apply(file);
    const DWORD error = GetLastError();
    CloseHandle(file);
    if (!made)
        setErrno(error);
    return made;
}

bool writePrivateFile(const QString &path, const QByteArray &bytes, QString &why)
{
    OwnerOnly security(false);
    if (!security.isValid()) {
        why = lastError();
        return false;
    }
    // A new file beside it, owner-only from its creation, written and renamed over it: a
    // reader sees the old content or the new one, and nobody else ever sees either.
    const std::wstring target = native(path);
    const std::wstring written = native(
        path + QStringLiteral(".%1").arg(QUuid::createUuid().toString(QUuid::Id128).left(12)));
    HANDLE file = CreateFileW(written.c_str(), GENERIC_WRITE | DELETE, 0, security.attributes(),
        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        const bool whole = writeAll(file, bytes) && FlushFileBuffers(file);
        why = lastError();
        CloseHandle(file);
        if (whole
            && MoveFileExW(written.c_str(), target.c_str(),
                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        if (whole)
            why = lastError();
        DeleteFileW(written.c_str());
        return false;
    }
    if (GetLastError() != ERROR_ACCESS_DENIED) {
        why = lastError();
        return false;
    }
    // A directory where this user may not create files: the file is written in place, made
    // owner-only before its new content goes in.
    file = CreateFileW(target.c_str(), GENERIC_WRITE | READ_CONTROL | WRITE_DAC,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        why = lastError();
        return false;
    }
    const bool whole = security.apply(file) && writeAll(file, bytes) && SetEndOfFile(file)
        && FlushFileBuffers(file);
    if (!whole)
        why = lastError();
    CloseHandle(file);
    return whole;
}

bool makePrivateDirectory(const QString &path)
{
    OwnerOnly security(true);
    return security.apply(native(path));
}

std::optional<FileStamp> stampOf(const QString &path)
{
    const HANDLE file = CreateFileW(native(path).c_str(), 0,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION information {};
    const bool read = GetFileInformationByHandle(file, &information);
    CloseHandle(file);
    if (!read)
        return std::nullopt;
    // Windows keeps no change time apart from the last write.
    const std::int64_t written = nanoseconds(information.ftLastWriteTime);
    return FileStamp {information.dwVolumeSerialNumber,
        (std::uint64_t(information.nFileIndexHigh) << 32) | information.nFileIndexLow,
        (std::int64_t(information.nFileSizeHigh) << 32) | information.nFileSizeLow, written,
        written};
}

void exitNow()
{
    TerminateProcess(GetCurrentProcess(), 0);
    for (;;)
        Sleep(INFINITE);
}

void workInProgramDirectory(const QString &programDirectory)
{
    QDir::setCurrent(programDirectory);
}

} // namespace System
