#include "ShelfModel.h"

#include "core/account/AccountSession.h"
#include "core/content/BookUrl.h"
#include "core/content/EPUBManager.h"
#include "core/platform/DataFolder.h"
#include "core/platform/UserDefaults.h"
#include "core/reader/BookOpening.h"
#include "core/store/PackageInstaller.h"
#include "core/sync/QMShareHelper.h"
#include "core/util/DataHelpers.h"
#include "core/util/DictionaryHelpers.h"
#include "core/util/Logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>

namespace
{

bool tocMentions(const QVariantList &entries, const QString &text, bool withTitle, int depth = 0)
{
    if (depth > 32)
        return false;
    for (const QVariant &v : entries) {
        const QVariantMap e = v.toMap();
        for (const char *key : { "text", "author", "title" }) {
            if (!withTitle && QLatin1String(key) == QLatin1String("title"))
                continue;
            if (e.value(QLatin1String(key)).toString().contains(text, Qt::CaseInsensitive))
                return true;
        }
        for (const char *nested : { "child", "sub" })
            if (tocMentions(e.value(QLatin1String(nested)).toList(), text, withTitle, depth + 1))
                return true;
    }
    return false;
}

} // namespace

ShelfEntry ShelfModel::entryFor(const QString &fileName)
{
    const QFileInfo file(DataFolder::contentsFolder() + u'/' + fileName);
    return { file.absoluteFilePath(), fileName, formatOf(file.absoluteFilePath()), file.lastModified() };
}

QString ShelfModel::sideFile(const QString &pdfPath, const QString &extension)
{
    return pdfPath.left(pdfPath.size() - 4) + extension;
}

const QStringList &ShelfModel::sortList()
{
    static const QStringList labels {
        QStringLiteral("ダウンロード順▲"),
        QStringLiteral("ダウンロード順▼"),
        QStringLiteral("タイトル▲"),
        QStringLiteral("タイトル▼"),
        QStringLiteral("作者▲"),
        QStringLiteral("作者▼"),
        QStringLiteral("出版日付▲"),
        QStringLiteral("出版日付▼"),
    };
    return labels;
}

QString ShelfModel::currentSort()
{
    const QString stored
        = UserDefaults::stringForKey(QString::fromLatin1(UserDefaults::sort)).value_or(QString());
    return sortList().contains(stored) ? stored : sortList().first();
}

void ShelfModel::setSort(const QString &label)
{
    UserDefaults::setValue(QString::fromLatin1(UserDefaults::sort), label);
    UserDefaults::synchronize();
}

QList<LabelMaster> ShelfModel::labels() const
{
    return m_library.books().labels();
}

QList<ShelfEntry> ShelfModel::contentsList(
    qint64 labelID, const std::optional<QStringList> &searchBookList, bool all)
{
    const bool registered
        = UserDefaults::value(QString::fromLatin1(UserDefaults::hasBuildBookInfo)).toInt() == 1;
    QList<ShelfEntry> kept;
    const QDir contents(DataFolder::contentsFolder());
    const QFileInfoList files = contents.entryInfoList(QDir::Files);
    std::optional<QSet<QString>> wanted;
    if (!all && searchBookList)
        wanted = QSet<QString>(searchBookList->cbegin(), searchBookList->cend());
    // One query each for the book records and the shelf's links, not one
    // per file: a shelf of thousands of books opens at once.
    BookRepository repository = m_library.books();
    QHash<QString, qint64> bookIDs;
    QSet<qint64> onShelf;
    QHash<qint64, QDateTime> linkedAt; // of the shown shelf's links
    for (const BookMetaData &b : repository.allBooks())
        if (b.fileName && b.BookID)
            bookIDs.insert(*b.fileName, *b.BookID);
    if (labelID > 0)
        for (const BookLabelLink &l : repository.getBookListByLabelID(labelID))
            if (l.BookID) {
                onShelf.insert(*l.BookID);
                linkedAt.insert(*l.BookID, l.UpdateDateTime.value_or(QDateTime()));
            }
    auto downloaded = [&](const QString &name) -> QDateTime {
        const auto id = bookIDs.constFind(name);
        if (id == bookIDs.cend())
            return {};
        if (const auto at = linkedAt.constFind(*id); at != linkedAt.cend())
            return *at;
        const auto link = repository.getLabelByBookID(*id);
        return link ? link->UpdateDateTime.value_or(QDateTime()) : QDateTime();
    };
    for (const QFileInfo &file : files) {
        const QString name = file.fileName();
        if (wanted && !wanted->contains(name))
            continue;
        const QString ext = file.suffix().toLower();
        if (ext != u"epub" && ext != u"pdf")
            continue;
        // A damaged file is no book: it is not registered.
        if (!registered && !bookIDs.contains(name) && !repository.findBookByFileName(name)
            && PackageInstaller::isReadableBook(file.absoluteFilePath(), ext)) {
            repository.parseLooseBook(file.absoluteFilePath());
            if (const auto b = repository.findBookByFileName(name); b && b->BookID) {
                bookIDs.insert(name, *b->BookID);
                if (labelID > 0 && repository.bookExistenceInLibary(labelID, *b->BookID))
                    onShelf.insert(*b->BookID);
            }
        }
        if (labelID > 0) {
            const auto id = bookIDs.constFind(name);
            if (id == bookIDs.cend() || !onShelf.contains(*id))
                continue;
        }
        kept.append({ file.absoluteFilePath(), name, formatOf(file.absoluteFilePath()), file.lastModified(),
            downloaded(name) });
    }
    if (!registered) {
        UserDefaults::setValue(QString::fromLatin1(UserDefaults::hasBuildBookInfo), 1);
        UserDefaults::synchronize();
    }
    std::stable_sort(
        kept.begin(), kept.end(), [](const ShelfEntry &a, const ShelfEntry &b) { return a.date > b.date; });
    return kept;
}

QList<ShelfEntry> ShelfModel::items(qint64 labelID, const std::optional<QStringList> &searchBookList)
{
    if (AccountSession::isLifted())
        return {};
    QList<ShelfEntry> list = contentsList(labelID, searchBookList, false);
    sortItems(list, currentSort());
    return list;
}

void ShelfModel::sortItems(QList<ShelfEntry> &items, const QString &sortLabel) const
{
    const int index = std::max<int>(0, int(sortList().indexOf(sortLabel)));
    const bool descending = index % 2 == 1;
    const QHash<QString, BookMetaData> books = booksByFileName();
    // Books without the sort value (or without a record) go last.
    auto key = [&](const ShelfEntry &e) -> QVariant {
        const auto it = books.constFind(e.fileName);
        if (it == books.cend())
            return {};
        switch (index / 2) {
        case 0:
            return it->BookID ? QVariant(*it->BookID) : QVariant();
        case 1:
            return it->title ? QVariant(*it->title) : QVariant();
        case 2:
            return it->creator ? QVariant(*it->creator) : QVariant();
        default:
            return it->publishDate ? QVariant(*it->publishDate) : QVariant();
        }
    };
    std::stable_sort(items.begin(), items.end(), [&](const ShelfEntry &a, const ShelfEntry &b) {
        const QVariant ka = key(a);
        const QVariant kb = key(b);
        if (!ka.isValid() || !kb.isValid())
            return ka.isValid() && !kb.isValid();
        return QVariant::compare(ka, kb) == (descending ? QPartialOrdering::Greater : QPartialOrdering::Less);
    });
}

BookInfo ShelfModel::readerInfo(const ShelfEntry &entry, QMShareHelper *sync)
{
    BookOpening::markOpened(m_library, entry.fileName, sync);
    return BookOpening::infoForBook(m_library.books(), entry.fileName);
}

QStringList ShelfModel::search(const QString &text, qint64 labelID)
{
    QStringList found = searchTitles(text);
    if (text.isEmpty())
        return found;
    for (const QString &name : searchContents(contentsList(labelID, std::nullopt, true), text))
        if (!found.contains(name))
            found << name;
    return found;
}

QStringList ShelfModel::searchTitles(const QString &text) const
{
    QStringList found;
    for (const BookMetaData &b : m_library.books().allBooks()) {
        if (b.fileName && (text.isEmpty() || b.title.value_or(QString()).contains(text, Qt::CaseInsensitive)))
            found << *b.fileName;
    }
    return found;
}

QStringList ShelfModel::searchContents(
    const QList<ShelfEntry> &entries, const QString &text, const std::function<bool()> &cancelled)
{
    QStringList found;
    if (text.isEmpty())
        return found;
    for (const ShelfEntry &e : entries) {
        if (cancelled && cancelled())
            break;
        bool hit = false;
        if (e.isPdf()) {
            QFile toc(sideFile(e.path, QStringLiteral(".toc")));
            const auto json = toc.open(QIODevice::ReadOnly) ? jsonDictonary(toc.readAll()) : std::nullopt;
            hit = json && tocMentions(json->value(QStringLiteral("toc")).toList(), text, true);
        } else {
            const EPUBManager epub(BookUrl::rootUrl(e.fileName));
            hit = epub.toc() && tocMentions(*epub.toc(), text, false);
        }
        if (hit)
            found << e.fileName;
    }
    return found;
}

void ShelfModel::deleteBook(const ShelfEntry &entry)
{
    QFile::remove(entry.path);
    if (entry.isPdf()) {
        QFile::remove(sideFile(entry.path, QStringLiteral(".toc")));
        QFile::remove(sideFile(entry.path, QStringLiteral(".cover")));
    }
    m_library.books().removeBook(entry.fileName);
}

bool ShelfModel::moveBook(const QString &fileName, int index)
{
    qCInfo(lcLibrary) << "book name:" << fileName;
    BookRepository books = m_library.books();
    const auto book = books.findBookByFileName(fileName);
    const QList<LabelMaster> shelves = labels();
    if (!book || index < 0 || index >= shelves.size())
        return false;
    auto link = books.getLabelByBookID(book->BookID.value_or(-1));
    if (!link)
        return false;
    link->LabelID = shelves.at(index).labelID;
    return books.saveLink(*link);
}

std::optional<LabelMaster> ShelfModel::createShelf(const QString &name)
{
    if (name.trimmed().isEmpty())
        return std::nullopt;
    return m_library.books().addLibary(name);
}

bool ShelfModel::renameShelf(qint64 labelID, const QString &name)
{
    const QList<LabelMaster> shelves = labels();
    if (shelves.isEmpty() || shelves.first().labelID == labelID)
        return false; // the first shelf keeps its name
    BookRepository books = m_library.books();
    auto label = books.getLabelByLabelID(labelID);
    if (!label || name.trimmed().isEmpty())
        return false;
    label->labelName = name;
    return books.saveLabel(*label);
}

bool ShelfModel::swapShelves(int from, int to)
{
    QList<LabelMaster> shelves = labels();
    if (from <= 0 || to <= 0 || from == to || from >= shelves.size() || to >= shelves.size())
        return false;
    LabelMaster &a = shelves[from];
    LabelMaster &b = shelves[to];
    std::swap(a.order, b.order);
    return m_library.books().saveLabels(a, b);
}

int ShelfModel::booksOnShelf(qint64 labelID) const
{
    return int(m_library.books().getBookListByLabelID(labelID).size());
}

bool ShelfModel::deleteShelf(qint64 labelID, bool deleteBooks)
{
    const QList<LabelMaster> shelves = labels();
    if (shelves.isEmpty() || shelves.first().labelID == labelID)
        return false;
    if (deleteBooks) {
        for (const BookLabelLink &link : m_library.books().getBookListByLabelID(labelID)) {
            const auto book = m_library.books().findBookByBookID(link.BookID.value_or(-1));
            const QString name
                = book ? book->fileName.value_or(QString()) : link.fileName.value_or(QString());
            if (name.isEmpty())
                continue;
            deleteBook(entryFor(name));
        }
    }
    m_library.books().removeLibaryByLabelID(labelID);
    return true;
}

int ShelfModel::pageAfterDeleting(const QList<LabelMaster> &shelves, int shownPage, qint64 deletedLabelID)
{
    if (shownPage < 1 || shownPage > shelves.size())
        return 1;
    // By identity, not by number: after a reorder a shelf's labelID says
    // nothing about its place in the list.
    const std::optional<qint64> shown = shelves.at(shownPage - 1).labelID;
    if (!shown || *shown == deletedLabelID)
        return 1;
    int page = 0;
    for (const LabelMaster &l : shelves) {
        if (l.labelID == deletedLabelID)
            continue;
        ++page;
        if (l.labelID == shown)
            return page;
    }
    return 1;
}

int ShelfModel::pageAfterSwipe(double offset, double width, int pageID)
{
    const double distance = std::abs(offset);
    if (distance < width / 2 || distance >= pageID * width)
        return pageID;
    return offset > width / 2 ? pageID + 1 : pageID - 1;
}

QHash<QString, BookMetaData> ShelfModel::booksByFileName() const
{
    QHash<QString, BookMetaData> books;
    for (const BookMetaData &b : m_library.books().allBooks())
        if (b.fileName)
            books.insert(*b.fileName, b);
    return books;
}

QList<DictionaryMaster> ShelfModel::dictionaries() const
{
    return m_library.dictionaries().dictionaries();
}

bool ShelfModel::setDictionaryUsed(qint64 dicId, bool used)
{
    return m_library.dictionaries().setDictionaryUsed(dicId, used);
}
