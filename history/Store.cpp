#include "history/Store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <chrono>
#include <sqlite3.h>
#include <system_error>
#include <thread>

namespace history {

// A connection to the file, closed when it goes.
class Connection {
public:
    Connection() = default;
    ~Connection() { Close(); }
    explicit operator bool() const { return m_db != nullptr; }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Closes what is open, then opens file, waiting up to the busy wait for another's write.
    int Open(const QString& file, int flags)
    {
        Close();
        const int result = sqlite3_open_v2(file.toUtf8().constData(), &m_db, flags, nullptr);
        sqlite3_busy_timeout(m_db, Store::kBusyWaitMs);
        return result;
    }
    // Statements made on it are finalised first: their owners go before it.
    void Close()
    {
        sqlite3_close(m_db);
        m_db = nullptr;
    }
    sqlite3* get() const { return m_db; }

private:
    sqlite3* m_db = nullptr;
};

namespace {

// The file's layout, told by its user_version: a new file gets it with the table.
constexpr int kLayout = 1;

QString CreateTable()
{
    QStringList columns{"id INTEGER PRIMARY KEY"};
    for (const Field& field : kFields)
        columns << QString(field.name)
                       + (std::holds_alternative<QString Row::*>(field.member) ? " TEXT"
                                                                               : " INTEGER");
    return "BEGIN IMMEDIATE; CREATE TABLE IF NOT EXISTS history (" + columns.join(", ")
           + "); CREATE INDEX IF NOT EXISTS history_by_time ON history (time); "
             "PRAGMA user_version = "
           + QString::number(kLayout) + "; COMMIT;";
}

// A damaged file, or one that is no database at all.
bool Damaged(int result)
{
    return (result & 0xff) == SQLITE_CORRUPT || (result & 0xff) == SQLITE_NOTADB;
}

// SQLite's words for what went wrong, and the system's where it had a part.
QString Cause(sqlite3* db, int result)
{
    QString cause = db ? sqlite3_errmsg(db) : sqlite3_errstr(result);
    if (const int system = db ? sqlite3_system_errno(db) : 0)
        cause += " ("
                 + QString::fromStdString(std::error_code(system, std::system_category()).message())
                 + ")";
    return cause;
}

// One statement, finalised when it goes.
class Statement {
public:
    Statement(sqlite3* db, const QString& sql)
    {
        m_result = sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &m_statement, nullptr);
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void Bind(int index, const QString& text)
    {
        if (text.isNull())
            sqlite3_bind_null(m_statement, index);
        else
            sqlite3_bind_text(m_statement, index, text.toUtf8().constData(), -1, SQLITE_TRANSIENT);
    }
    void Bind(int index, std::optional<qint64> number)
    {
        if (number)
            sqlite3_bind_int64(m_statement, index, *number);
        else
            sqlite3_bind_null(m_statement, index);
    }
    // SQLITE_ROW while there is a row to read, SQLITE_DONE at the end, else the error.
    int Step() { return m_result == SQLITE_OK ? sqlite3_step(m_statement) : m_result; }

    void Read(int column, QString& text) const
    {
        const auto* bytes = sqlite3_column_text(m_statement, column);
        text = bytes ? QString::fromUtf8(reinterpret_cast<const char*>(bytes)) : QString();
    }
    void Read(int column, std::optional<qint64>& number) const
    {
        number = sqlite3_column_type(m_statement, column) == SQLITE_NULL
                     ? std::nullopt
                     : std::optional(sqlite3_column_int64(m_statement, column));
    }

private:
    sqlite3_stmt* m_statement = nullptr;
    int m_result;
};

// The file's user_version: 0 for a file without the table.
int ReadLayout(sqlite3* db, qint64& layout)
{
    Statement version(db, "PRAGMA user_version");
    const int result = version.Step();
    std::optional<qint64> read;
    if (result == SQLITE_ROW)
        version.Read(0, read);
    layout = read.value_or(0);
    return result == SQLITE_ROW ? SQLITE_OK : result;
}

QString FileAndCause(const QString& file, const QString& cause)
{
    return QDir::toNativeSeparators(file) + " (" + cause + ")";
}

} // namespace

Store::Store(const QString& file, int generation)
    : m_file(file), m_generation(generation), m_db(std::make_unique<Connection>())
{
    if (!QDir().mkpath(QFileInfo(file).path())) {
        m_failure = FileAndCause(file, "its folder cannot be made");
        return;
    }
    int result = Prepare();
    if (Damaged(result))
        result = MoveAside(result);
    if (result != SQLITE_OK)
        Failed(result);
}

Store::~Store() = default;

int Store::Prepare()
{
    // Switching a new file to WAL takes the whole file: beside another connection that does the
    // same, SQLite says "database is locked" at once instead of waiting, so it is tried again,
    // within the busy wait.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyWaitMs);
    int result = PrepareOnce();
    while ((result & 0xff) == SQLITE_BUSY && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        result = PrepareOnce();
    }
    return result;
}

int Store::PrepareOnce()
{
    int result = m_db->Open(m_file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (result != SQLITE_OK)
        return result;
    // Commits wait for the disk only where Add asks them to.
    result = sqlite3_exec(m_db->get(), "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;",
                          nullptr, nullptr, nullptr);
    qint64 layout = 0;
    if (result == SQLITE_OK && (result = ReadLayout(m_db->get(), layout)) == SQLITE_OK
        && layout < kLayout)
        result = sqlite3_exec(m_db->get(), CreateTable().toUtf8().constData(), nullptr, nullptr,
                              nullptr);
    return result;
}

// A damaged file is moved aside, once: the lock keeps two programs from each moving a file that
// the other has just started anew. Gives how opening the file there now went.
int Store::MoveAside(int result)
{
    const QString cause = Cause(m_db->get(), result);
    QLockFile lock(m_file + ".lock");
    if (!lock.tryLock(kBusyWaitMs))
        return result;
    result = Prepare(); // another program may have moved it meanwhile
    if (!Damaged(result))
        return result;
    m_db->Close();
    const QString aside =
        m_file + ".damaged-" + QDateTime::currentDateTimeUtc().toString("yyyyMMddTHHmmsszzzZ");
    if (!QFile::rename(m_file, aside)) {
        m_failure = FileAndCause(m_file, cause + "; it cannot be moved aside");
        return result;
    }
    QFile::rename(m_file + "-wal", aside + "-wal"); // its unfinished writes, where there are any
    QFile::remove(m_file + "-shm");
    m_movedAside = FileAndCause(aside, cause);
    return Prepare();
}

bool Store::Failed(int result)
{
    if (m_failure.isEmpty())
        m_failure = FileAndCause(m_file, Cause(m_db->get(), result));
    m_db->Close();
    return false;
}

std::optional<qint64> Store::Add(const Row& row)
{
    int result = Insert(row);
    // Damage deeper in the file shows only when it is written.
    if (Damaged(result) && (result = MoveAside(result)) == SQLITE_OK)
        result = Insert(row);
    if (result != SQLITE_DONE) {
        Failed(result);
        return std::nullopt;
    }
    return sqlite3_last_insert_rowid(m_db->get());
}

int Store::Insert(const Row& row)
{
    if (!*m_db)
        return SQLITE_CANTOPEN; // said already, with its cause
    sqlite3_exec(m_db->get(), "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
    int result = SQLITE_OK;
    {
        Statement insert(m_db->get(), "INSERT INTO history (" + FieldNames().join(", ")
                                          + ") VALUES ("
                                          + QStringList(kFields.size(), "?").join(", ") + ")");
        int index = 1;
        for (const Field& field : kFields)
            std::visit([&](auto member) { insert.Bind(index++, row.*member); }, field.member);
        result = insert.Step();
    }
    if (result == SQLITE_DONE) // else the connection is closed, its error kept
        sqlite3_exec(m_db->get(), "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr);
    return result;
}

bool Store::End(const Row& row)
{
    if (!*m_db)
        return false;
    Statement update(m_db->get(), "UPDATE history SET outcome = ?, cause = ?, blocks = ?, "
                                  "duration_ms = ? WHERE id = ?");
    update.Bind(1, row.outcome);
    update.Bind(2, row.cause);
    update.Bind(3, row.blocks);
    update.Bind(4, row.durationMs);
    update.Bind(5, row.id);
    const int result = update.Step();
    return result == SQLITE_DONE || Failed(result);
}

Reading Read(const QString& file, const Query& query)
{
    Reading reading;
    if (!QFileInfo::exists(file))
        return reading;
    Connection db;
    int result = db.Open(file, SQLITE_OPEN_READONLY);
    qint64 layout = 0;
    if (result == SQLITE_OK && (result = ReadLayout(db.get(), layout)) == SQLITE_OK && layout == 0)
        return reading; // made, but no row was written yet
    QStringList where{"1"};
    if (!query.serials.isEmpty())
        where << "serial IN (" + QStringList(query.serials.size(), "?").join(", ") + ")";
    if (query.since.isValid())
        where << "time >= ?";
    Statement select(db.get(), "SELECT id, " + FieldNames().join(", ") + " FROM history WHERE "
                                   + where.join(" AND ") + " ORDER BY time DESC, id DESC LIMIT ?");
    int index = 1;
    for (const QString& serial : query.serials)
        select.Bind(index++, serial);
    if (query.since.isValid())
        select.Bind(index++, query.since.toUTC().toString(Qt::ISODateWithMs));
    select.Bind(index, std::optional<qint64>(query.limit > 0 ? query.limit : -1));
    for (result = result == SQLITE_OK ? select.Step() : result; result == SQLITE_ROW;
         result = select.Step()) {
        Row& row = reading.rows.emplace_back();
        std::optional<qint64> id;
        select.Read(0, id);
        row.id = id.value_or(0);
        int column = 1;
        for (const Field& field : kFields)
            std::visit([&](auto member) { select.Read(column++, row.*member); }, field.member);
    }
    if (result != SQLITE_DONE) {
        reading.failure = FileAndCause(file, Cause(db.get(), result));
        reading.rows.clear();
    }
    return reading;
}

} // namespace history
