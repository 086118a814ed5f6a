#pragma once
#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// Where this process keeps its update history, and whom it tells when the history cannot be
// kept. Each program sets one as it starts, a test one per case; without one nothing is recorded.
// Recordings, on any thread, take the keeper set last, which holds until it goes.
namespace history {

class Store;

// history.sqlite in the user's data folder: $XDG_DATA_HOME/torvanreader on Linux,
// %LOCALAPPDATA%\TorvanReader on Windows. The demo's simulated units keep theirs apart, in
// demo-history.sqlite.
QString UserFile(bool demo);

class Keeper {
public:
    // Called on the thread that recorded, one call at a time.
    using Tell = std::function<void(const QString& message)>;
    using Clock = std::function<QDateTime()>;

    Keeper(QString file, Tell tell, Clock clock = &QDateTime::currentDateTimeUtc);
    ~Keeper();
    Keeper(const Keeper&) = delete;
    Keeper& operator=(const Keeper&) = delete;

    class Shared;
    // The keeper set last, or none; what it shares lives on with the recordings that took it.
    static std::shared_ptr<Shared> Current();

private:
    std::shared_ptr<Shared> m_shared;
};

class Keeper::Shared {
public:
    Shared(QString file, Tell tell, Clock clock);
    ~Shared();

    const QString& File() const { return m_file; }
    QDateTime Now() const { return m_clock(); }
    // A connection to the file for one recording at a time. It is kept open for the next one, as
    // long as the keeper lives, so that a row costs its own writes only: opening and closing the
    // file last would cost far more.
    std::unique_ptr<Store> Take();
    void GiveBack(std::unique_ptr<Store> store);
    // The file was moved aside: the connections kept open, and those in use, still write there.
    void Forget();
    // Says that the history cannot be kept, the first time only: it holds up no update.
    void Failed(const QString& why);
    // Says what else the user must know of the history.
    void Say(const QString& message);

private:
    const QString m_file;
    const Tell m_tell;
    const Clock m_clock;
    std::mutex m_telling;
    bool m_failed = false;
    std::mutex m_keeping;
    std::vector<std::unique_ptr<Store>> m_idle;
    int m_generation = 0; // of the file: a connection made before the last move aside is not kept
};

} // namespace history
