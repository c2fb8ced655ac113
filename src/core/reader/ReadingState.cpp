#include "ReadingState.h"

#include "core/platform/ConfigDictionary.h"
#include "core/platform/UserDefaults.h"
#include "core/sync/QMShareHelper.h"
#include "core/util/Logging.h"

bool ReadingState::save(BookRepository books, qint64 bookID, int page, std::optional<int> fontSize)
{
    if (bookID < 0)
        return true;
    BookStatusData status = books.findStatus(bookID).value_or(BookStatusData());
    status.BookID = bookID;
    status.lastOpenPage = page;
    if (fontSize)
        status.fontSetting = *fontSize;
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
