#include "ReadingState.h"

#include "core/platform/ConfigDictionary.h"
#include "core/platform/UserDefaults.h"
#include "core/sync/QMShareHelper.h"
#include "core/util/Logging.h"

bool ReadingState::save(BookRepository books, qint64 bookID, int page, std::optional<int> fontSize,
    std::optional<ReadingPlace> place)
{
    if (bookID < 0)
        return true;
    BookStatusData status = books.findStatus(bookID).value_or(BookStatusData());
    status.BookID = bookID;
    status.lastOpenPage = page;
    if (fontSize)
        status.fontSetting = *fontSize;
    if (place)
        status.readingPlace = (place->spineIndex == page ? *place : ReadingPlace::at(page)).toJson();
    const bool saved = books.saveStatus(status);
    if (fontSize) {
        UserDefaults::setValue(QString::fromLatin1(UserDefaults::bookFontSize), *fontSize);
        UserDefaults::synchronize();
    }
    return saved;
}

std::optional<double> ReadingState::storedSplit(const QVariant &value)
{
    bool number = false;
    const double fraction = value.toDouble(&number);
    if (!value.isValid() || !number || !(fraction >= 0.05 && fraction <= 0.95))
        return std::nullopt;
    return fraction;
}

std::optional<double> ReadingState::storedSplit(const ConfigDictionary &config)
{
    return storedSplit(config.value(QStringLiteral("r_split")));
}

bool ReadingState::saveSplit(ConfigDictionary &config, double fraction)
{
    config.setValue(QStringLiteral("r_split"), fraction);
    if (config.save())
        return true;
    qCWarning(lcApp) << "could not write" << config.file();
    return false;
}

bool ReadingState::uploadsOnLeave(const BookRepository &books, const BookInfo &info, bool shown)
{
    if (!shown)
        return false;
    if (info.bookID > 0) {
        if (const auto book = books.findBookByBookID(info.bookID))
            return QMShareHelper::syncsAnnotations(book->identifier.value_or(QString()));
    }
    return QMShareHelper::syncsAnnotations(info.metaBookId);
}

std::optional<ReadingPlace> ReadingState::storedPlace(const BookRepository &books, qint64 bookID, int page)
{
    if (bookID < 0 || page < 0)
        return std::nullopt;
    const auto status = books.findStatus(bookID);
    if (!status || !status->readingPlace)
        return std::nullopt;
    const auto place = ReadingPlace::fromJson(*status->readingPlace);
    if (!place) {
        qCWarning(lcApp) << "unreadable reading place of book" << bookID << *status->readingPlace;
        return std::nullopt;
    }
    if (place->spineIndex != page)
        return std::nullopt;
    return place;
}

std::optional<BookProgress> ReadingState::storedProgress(
    const BookRepository &books, qint64 bookID, const QString &stamp, int spineCount)
{
    if (bookID < 0 || stamp.isEmpty())
        return std::nullopt;
    const auto status = books.findStatus(bookID);
    if (!status || !status->textLengths)
        return std::nullopt;
    const auto progress = BookProgress::fromJson(*status->textLengths);
    if (!progress || progress->stamp() != stamp || progress->spineCount() != spineCount)
        return std::nullopt;
    return progress;
}

bool ReadingState::saveProgress(BookRepository books, qint64 bookID, const BookProgress &progress)
{
    if (bookID < 0)
        return false;
    BookStatusData status = books.findStatus(bookID).value_or(BookStatusData());
    status.BookID = bookID;
    status.textLengths = progress.toJson();
    return books.saveStatus(status);
}
