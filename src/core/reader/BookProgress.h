// Where in the whole book a place is: the text length of every spine item,
// measured once per book file and kept with the book's reading state, turns
// a spine index and the fraction of that item into a share of the book, and
// a share back into a spine item and fraction (the reader's slider).
//
// Plain value; any thread. measure() reads the whole book: call it off the
// main thread.
#pragma once

#include "ReadingPlace.h"

#include <QList>
#include <QString>
#include <optional>

class BookSearchText;

class BookProgress
{
public:
    BookProgress() = default;
    // `lengths`: characters of text per spine item, in reading order;
    // `stamp`: what the book file was when they were measured (stampOf).
    explicit BookProgress(QList<qint64> lengths, QString stamp = {});

    const QList<qint64> &lengths() const { return m_lengths; }
    const QString &stamp() const { return m_stamp; }
    int spineCount() const { return int(m_lengths.size()); }
    bool isEmpty() const { return m_lengths.isEmpty(); }

    // The share of the book (0 to 1) read at `fraction` of spine item
    // `spineIndex` (clamped to the spine). A book whose items have no text
    // at all counts every item alike. 0 for an empty book.
    double share(int spineIndex, double fraction) const;
    double share(const ReadingPlace &place) const { return share(place.spineIndex, place.fraction); }
    // The spine item and the fraction of it at `share` (clamped to 0..1);
    // items without text are passed over. Spine index 0 for an empty book.
    ReadingPlace placeAt(double share) const;

    // Counts the characters other than white space of every spine item of
    // `book` (a missing or broken item counts what could be read).
    static BookProgress measure(const BookSearchText &book, const QString &stamp);
    // The size and modification time of the file at `path`; empty when it
    // cannot be read.
    static QString stampOf(const QString &path);

    // The stored text: {"stamp":…,"lengths":[…]}; and back, absent for text
    // that is no such object or holds a negative or non-integral length.
    QString toJson() const;
    static std::optional<BookProgress> fromJson(const QString &json);

private:
    double weight(int index) const;

    QList<qint64> m_lengths;
    QString m_stamp;
    qint64 m_total = 0;
};
