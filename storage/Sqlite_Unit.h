// SQLite, loaded when it is first needed (libsqlite3.so.0, as libpulse is
// for the sound), so that nothing of it is mapped while the window starts;
// and the little of it Nudger's private store uses, wrapped: a database that
// closes itself, statements that finalise themselves, transactions that roll
// back unless committed. A database and its statements belong to one thread
// at a time.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

struct sqlite3;
struct sqlite3_stmt;

// Loads the library once; false when it cannot be loaded.
bool SqliteAvailable();

class TSqliteStatement
{
public:
    TSqliteStatement() = default;
    explicit TSqliteStatement(sqlite3_stmt *statement) : FStatement(statement) {}
    ~TSqliteStatement();
    TSqliteStatement(TSqliteStatement &&other) noexcept;
    TSqliteStatement &operator=(TSqliteStatement &&other) noexcept;
    TSqliteStatement(const TSqliteStatement &) = delete;
    TSqliteStatement &operator=(const TSqliteStatement &) = delete;

    bool Valid() const { return FStatement != nullptr; }

    // Parameters count from 1.
    TSqliteStatement &Bind(int index, std::int64_t value);
    TSqliteStatement &Bind(int index, const QByteArray &blob);
    TSqliteStatement &Bind(int index, const QString &text);
    TSqliteStatement &BindNull(int index);

    enum class TStep
    {
        Row,
        Done,
        Failed
    };
    TStep Step();
    // Steps until done; false when a step failed.
    bool Run();
    // Ready to run again with new parameters.
    void Reset();

    // Columns count from 0, on the row Step gave.
    std::int64_t Int(int column) const;
    QByteArray Blob(int column) const;
    QString Text(int column) const;
    bool IsNull(int column) const;

private:
    sqlite3_stmt *FStatement = nullptr;
};

class TSqliteDatabase
{
public:
    TSqliteDatabase() = default;
    ~TSqliteDatabase();
    TSqliteDatabase(const TSqliteDatabase &) = delete;
    TSqliteDatabase &operator=(const TSqliteDatabase &) = delete;

    // Opens the file, creating it when missing; false with Error() set.
    // Another connection's write lock is waited for up to busyMs.
    bool Open(const QString &path, int busyMs);
    void Close();
    bool IsOpen() const { return FDatabase != nullptr; }

    // Runs SQL without results; false with Error() set.
    bool Exec(const char *sql);
    // An invalid statement (Error() says why) when the SQL does not compile.
    TSqliteStatement Prepare(const char *sql);
    // The first column of the first row of a query, or fallback.
    std::int64_t IntOf(const char *sql, std::int64_t fallback = 0);
    QString TextOf(const char *sql);

    QString Error() const;
    std::int64_t LastInsertId() const;
    int Changes() const;

private:
    sqlite3 *FDatabase = nullptr;
    QString FError = QStringLiteral("the database is not open");
};

// BEGIN IMMEDIATE at once (the write lock is taken, or waited for, before
// anything is read), ROLLBACK at the end unless Commit succeeded.
class TSqliteTransaction
{
public:
    explicit TSqliteTransaction(TSqliteDatabase &database);
    ~TSqliteTransaction();
    TSqliteTransaction(const TSqliteTransaction &) = delete;
    TSqliteTransaction &operator=(const TSqliteTransaction &) = delete;

    bool Began() const { return FBegan; }
    // True once every change is in the database (and on disk, as the
    // database's synchronous setting asks).
    bool Commit();

private:
    TSqliteDatabase &FDatabase;
    bool FBegan = false;
    bool FDone = false;
};
