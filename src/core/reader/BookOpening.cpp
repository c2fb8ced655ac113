#include "BookOpening.h"

#include "core/content/BookFormat.h"
#include "core/content/BookUrl.h"
#include "core/platform/DataFolder.h"
#include "core/sync/QMShareHelper.h"
#include "core/util/Logging.h"

#include <QDateTime>
#include <QFileInfo>

namespace
{

bool isPdfBook(const QString &fileName)
{
    return formatOf(DataFolder::contentsFolder() + u'/' + fileName) == BookFormat::Pdf;
}

} // namespace

BookInfo BookOpening::infoForBook(const BookRepository &books, const QString &fileName)
{
    BookInfo info;
    const bool pdf = isPdfBook(fileName);
    info.format = pdf ? BookFormat::Pdf : BookFormat::Epub;
    if (pdf)
        info.pdfUrl = DataFolder::contentsFolder() + u'/' + fileName;
    else
        info.url = BookUrl::rootUrl(fileName);
    const auto book = books.findBookByFileName(fileName);
    if (!book)
        return info;
    info.bookID = book->BookID.value_or(-1);
    info.print = book->printable.value_or(0) != 0;
    info.title = book->title.value_or(QString());
    if (const auto status = books.findStatus(info.bookID)) {
        info.lastPage = int(status->lastOpenPage.value_or(-1));
        if (!pdf)
            info.fontSize = int(status->fontSetting.value_or(BookInfo::kDefaultFontSize));
    }
    if (pdf) {
        info.metaBookId = book->identifier.value_or(QString());
        info.creator = book->creator.value_or(QString());
    }
    return info;
}

std::optional<BookMetaData> BookOpening::bookWithIdentifier(
    const BookRepository &books, const QString &identifier)
{
    return books.findBookByIdentifier(identifier);
}

void BookOpening::markOpened(const Library &library, const QString &fileName, QMShareHelper *sync)
{
    BookRepository books = library.books();
    auto book = books.findBookByFileName(fileName);
    if (!book)
        return;
    const QString id = book->identifier.value_or(QString());
    if (sync && id != QLatin1String(BookInfo::kBookIdFromDisk))
        sync->getMyBookAll(id, library.account().currentUserId().value_or(QString()), isPdfBook(fileName));
    book->lastOpenDate = QDateTime::currentDateTimeUtc();
    // Only the shelf's "recently opened" order depends on it.
    if (!books.saveBook(*book))
        qCWarning(lcLibrary) << "cannot store when" << fileName << "was opened";
}
