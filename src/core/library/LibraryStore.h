// The library store: one SQLite file holding a table per library entity, with
// columns named exactly as the attributes (dates are INTEGER milliseconds
// since the epoch, UTC). Every write is its own committed statement (or a
// transaction where one operation writes several rows), so the file on disk
// is current when a call returns.
//
// Threads: one store is used from one thread. The application's store is
// opened by its start-up on the main thread and handed down (as a Library,
// see Library.h); there is no process-wide store.
//
// Failure: a store that could not be opened behaves as an empty one: finds
// return nothing, writes return false. Errors are logged.
#pragma once

#include "LibraryEntities.h"
#include "SqliteDatabase.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <optional>

class LibraryStore
{
public:
    // The schema version this build writes (PRAGMA user_version).
    static constexpr int kSchemaVersion = 2;

    LibraryStore() = default;
    ~LibraryStore() = default;
    LibraryStore(const LibraryStore &) = delete;
    LibraryStore &operator=(const LibraryStore &) = delete;

    // The store file: "<application name>.sqlite" ("LibraryStore.sqlite"
    // without a name), taken from the Documents folder when a file of that
    // name is there, else from "<data location>/<application name>/", whose
    // missing folders are created.
    static QString defaultPath();
    static QString storeFileName(const QString &applicationName);

    // Opens (creating when missing) the store at `path`, migrating an older
    // schema forward and keeping its records; journal mode WAL. A failed open
    // is tried once more after half a second. The file is never deleted or
    // replaced, whatever is wrong with it. False when it could not be opened.
    bool open(const QString &path);
    void close();
    bool isOpen() const { return m_db.isOpen(); }
    const QString &path() const { return m_path; }
    SqliteDatabase &database() { return m_db; }

    // Runs `body` inside one transaction (nestable). The changes are committed
    // when it returns true and rolled back when it returns false.
    [[nodiscard]] bool transaction(const std::function<bool()> &body);

    // Finds. `where` is an SQL condition with "?" placeholders bound to `args`
    // in order; `orderBy` an SQL ordering such as "\"PageIdx\" ASC".
    template <class T>
    QList<T> findAll(const QString &where = {}, const QVariantList &args = {}, const QString &orderBy = {},
        int limit = -1);
    template <class T>
    std::optional<T> findFirst(
        const QString &where = {}, const QVariantList &args = {}, const QString &orderBy = {});
    template <class T> qint64 count(const QString &where = {}, const QVariantList &args = {});

    // Writes. insert() sets record.pk; save() inserts a new record (pk 0) or
    // updates an existing one. All return false on failure.
    template <class T> [[nodiscard]] bool insert(T &record);
    template <class T> [[nodiscard]] bool update(const T &record);
    template <class T> [[nodiscard]] bool save(T &record)
    {
        return record.pk ? update(record) : insert(record);
    }
    template <class T> [[nodiscard]] bool remove(const T &record);
    // Deletes the matching records (all without a condition); the number
    // deleted, or -1 on failure.
    template <class T> [[nodiscard]] int removeAll(const QString &where = {}, const QVariantList &args = {});

    // Runs one statement with "?" placeholders bound to `args`; the number of
    // rows changed, or -1 on failure.
    [[nodiscard]] int execute(const QString &sql, const QVariantList &args = {});

    // The columns of an entity as the store declares them, for tests.
    QStringList columnsOf(const QString &entityName);

private:
    bool openOnce(const QString &path);
    bool migrate();
    template <class T> bool ensureTable();
    bool ensureTable(const QString &entity, const QList<QPair<QString, AttributeType>> &columns);

    // `columnSql` is the select list as SQL text.
    SqliteStatement select(const QString &entity, const QString &columnSql, const QString &where,
        const QVariantList &args, const QString &orderBy, int limit);
    qint64 insertRow(const QString &entity, const QStringList &columns, const QVariantList &values);
    bool updateRow(const QString &entity, qint64 pk, const QStringList &columns, const QVariantList &values);
    bool deleteRow(const QString &entity, qint64 pk);
    int deleteRows(const QString &entity, const QString &where, const QVariantList &args);

    template <class T> static QStringList columnNames();
    template <class T> static QVariantList valuesOf(const T &record);
    template <class T> static T readRow(const SqliteStatement &st);

    SqliteDatabase m_db;
    QString m_path;
    int m_savepointDepth = 0;
};

// ---- template implementation ----

template <class T> QStringList LibraryStore::columnNames()
{
    QStringList names;
    for (const auto &a : T::attributes())
        names << QString::fromLatin1(a.name);
    return names;
}

template <class T> QVariantList LibraryStore::valuesOf(const T &record)
{
    QVariantList values;
    for (const auto &a : T::attributes()) {
        std::visit(
            [&](auto member) {
                const auto &field = record.*member;
                values << (field ? QVariant::fromValue(*field) : QVariant());
            },
            a.member);
    }
    return values;
}

template <class T> T LibraryStore::readRow(const SqliteStatement &st)
{
    T record;
    record.pk = st.columnInt64(0);
    int column = 1;
    for (const auto &a : T::attributes()) {
        const int c = column++;
        if (st.isNull(c))
            continue;
        switch (a.type()) {
        case AttributeType::Integer:
            record.*std::get<0>(a.member) = st.columnInt64(c);
            break;
        case AttributeType::Real:
            record.*std::get<1>(a.member) = st.columnDouble(c);
            break;
        case AttributeType::String:
            record.*std::get<2>(a.member) = st.columnText(c);
            break;
        case AttributeType::Date:
            record.*std::get<3>(a.member) = QDateTime::fromMSecsSinceEpoch(st.columnInt64(c), Qt::UTC);
            break;
        }
    }
    return record;
}

template <class T>
QList<T> LibraryStore::findAll(
    const QString &where, const QVariantList &args, const QString &orderBy, int limit)
{
    QList<T> result;
    QStringList quoted { QStringLiteral("\"pk\"") };
    for (const QString &name : columnNames<T>())
        quoted << QLatin1Char('"') + name + QLatin1Char('"');
    SqliteStatement st
        = select(QString::fromLatin1(T::entityName), quoted.join(u','), where, args, orderBy, limit);
    while (st.step() == SqliteStatement::Step::Row)
        result.append(readRow<T>(st));
    return result;
}

template <class T>
std::optional<T> LibraryStore::findFirst(
    const QString &where, const QVariantList &args, const QString &orderBy)
{
    QList<T> list = findAll<T>(where, args, orderBy, 1);
    if (list.isEmpty())
        return std::nullopt;
    return list.takeFirst();
}

template <class T> qint64 LibraryStore::count(const QString &where, const QVariantList &args)
{
    SqliteStatement st
        = select(QString::fromLatin1(T::entityName), QStringLiteral("COUNT(*)"), where, args, {}, -1);
    return st.step() == SqliteStatement::Step::Row ? st.columnInt64(0) : 0;
}

template <class T> bool LibraryStore::insert(T &record)
{
    const qint64 pk = insertRow(QString::fromLatin1(T::entityName), columnNames<T>(), valuesOf(record));
    if (pk <= 0)
        return false;
    record.pk = pk;
    return true;
}

template <class T> bool LibraryStore::update(const T &record)
{
    return updateRow(QString::fromLatin1(T::entityName), record.pk, columnNames<T>(), valuesOf(record));
}

template <class T> bool LibraryStore::remove(const T &record)
{
    return deleteRow(QString::fromLatin1(T::entityName), record.pk);
}

template <class T> int LibraryStore::removeAll(const QString &where, const QVariantList &args)
{
    return deleteRows(QString::fromLatin1(T::entityName), where, args);
}

template <class T> bool LibraryStore::ensureTable()
{
    QList<QPair<QString, AttributeType>> columns;
    for (const auto &a : T::attributes())
        columns.append({ QString::fromLatin1(a.name), a.type() });
    return ensureTable(QString::fromLatin1(T::entityName), columns);
}
