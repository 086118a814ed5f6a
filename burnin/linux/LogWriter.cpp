#include "burnin/LogWriter.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

#include "device/SystemError.h"

namespace {

int OpenForWriting(const QString& path, int mode)
{
    return open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC | mode, 0666);
}

// Closes the descriptor; the cause of an earlier failure comes first.
std::error_code Closed(int fd, std::error_code error)
{
    if (close(fd) != 0 && !error)
        error = LastSystemError();
    return error;
}

std::error_code WriteAll(int fd, const QByteArray& bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t wrote = write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) // a write that moves nothing would never end
            return wrote < 0 ? LastSystemError() : std::make_error_code(std::errc::io_error);
        done += wrote;
    }
    return {};
}

} // namespace

namespace burnin {

std::error_code EmptyFile(const QString& path)
{
    const int fd = OpenForWriting(path, O_TRUNC);
    return fd < 0 ? LastSystemError() : Closed(fd, {});
}

std::error_code AppendWhole(const QString& path, const QByteArray& bytes)
{
    const int fd = OpenForWriting(path, O_APPEND);
    if (fd < 0)
        return LastSystemError();
    struct stat before {};
    if (fstat(fd, &before) != 0)
        return Closed(fd, LastSystemError());
    const std::error_code error = WriteAll(fd, bytes);
    // What went in is cut off again, so that the next try does not follow a torn line; the
    // write's cause is the one the user is told.
    if (error && S_ISREG(before.st_mode))
        std::ignore = ftruncate(fd, before.st_size);
    return Closed(fd, error);
}

std::error_code CreationCause(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return LastSystemError();
    close(fd);
    unlink(name.constData());
    return {};
}

} // namespace burnin
