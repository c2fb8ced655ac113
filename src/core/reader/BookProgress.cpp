#include "BookProgress.h"

#include "BookSearchText.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>

BookProgress::BookProgress(QList<qint64> lengths, QString stamp)
    : m_lengths(std::move(lengths))
    , m_stamp(std::move(stamp))
{
    for (qint64 &n : m_lengths) {
        n = std::max<qint64>(0, n);
        m_total += n;
    }
}

double BookProgress::weight(int index) const
{
    return m_total > 0 ? double(m_lengths.at(index)) : 1.0;
}

double BookProgress::share(int spineIndex, double fraction) const
{
    if (m_lengths.isEmpty())
        return 0.0;
    const int index = std::clamp(spineIndex, 0, spineCount() - 1);
    const double within = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
    const double total = m_total > 0 ? double(m_total) : double(spineCount());
    double before = 0;
    for (int i = 0; i < index; ++i)
        before += weight(i);
    return std::clamp((before + within * weight(index)) / total, 0.0, 1.0);
}

ReadingPlace BookProgress::placeAt(double share) const
{
    if (m_lengths.isEmpty())
        return ReadingPlace::at(0);
    const double wanted = std::isfinite(share) ? std::clamp(share, 0.0, 1.0) : 0.0;
    const double total = m_total > 0 ? double(m_total) : double(spineCount());
    const double target = wanted * total;
    double before = 0;
    int last = 0; // the last item with text
    for (int i = 0; i < spineCount(); ++i) {
        const double w = weight(i);
        if (w <= 0)
            continue;
        if (target < before + w)
            return ReadingPlace::at(i, (target - before) / w);
        before += w;
        last = i;
    }
    return ReadingPlace::at(last, 1.0);
}

BookProgress BookProgress::measure(const BookSearchText &book, const QString &stamp)
{
    QList<qint64> lengths;
    lengths.reserve(book.items().size());
    for (int i = 0; i < book.items().size(); ++i) {
        qint64 n = 0;
        for (const QString &chunk : book.text(i)->chunks)
            n += std::count_if(chunk.cbegin(), chunk.cend(), [](QChar c) { return !c.isSpace(); });
        lengths.append(n);
    }
    return BookProgress(std::move(lengths), stamp);
}

QString BookProgress::stampOf(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return {};
    return QStringLiteral("%1-%2").arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch());
}

QString BookProgress::toJson() const
{
    QJsonArray lengths;
    for (qint64 n : m_lengths)
        lengths.append(n);
    const QJsonObject o { { QStringLiteral("stamp"), m_stamp }, { QStringLiteral("lengths"), lengths } };
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

std::optional<BookProgress> BookProgress::fromJson(const QString &json)
{
    const QJsonDocument doc = QJsonDocument::fromJson(json.toUtf8());
    if (!doc.isObject() || !doc.object().value(QStringLiteral("lengths")).isArray())
        return std::nullopt;
    QList<qint64> lengths;
    for (const QJsonValue &v : doc.object().value(QStringLiteral("lengths")).toArray()) {
        const double n = v.toDouble(-1);
        if (!v.isDouble() || n < 0 || n > 9e15 || n != std::floor(n))
            return std::nullopt;
        lengths.append(qint64(n));
    }
    return BookProgress(std::move(lengths), doc.object().value(QStringLiteral("stamp")).toString());
}
