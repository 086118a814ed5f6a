#include "burnin/LogWriter.h"

#include <windows.h>

#include "device/SystemError.h"

namespace {

// Shared as the Linux file is, so that a viewer holding the log open does not stop the run.
HANDLE OpenForWriting(const QString& path, DWORD access, DWORD creation)
{
    return CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()), access,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, creation,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Closes the handle; the cause of an earlier failure comes first.
std::error_code Closed(HANDLE file, std::error_code error)
{
    if (!CloseHandle(file) && !error)
        error = LastSystemError();
    return error;
}

std::error_code WriteAll(HANDLE file, const QByteArray& bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        DWORD wrote = 0;
        if (!WriteFile(file, bytes.constData() + done, DWORD(bytes.size() - done), &wrote, nullptr))
            return LastSystemError();
        if (wrote == 0) // a write that moves nothing would never end
            return std::make_error_code(std::errc::io_error);
        done += wrote;
    }
    return {};
}

} // namespace

namespace burnin {

std::error_code EmptyFile(const QString& path)
{
    const HANDLE file = OpenForWriting(path, GENERIC_WRITE, CREATE_ALWAYS);
    return file == INVALID_HANDLE_VALUE ? LastSystemError() : Closed(file, {});
}

std::error_code AppendWhole(const QString& path, const QByteArray& bytes)
{
    const HANDLE file = OpenForWriting(path, GENERIC_WRITE, OPEN_ALWAYS);
    if (file == INVALID_HANDLE_VALUE)
        return LastSystemError();
    LARGE_INTEGER before{};
    if (!SetFilePointerEx(file, LARGE_INTEGER{}, &before, FILE_END))
        return Closed(file, LastSystemError());
    const std::error_code error = WriteAll(file, bytes);
    // What went in is cut off again, so that the next try does not follow a torn line; the
    // write's cause is the one the user is told.
    if (error && GetFileType(file) == FILE_TYPE_DISK
        && SetFilePointerEx(file, before, nullptr, FILE_BEGIN))
        SetEndOfFile(file);
    return Closed(file, error);
}

std::error_code CreationCause(const QString& path)
{
    const HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()), GENERIC_WRITE,
                                    0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    return file == INVALID_HANDLE_VALUE ? LastSystemError() : Closed(file, {});
}

} // namespace burnin
