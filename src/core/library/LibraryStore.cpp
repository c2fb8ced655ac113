#include "LibraryStore.h"

#include "core/util/Logging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

namespace
{

QString quoted(const QString &identifier)
{
    return QLatin1Char('"') + identifier + QLatin1Char('"');
}

QString sqlType(AttributeType type)
{
    switch (type) {
    case AttributeType::Real:
        return QStringLiteral("REAL");
    case AttributeType::String:
        return QStringLiteral("TEXT");
    case AttributeType::Integer:
    case AttributeType::Date:
        break;
    }
    return QStringLiteral("INTEGER");
}

// Indexes for the look-ups the application makes on every screen. Added in
// schema version 2; version 1 stores get them when they are opened.
const char *const kIndexesV2[] = {
    R"(CREATE INDEX IF NOT EXISTS "BookMetaData_BookID" ON "BookMetaData" ("BookID"))",
    R"(CREATE INDEX IF NOT EXISTS "BookMetaData_identifier" ON "BookMetaData" ("identifier"))",
    R"(CREATE INDEX IF NOT EXISTS "BookMetaData_fileName" ON "BookMetaData" ("fileName"))",
    R"(CREATE INDEX IF NOT EXISTS "BookStatusData_BookID" ON "BookStatusData" ("BookID"))",
    R"(CREATE INDEX IF NOT EXISTS "BookLabelLink_LabelID" ON "BookLabelLink" ("LabelID", "BookID"))",
    R"(CREATE INDEX IF NOT EXISTS "BookLabelLink_BookID" ON "BookLabelLink" ("BookID"))",
    R"(CREATE INDEX IF NOT EXISTS "BookHighlightMemo_Book" ON "BookHighlightMemo" ("BookID", "PageIdx"))",
    R"(CREATE INDEX IF NOT EXISTS "CacheInfo_ids" ON "CacheInfo" ("infoId", "categoryId"))",
    R"(CREATE INDEX IF NOT EXISTS "DictionarySettingItem_dict" ON "DictionarySettingItem" ("dict"))",
};

} // namespace

QString LibraryStore::storeFileName(const QString &applicationName)
{
    if (applicationName.isEmpty())
        return QStringLiteral("LibraryStore.sqlite");
    if (applicationName.endsWith(QStringLiteral("sqlite")))
        return applicationName;
    return applicationName + QStringLiteral(".sqlite");
}

QString LibraryStore::defaultPath()
{
    const QString appName = QCoreApplication::applicationName();
    const QString fileName = storeFileName(appName);

    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo::exists(documents + u'/' + fileName))
        return documents + u'/' + fileName;

    const QString support = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u'/'
        + (appName.isEmpty() ? QStringLiteral("LibraryStore") : appName);
    QDir().mkpath(support);
    return support + u'/' + fileName;
}

bool LibraryStore::open(const QString &path)
{
    close();
    if (openOnce(path))
        return true;
    // A store can be briefly unavailable (another process finishing a
    // checkpoint, a slow mount): try once more before running without it.
    QThread::msleep(500);
    return openOnce(path);
}

bool LibraryStore::openOnce(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!m_db.open(path)) {
        qCWarning(lcLibrary) << "cannot open the library store" << path << m_db.lastError();
        return false;
    }
    // "PRAGMA journal_mode" is the first statement that reads the file, so a
    // file that is not a database fails here. It is left as it is.
    const QVariant mode = m_db.scalar(QStringLiteral("PRAGMA journal_mode=WAL"));
    if (!mode.isValid()) {
        qCWarning(lcLibrary) << "cannot open the library store" << path << m_db.lastError();
        m_db.close();
        return false;
    }
    if (mode.toString().compare(QStringLiteral("wal"), Qt::CaseInsensitive) != 0)
        qCWarning(lcLibrary) << "the library store runs in journal mode" << mode.toString();
    // In WAL mode NORMAL keeps every committed write across a crash of the
    // process; only a power cut may lose the last transactions.
    m_db.exec(QStringLiteral("PRAGMA synchronous=NORMAL; PRAGMA busy_timeout=5000;"));
    if (!migrate()) {
        qCWarning(lcLibrary) << "cannot migrate the library store" << path << m_db.lastError();
        m_db.close();
        return false;
    }
    m_path = path;
    return true;
}

void LibraryStore::close()
{
    m_db.close();
    m_path.clear();
    m_savepointDepth = 0;
}

bool LibraryStore::migrate()
{
    const int version = m_db.scalar(QStringLiteral("PRAGMA user_version")).toInt();
    if (version > kSchemaVersion) {
        // Written by a newer build: its tables are a superset of ours. Leave
        // the schema alone so the newer build still finds what it wrote.
        qCWarning(lcLibrary) << "library store schema" << version << "is newer than" << kSchemaVersion;
        return true;
    }
    return transaction([&] {
        // Tables and columns are derived from the entity descriptions: new
        // ones are added, nothing is dropped or renamed.
        const bool tables = ensureTable<UserInfo>() && ensureTable<BookMetaData>()
            && ensureTable<BookStatusData>() && ensureTable<LabelMaster>() && ensureTable<BookLabelLink>()
            && ensureTable<BookHighlightMemo>() && ensureTable<CacheInfo>() && ensureTable<AccessBookLog>()
            && ensureTable<AccessPageLog>() && ensureTable<DictionaryMaster>()
            && ensureTable<DictionarySettingItem>();
        if (!tables)
            return false;
        if (version < 2) {
            for (const char *sql : kIndexesV2)
                if (!m_db.exec(QString::fromLatin1(sql)))
                    return false;
        }
        if (version != kSchemaVersion)
            return m_db.exec(QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion));
        return true;
    });
}

bool LibraryStore::ensureTable(const QString &entity, const QList<QPair<QString, AttributeType>> &columns)
{
    const QStringList existing = columnsOf(entity);
    if (existing.isEmpty()) {
        QStringList defs { QStringLiteral("\"pk\" INTEGER PRIMARY KEY") };
        for (const auto &[name, type] : columns)
            defs << quoted(name) + u' ' + sqlType(type);
        return m_db.exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(quoted(entity), defs.join(u',')));
    }
    for (const auto &[name, type] : columns) {
        if (existing.contains(name, Qt::CaseInsensitive))
            continue;
        if (!m_db.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3")
                           .arg(quoted(entity), quoted(name), sqlType(type))))
            return false;
    }
    return true;
}

QStringList LibraryStore::columnsOf(const QString &entity)
{
    QStringList names;
    SqliteStatement st = m_db.prepare(QStringLiteral("PRAGMA table_info(%1)").arg(quoted(entity)));
    while (st.step() == SqliteStatement::Step::Row)
        names << st.columnText(1);
    return names;
}

bool LibraryStore::transaction(const std::function<bool()> &body)
{
    if (!m_db.isOpen())
        return false;
    const QString name = QStringLiteral("sp%1").arg(m_savepointDepth);
    if (!m_db.exec(QStringLiteral("SAVEPOINT ") + name))
        return false;
    ++m_savepointDepth;
    const bool ok = body();
    --m_savepointDepth;
    if (ok && m_db.exec(QStringLiteral("RELEASE ") + name))
        return true;
    m_db.exec(QStringLiteral("ROLLBACK TO ") + name);
    m_db.exec(QStringLiteral("RELEASE ") + name);
    return false;
}

SqliteStatement LibraryStore::select(const QString &entity, const QString &columnSql, const QString &where,
    const QVariantList &args, const QString &orderBy, int limit)
{
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(columnSql, quoted(entity));
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where;
    if (!orderBy.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + orderBy;
    else
        sql += QStringLiteral(" ORDER BY \"pk\"");
    if (limit >= 0)
        sql += QStringLiteral(" LIMIT %1").arg(limit);
    SqliteStatement st = m_db.prepare(sql);
    if (st.isValid() && !st.bindAll(args))
        return {};
    return st;
}

qint64 LibraryStore::insertRow(const QString &entity, const QStringList &columns, const QVariantList &values)
{
    QStringList names;
    for (const QString &c : columns)
        names << quoted(c);
    const QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                            .arg(quoted(entity), names.join(u','),
                                QStringList(columns.size(), QStringLiteral("?")).join(u','));
    SqliteStatement st = m_db.prepare(sql);
    if (!st.bindAll(values) || st.step() != SqliteStatement::Step::Done)
        return 0;
    return m_db.lastInsertRowId();
}

bool LibraryStore::updateRow(
    const QString &entity, qint64 pk, const QStringList &columns, const QVariantList &values)
{
    if (pk <= 0)
        return false;
    QStringList sets;
    for (const QString &c : columns)
        sets << quoted(c) + QStringLiteral("=?");
    SqliteStatement st = m_db.prepare(
        QStringLiteral("UPDATE %1 SET %2 WHERE \"pk\"=?").arg(quoted(entity), sets.join(u',')));
    QVariantList all = values;
    all << pk;
    return st.bindAll(all) && st.step() == SqliteStatement::Step::Done;
}

bool LibraryStore::deleteRow(const QString &entity, qint64 pk)
{
    SqliteStatement st = m_db.prepare(QStringLiteral("DELETE FROM %1 WHERE \"pk\"=?").arg(quoted(entity)));
    return st.bind(1, pk) && st.step() == SqliteStatement::Step::Done;
}

int LibraryStore::deleteRows(const QString &entity, const QString &where, const QVariantList &args)
{
    QString sql = QStringLiteral("DELETE FROM %1").arg(quoted(entity));
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where;
    SqliteStatement st = m_db.prepare(sql);
    if (!st.bindAll(args) || st.step() != SqliteStatement::Step::Done)
        return -1;
    return m_db.changes();
}

int LibraryStore::execute(const QString &sql, const QVariantList &args)
{
    SqliteStatement st = m_db.prepare(sql);
    if (!st.bindAll(args) || st.step() != SqliteStatement::Step::Done)
        return -1;
    return m_db.changes();
}
