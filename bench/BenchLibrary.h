// A library of many copies of one sample book, for the shelf and reader
// benchmarks: every copy registered and standing on the first shelf.
#pragma once

#include "core/library/BookRepository.h"
#include "core/library/LibraryStore.h"
#include "core/platform/DataFolder.h"

#include <QElapsedTimer>
#include <QFile>
#include <functional>

namespace bench
{

inline double secondsOf(const std::function<void()> &f)
{
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e9;
}

// Copies `sampleBook` into the contents folder `books` times as
// "book-NNNN.epub" and registers each copy in `store`; false on the first
// failure.
inline bool makeLibrary(LibraryStore &store, const QString &sampleBook, int books)
{
    DataFolder::createContentsFolder();
    BookRepository(store).addLibarywithFirstSetup();
    return store.transaction([&] {
        for (int i = 0; i < books; ++i) {
            const QString name = QStringLiteral("book-%1.epub").arg(i, 4, 10, QLatin1Char('0'));
            if (!QFile::copy(sampleBook, DataFolder::contentsFolder() + u'/' + name))
                return false;
            BookMetaData book;
            book.BookID = i + 1;
            book.identifier = QStringLiteral("urn:bench:%1").arg(i);
            book.title = QStringLiteral("Book %1").arg(i);
            book.fileName = name;
            BookLabelLink link;
            link.LabelID = 1;
            link.BookID = i + 1;
            link.fileName = name;
            if (!store.insert(book) || !store.insert(link))
                return false;
        }
        return true;
    });
}

} // namespace bench
