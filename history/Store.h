#pragma once
#include <QDateTime>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

#include "history/Row.h"

// The update history's file: an SQLite database that several programs, and several threads of
// one, write at once. It is in WAL mode, so that a reader never waits for a writer, and a write
// waits up to kBusyWaitMs for another program's to end.
namespace history {

class Connection;

class Store {
public:
    static constexpr int kBusyWaitMs = 5000;

    // One connection, for one thread at a time: opens the history for writing, made with its
    // folder where there is none. A file that is not a history or is damaged is moved aside under
    // a new name (MovedAside) and a new one started. The generation is the caller's, of the file.
    explicit Store(const QString& file, int generation = 0);
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // The new row's id, or nothing when it could not be written (Failure says why). It is on the
    // disk when this returns, so that a row written before the chip is touched outlives a lost
    // power supply.
    std::optional<qint64> Add(const Row& row);
    // Writes how the row with row.id ended: its outcome, cause, blocks and duration. It reaches
    // the disk with the next row added, or at the latest when the file is closed.
    bool End(const Row& row);

    // The file and the cause, once it could not be opened or written:
    // "/home/u/.local/share/torvanreader/history.sqlite (attempt to write a readonly database)".
    const QString& Failure() const { return m_failure; }
    // Where a damaged file was moved, when one was since the last call.
    QString TakeMovedAside() { return std::exchange(m_movedAside, {}); }
    int Generation() const { return m_generation; }

private:
    int Prepare();
    int PrepareOnce();
    int MoveAside(int result);
    int Insert(const Row& row);
    bool Failed(int result);

    QString m_file;
    int m_generation;
    std::unique_ptr<Connection> m_db;
    QString m_failure;
    QString m_movedAside;
};

// Which rows to read: of these serial numbers (all when none), started at since or later (all when
// not valid), the newest limit of them (all when 0).
struct Query {
    QStringList serials = {};
    QDateTime since = {};
    int limit = 0;
};

struct Reading {
    std::vector<Row> rows; // newest first
    QString failure;       // as Store::Failure, when the file could not be read
};

// Reads without writing anything: a history not made yet holds no rows.
Reading Read(const QString& file, const Query& query);

} // namespace history
