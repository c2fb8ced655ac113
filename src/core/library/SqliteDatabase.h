// A small RAII wrapper over one SQLite connection and its prepared
// statements. Errors are returned, never thrown.
//
// A connection (and every statement made from it) belongs to one thread at a
// time; nothing here locks.
#pragma once

#include <QString>
#include <QVariant>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

class SqliteStatement
{
public:
    enum class Step { Row, Done, Error };

    SqliteStatement() = default;
    SqliteStatement(sqlite3 *db, const QString &sql);
    ~SqliteStatement();
    SqliteStatement(SqliteStatement &&other) noexcept;
    SqliteStatement &operator=(SqliteStatement &&other) noexcept;
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    // False when the SQL did not compile; every other call then fails.
    bool isValid() const { return m_stmt != nullptr; }

    // Binds a value to the 1-based parameter `index`: integers and bools as
    // INTEGER, doubles as REAL, strings as TEXT, byte arrays as BLOB, date-times
    // as INTEGER milliseconds since the epoch, an invalid or null QVariant as
    // NULL. False on failure.
    bool bind(int index, const QVariant &value);
    // Binds `values` to parameters 1..n.
    bool bindAll(const QVariantList &values);

    Step step();
    // Resets the statement so it can run again; bindings are kept.
    void reset();

    int columnCount() const;
    bool isNull(int column) const;
    qint64 columnInt64(int column) const;
    double columnDouble(int column) const;
    QString columnText(int column) const;
    QByteArray columnBlob(int column) const;
    // The column as qlonglong, double, QString or QByteArray by its storage
    // class; the JSON-null QVariant for NULL.
    QVariant columnValue(int column) const;

private:
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_stmt = nullptr;
};

class SqliteDatabase
{
public:
    SqliteDatabase() = default;
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase &) = delete;
    SqliteDatabase &operator=(const SqliteDatabase &) = delete;

    // Opens (creating when `create`) the database file. False on failure,
    // with lastError() set; the object is then closed.
    bool open(const QString &path, bool create = true);
    void close();
    bool isOpen() const { return m_db != nullptr; }
    sqlite3 *handle() const { return m_db; }

    // Runs one or more statements that return no rows. False on failure.
    bool exec(const QString &sql);
    // Compiles one statement; check isValid() on the result.
    SqliteStatement prepare(const QString &sql) const;
    // The first column of the first row of `sql`, or an invalid QVariant.
    QVariant scalar(const QString &sql, const QVariantList &args = {}) const;

    qint64 lastInsertRowId() const;
    int changes() const;
    QString lastError() const;

private:
    sqlite3 *m_db = nullptr;
    QString m_openError;
};
