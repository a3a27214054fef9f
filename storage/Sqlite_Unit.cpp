#include "storage/Sqlite_Unit.h"

#include <QFile>
#include <QLibrary>

#include <sqlite3.h>

#include <mutex>
#include <utility>

namespace {

// The functions of the library Nudger calls, resolved by name when it is
// first loaded.
#define NUDGER_SQLITE_FUNCTIONS(F)                                                                 \
    F(sqlite3_open_v2)                                                                             \
    F(sqlite3_close_v2)                                                                            \
    F(sqlite3_exec)                                                                                \
    F(sqlite3_errmsg)                                                                              \
    F(sqlite3_busy_timeout)                                                                        \
    F(sqlite3_prepare_v2)                                                                          \
    F(sqlite3_finalize)                                                                            \
    F(sqlite3_step)                                                                                \
    F(sqlite3_reset)                                                                               \
    F(sqlite3_clear_bindings)                                                                      \
    F(sqlite3_bind_int64)                                                                          \
    F(sqlite3_bind_blob64)                                                                         \
    F(sqlite3_bind_text)                                                                           \
    F(sqlite3_bind_null)                                                                           \
    F(sqlite3_column_int64)                                                                        \
    F(sqlite3_column_blob)                                                                         \
    F(sqlite3_column_bytes)                                                                        \
    F(sqlite3_column_text)                                                                         \
    F(sqlite3_column_type)                                                                         \
    F(sqlite3_last_insert_rowid)                                                                   \
    F(sqlite3_changes)

struct TSqliteLibrary
{
#define NUDGER_SQLITE_POINTER(name) decltype(&::name) name = nullptr;
    NUDGER_SQLITE_FUNCTIONS(NUDGER_SQLITE_POINTER)
#undef NUDGER_SQLITE_POINTER

    bool Loaded = false;

    // True once every function is there; the library stays loaded.
    bool Load()
    {
        QLibrary library(QStringLiteral("sqlite3"), 0);
        if (!library.load())
            return false;
#define NUDGER_SQLITE_RESOLVE(name)                                                                \
    name = reinterpret_cast<decltype(name)>(library.resolve(#name));                               \
    if (!name)                                                                                     \
        return false;
        NUDGER_SQLITE_FUNCTIONS(NUDGER_SQLITE_RESOLVE)
#undef NUDGER_SQLITE_RESOLVE
        return true;
    }
};

TSqliteLibrary &Library()
{
    static TSqliteLibrary library;
    static std::once_flag loaded;
    std::call_once(loaded, [] { library.Loaded = library.Load(); });
    return library;
}

} // namespace

bool SqliteAvailable()
{
    return Library().Loaded;
}

// ---------------------------------------------------------------------------
// Statements

TSqliteStatement::~TSqliteStatement()
{
    if (FStatement)
        Library().sqlite3_finalize(FStatement);
}

TSqliteStatement::TSqliteStatement(TSqliteStatement &&other) noexcept
    : FStatement(std::exchange(other.FStatement, nullptr))
{
}

TSqliteStatement &TSqliteStatement::operator=(TSqliteStatement &&other) noexcept
{
    if (this != &other) {
        if (FStatement)
            Library().sqlite3_finalize(FStatement);
        FStatement = std::exchange(other.FStatement, nullptr);
    }
    return *this;
}

TSqliteStatement &TSqliteStatement::Bind(int index, std::int64_t value)
{
    if (FStatement)
        Library().sqlite3_bind_int64(FStatement, index, value);
    return *this;
}

TSqliteStatement &TSqliteStatement::Bind(int index, const QByteArray &blob)
{
    if (FStatement)
        Library().sqlite3_bind_blob64(FStatement, index, blob.constData(),
                                      sqlite3_uint64(blob.size()), SQLITE_TRANSIENT);
    return *this;
}

TSqliteStatement &TSqliteStatement::Bind(int index, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    if (FStatement)
        Library().sqlite3_bind_text(FStatement, index, utf8.constData(), int(utf8.size()),
                                    SQLITE_TRANSIENT);
    return *this;
}

TSqliteStatement &TSqliteStatement::BindNull(int index)
{
    if (FStatement)
        Library().sqlite3_bind_null(FStatement, index);
    return *this;
}

TSqliteStatement::TStep TSqliteStatement::Step()
{
    if (!FStatement)
        return TStep::Failed;
    switch (Library().sqlite3_step(FStatement)) {
    case SQLITE_ROW:
        return TStep::Row;
    case SQLITE_DONE:
        return TStep::Done;
    default:
        return TStep::Failed;
    }
}

bool TSqliteStatement::Run()
{
    TStep step = TStep::Row;
    while ((step = Step()) == TStep::Row) {
    }
    return step == TStep::Done;
}

void TSqliteStatement::Reset()
{
    if (!FStatement)
        return;
    Library().sqlite3_reset(FStatement);
    Library().sqlite3_clear_bindings(FStatement);
}

std::int64_t TSqliteStatement::Int(int column) const
{
    return FStatement ? Library().sqlite3_column_int64(FStatement, column) : 0;
}

QByteArray TSqliteStatement::Blob(int column) const
{
    if (!FStatement)
        return {};
    const void *data = Library().sqlite3_column_blob(FStatement, column);
    const int size = Library().sqlite3_column_bytes(FStatement, column);
    return data ? QByteArray(static_cast<const char *>(data), size) : QByteArray();
}

QString TSqliteStatement::Text(int column) const
{
    if (!FStatement)
        return {};
    const auto *text = Library().sqlite3_column_text(FStatement, column);
    const int size = Library().sqlite3_column_bytes(FStatement, column);
    return text ? QString::fromUtf8(reinterpret_cast<const char *>(text), size) : QString();
}

bool TSqliteStatement::IsNull(int column) const
{
    return !FStatement || Library().sqlite3_column_type(FStatement, column) == SQLITE_NULL;
}

// ---------------------------------------------------------------------------
// The database

TSqliteDatabase::~TSqliteDatabase()
{
    Close();
}

bool TSqliteDatabase::Open(const QString &path, int busyMs)
{
    Close();
    if (!SqliteAvailable())
        return false;
    sqlite3 *database = nullptr;
    const int result = Library().sqlite3_open_v2(
        QFile::encodeName(path).constData(), &database,
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (result != SQLITE_OK) {
        FError = database ? QString::fromUtf8(Library().sqlite3_errmsg(database))
                          : QStringLiteral("out of memory");
        if (database)
            Library().sqlite3_close_v2(database);
        return false;
    }
    FDatabase = database;
    Library().sqlite3_busy_timeout(FDatabase, busyMs);
    return true;
}

void TSqliteDatabase::Close()
{
    if (FDatabase)
        Library().sqlite3_close_v2(FDatabase);
    FDatabase = nullptr;
}

bool TSqliteDatabase::Exec(const char *sql)
{
    return FDatabase &&
           Library().sqlite3_exec(FDatabase, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

TSqliteStatement TSqliteDatabase::Prepare(const char *sql)
{
    sqlite3_stmt *statement = nullptr;
    if (!FDatabase ||
        Library().sqlite3_prepare_v2(FDatabase, sql, -1, &statement, nullptr) != SQLITE_OK) {
        if (statement)
            Library().sqlite3_finalize(statement);
        return TSqliteStatement();
    }
    return TSqliteStatement(statement);
}

std::int64_t TSqliteDatabase::IntOf(const char *sql, std::int64_t fallback)
{
    TSqliteStatement statement = Prepare(sql);
    return statement.Step() == TSqliteStatement::TStep::Row && !statement.IsNull(0)
               ? statement.Int(0)
               : fallback;
}

QString TSqliteDatabase::TextOf(const char *sql)
{
    TSqliteStatement statement = Prepare(sql);
    return statement.Step() == TSqliteStatement::TStep::Row ? statement.Text(0) : QString();
}

QString TSqliteDatabase::Error() const
{
    if (!SqliteAvailable())
        return QStringLiteral("the SQLite library (libsqlite3.so.0) cannot be loaded");
    return FDatabase ? QString::fromUtf8(Library().sqlite3_errmsg(FDatabase)) : FError;
}

std::int64_t TSqliteDatabase::LastInsertId() const
{
    return FDatabase ? Library().sqlite3_last_insert_rowid(FDatabase) : 0;
}

int TSqliteDatabase::Changes() const
{
    return FDatabase ? Library().sqlite3_changes(FDatabase) : 0;
}

// ---------------------------------------------------------------------------
// Transactions

TSqliteTransaction::TSqliteTransaction(TSqliteDatabase &database)
    : FDatabase(database), FBegan(database.Exec("BEGIN IMMEDIATE"))
{
}

TSqliteTransaction::~TSqliteTransaction()
{
    if (FBegan && !FDone)
        FDatabase.Exec("ROLLBACK");
}

bool TSqliteTransaction::Commit()
{
    if (!FBegan || FDone)
        return false;
    FDone = FDatabase.Exec("COMMIT");
    return FDone;
}
