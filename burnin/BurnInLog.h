#pragma once
#include <QByteArray>
#include <QLockFile>
#include <QString>
#include <mutex>
#include <optional>
#include <system_error>

#include "burnin/ClockReading.h"

// A log that could not be written: the file as it was named, and the system's cause.
struct LogError {
    QString file;
    std::error_code cause;
};

// The burn-in log BIT.txt: one entry per logged failure, each the time stamp, a tab and the
// message. Entries end in CR LF on every platform, so a log is the same wherever it was written.
namespace burnin {

inline constexpr const char* kLogFileName = "BIT.txt";

inline constexpr const char* kNoHpd = "No HPD .\r\n";
inline constexpr const char* kLinkFail = "Link Fail.\r\n";
inline constexpr const char* kNoVideo = "No Video Signal.\r\n";
inline constexpr const char* kNo5V = "No 5V from Source.\r\n";
inline constexpr const char* kDeviceDisconnected = "Device Disconnected.\r\n";

QByteArray FormatLogEntry(const ClockReading& time, const char* message);

// Said once per run when the log cannot be written.
QString LogFailureNotice(const LogError& error);

} // namespace burnin

// Why a run cannot have the log: "BIT.txt is in use by torvanreader-cli (process 1234)", or its
// hold could not be made, with the system's cause.
struct LogRefusal {
    QString why;
    bool inUse = false; // another run has it: starting again once that run has ended will do
};

// The log file, by its bare name in the current directory unless told otherwise. Entries come
// from the clock-and-log cycle and from the sample that finds the device gone, so writes are
// serialised.
class BurnInLogFile {
public:
    explicit BurnInLogFile(QString path = burnin::kLogFileName);

    // Holds the log for one run until Release, so that a second run in the same folder, in this
    // program or another, is told who has it instead of emptying it and cutting the first run's
    // entries back. A hold left by a program that ended is taken over; one held for days is not.
    // A hold that cannot be made (a folder that takes no new file, as Program Files for a standard
    // user) is refused with the system's cause: taken for free, it would let two runs share the
    // log.
    std::optional<LogRefusal> Hold();
    void Release();

    // A new run starts with an empty log.
    std::optional<LogError> Empty();
    // Each entry goes in whole or not at all.
    std::optional<LogError> Append(const QByteArray& entry);

private:
    const QString m_path;
    QLockFile m_hold;
    std::mutex m_mutex;
};
