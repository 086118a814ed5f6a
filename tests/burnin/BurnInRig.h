#pragma once
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>

#include "SimRig.h"
#include "burnin/ClockReading.h"
#include "device/HidCmd.h"
#include "device/PageHost.h"
#include "device/StatusRegister.h"

// A clock that only moves when told, starting at 2014/3/7 13:5:0 local time.
struct FakeClock {
    std::atomic<qint64> seconds{QDateTime(QDate(2014, 3, 7), QTime(13, 5, 0)).toSecsSinceEpoch()};

    ClockReading operator()() const
    {
        const QDateTime time = QDateTime::fromSecsSinceEpoch(seconds.load());
        return {time.date().year(), time.date().month(),  time.date().day(),
                time.time().hour(), time.time().minute(), time.time().second()};
    }
    BurnInClock Reader()
    {
        return [this] { return (*this)(); };
    }
    void Advance(int by = 1) { seconds += by; }
};

// The register read of the tool window, over a channel of the simulated extender.
class ChannelHost : public IRegisterHost {
public:
    explicit ChannelHost(IHidBackend& backend) : m_channel(backend)
    {
        m_channel.Transport().Open();
    }

    bool ReadRegister(uint8_t target, uint8_t reg, uint8_t* out) override
    {
        return ReadStatusRegister(m_channel, target, reg, std::span(out, kRegisterDataCapacity));
    }
    const RegisterSnapshot& Snapshot() const override { return m_snapshot; }

private:
    CHidCmd m_channel;
    RegisterSnapshot m_snapshot;
};

// What a sample reads, as the simulated extender answers it.
inline void SetSignals(SimExtender& extender, bool link, bool video, bool fiveVolt, bool hpd)
{
    extender.SetRegister(0x02, 0x01, {static_cast<uint8_t>(link ? 4 : 0)});
    extender.SetRegister(0x02, 0x02, {static_cast<uint8_t>(video ? 2 : 0)});
    extender.SetRegister(0x01, 0x0B,
                         {static_cast<uint8_t>((fiveVolt ? 0x04 : 0) | (hpd ? 0x01 : 0))});
}

// Tests that write BIT.txt run in a directory of their own.
class TempCurrentDir {
public:
    TempCurrentDir() : m_previous(QDir::currentPath()) { QDir::setCurrent(m_dir.path()); }
    ~TempCurrentDir() { QDir::setCurrent(m_previous); }
    QString Path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

inline QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}
