#include "SqliteDatabase.h"

#include "core/util/Logging.h"

#include <QDateTime>
#include <sqlite3.h>

SqliteStatement::SqliteStatement(sqlite3 *db, const QString &sql)
    : m_db(db)
{
    if (!db)
        return;
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &m_stmt, nullptr) != SQLITE_OK) {
        qCWarning(lcLibrary) << "SQL error:" << sqlite3_errmsg(db) << "in" << sql;
        m_stmt = nullptr;
    }
}

SqliteStatement::~SqliteStatement()
{
    if (m_stmt)
        sqlite3_finalize(m_stmt);
}

SqliteStatement::SqliteStatement(SqliteStatement &&other) noexcept
    : m_db(std::exchange(other.m_db, nullptr))
    , m_stmt(std::exchange(other.m_stmt, nullptr))
{
}

SqliteStatement &SqliteStatement::operator=(SqliteStatement &&other) noexcept
{
    if (this != &other) {
        if (m_stmt)
            sqlite3_finalize(m_stmt);
        m_db = std::exchange(other.m_db, nullptr);
        m_stmt = std::exchange(other.m_stmt, nullptr);
    }
    return *this;
}

bool SqliteStatement::bind(int index, const QVariant &value)
{
    if (!m_stmt)
        return false;
    int rc = SQLITE_OK;
    switch (value.metaType().id()) {
    case QMetaType::UnknownType:
    case QMetaType::Nullptr:
        rc = sqlite3_bind_null(m_stmt, index);
        break;
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
        rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong());
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        rc = sqlite3_bind_double(m_stmt, index, value.toDouble());
        break;
    case QMetaType::QByteArray: {
        const QByteArray b = value.toByteArray();
        rc = sqlite3_bind_blob64(m_stmt, index, b.constData(), sqlite3_uint64(b.size()), SQLITE_TRANSIENT);
        break;
    }
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        rc = dt.isValid() ? sqlite3_bind_int64(m_stmt, index, dt.toMSecsSinceEpoch())
                          : sqlite3_bind_null(m_stmt, index);
        break;
    }
    default: {
        const QByteArray utf8 = value.toString().toUtf8();
        rc = sqlite3_bind_text64(
            m_stmt, index, utf8.constData(), sqlite3_uint64(utf8.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
        break;
    }
    }
    return rc == SQLITE_OK;
}

bool SqliteStatement::bindAll(const QVariantList &values)
{
    for (int i = 0; i < values.size(); ++i)
        if (!bind(i + 1, values.at(i)))
            return false;
    return true;
}

SqliteStatement::Step SqliteStatement::step()
{
    if (!m_stmt)
        return Step::Error;
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return Step::Row;
    if (rc == SQLITE_DONE)
        return Step::Done;
    qCWarning(lcLibrary) << "SQL error:" << sqlite3_errmsg(m_db) << "in" << sqlite3_sql(m_stmt);
    return Step::Error;
}

void SqliteStatement::reset()
{
    if (m_stmt)
        sqlite3_reset(m_stmt);
}

int SqliteStatement::columnCount() const
{
    return m_stmt ? sqlite3_column_count(m_stmt) : 0;
}

bool SqliteStatement::isNull(int column) const
{
    return !m_stmt || sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

qint64 SqliteStatement::columnInt64(int column) const
{
    return m_stmt ? sqlite3_column_int64(m_stmt, column) : 0;
}

double SqliteStatement::columnDouble(int column) const
{
    return m_stmt ? sqlite3_column_double(m_stmt, column) : 0.0;
}

QString SqliteStatement::columnText(int column) const
{
    if (!m_stmt)
        return {};
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    const int size = sqlite3_column_bytes(m_stmt, column);
    return text ? QString::fromUtf8(text, size) : QString();
}

QVariant SqliteStatement::columnValue(int column) const
{
    if (!m_stmt)
        return {};
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_INTEGER:
        return columnInt64(column);
    case SQLITE_FLOAT:
        return columnDouble(column);
    case SQLITE_TEXT:
        return columnText(column);
    case SQLITE_BLOB:
        return columnBlob(column);
    default:
        return QVariant::fromValue(nullptr);
    }
}

QByteArray SqliteStatement::columnBlob(int column) const
{
    if (!m_stmt)
        return {};
    const void *data = sqlite3_column_blob(m_stmt, column);
    const int size = sqlite3_column_bytes(m_stmt, column);
    return data ? QByteArray(static_cast<const char *>(data), size) : QByteArray();
}

SqliteDatabase::~SqliteDatabase()
{
    close();
}

bool SqliteDatabase::open(const QString &path, bool create)
{
    close();
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX;
    if (create)
        flags |= SQLITE_OPEN_CREATE;
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        m_openError = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close(db);
        return false;
    }
    sqlite3_extended_result_codes(db, 1);
    m_db = db;
    m_openError.clear();
    return true;
}

void SqliteDatabase::close()
{
    if (m_db) {
        // Statements are owned by their SqliteStatement objects; a close with
        // one still alive is deferred by SQLite until it is finalised.
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

bool SqliteDatabase::exec(const QString &sql)
{
    if (!m_db)
        return false;
    char *message = nullptr;
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        qCWarning(lcLibrary) << "SQL error:" << (message ? message : "") << "in" << sql;
        sqlite3_free(message);
        return false;
    }
    return true;
}

SqliteStatement SqliteDatabase::prepare(const QString &sql) const
{
    return SqliteStatement(m_db, sql);
}

QVariant SqliteDatabase::scalar(const QString &sql, const QVariantList &args) const
{
    SqliteStatement st = prepare(sql);
    if (!st.isValid() || !st.bindAll(args) || st.step() != SqliteStatement::Step::Row)
        return {};
    return st.columnValue(0);
}

qint64 SqliteDatabase::lastInsertRowId() const
{
    return m_db ? sqlite3_last_insert_rowid(m_db) : 0;
}

int SqliteDatabase::changes() const
{
    return m_db ? sqlite3_changes(m_db) : 0;
}

QString SqliteDatabase::lastError() const
{
    if (!m_db)
        return m_openError;
    return QString::fromUtf8(sqlite3_errmsg(m_db));
}
