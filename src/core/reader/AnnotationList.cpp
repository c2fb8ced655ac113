#include "AnnotationList.h"

#include "ReaderAnnotations.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace
{

// By page, then by place in the page (the store sorts by page only).
void sortByPlace(QList<BookHighlightMemo> &list)
{
    std::stable_sort(list.begin(), list.end(), [](const BookHighlightMemo &a, const BookHighlightMemo &b) {
        return std::tuple(a.PageIdx.value_or(0), a.startNodeNo.value_or(0), a.startNodeOffset.value_or(0))
            < std::tuple(b.PageIdx.value_or(0), b.startNodeNo.value_or(0), b.startNodeOffset.value_or(0));
    });
}

bool lost(const BookHighlightMemo &r)
{
    return r.anchorFound.value_or(1) == 0;
}

QJsonObject recordJson(const BookHighlightMemo &r)
{
    QJsonObject o;
    for (const auto &a : BookHighlightMemo::attributes()) {
        std::visit(
            [&](auto member) {
                const auto &field = r.*member;
                if (!field)
                    return;
                using V = std::decay_t<decltype(*field)>;
                if constexpr (std::is_same_v<V, QDateTime>)
                    o.insert(QLatin1String(a.name), field->toUTC().toString(Qt::ISODateWithMs));
                else if constexpr (std::is_same_v<V, QString>)
                    o.insert(QLatin1String(a.name), *field);
                else
                    o.insert(QLatin1String(a.name), double(*field));
            },
            a.member);
    }
    return o;
}

QJsonArray listJson(const QList<BookHighlightMemo> &list)
{
    QJsonArray a;
    for (const BookHighlightMemo &r : list)
        a.append(recordJson(r));
    return a;
}

// Markdown text on one line of a list item or quote: line breaks continue
// the block instead of ending it.
QString quoted(const QString &text, const QString &prefix)
{
    QStringList lines = text.split(u'\n');
    for (QString &l : lines)
        l = prefix + l;
    return lines.join(u'\n');
}

} // namespace

AnnotationList AnnotationList::load(const AnnotationRepository &annotations, qint64 bookID)
{
    AnnotationList list;
    if (bookID <= 0)
        return list;
    list.m_bookmarks = annotations.findAllBookMarkByBookID(bookID);
    list.m_highlights = annotations.findAllHighlightByBookID(bookID);
    list.m_memos = annotations.findAllMemoByBookID(bookID);
    sortByPlace(list.m_highlights);
    sortByPlace(list.m_memos);
    return list;
}

const QList<BookHighlightMemo> &AnnotationList::list(Tab tab) const
{
    switch (tab) {
    case Tab::Highlights:
        return m_highlights;
    case Tab::Memos:
        return m_memos;
    case Tab::Bookmarks:
        break;
    }
    return m_bookmarks;
}

QString AnnotationList::rowText(Tab tab, const BookHighlightMemo &r)
{
    const int page = int(r.PageIdx.value_or(0)) + 1;
    if (tab == Tab::Bookmarks)
        return QStringLiteral("%1:%2").arg(page).arg(ReaderAnnotations::bookmarkTitle(r));
    // A row is named by where it is and what it marks; the time is only a
    // fallback for a page without a chapter title.
    const QString chapter = r.contentTitle.value_or(QString()).simplified();
    QString text = QStringLiteral("%1:%2").arg(page).arg(
        chapter.isEmpty() ? ReaderAnnotations::shortTimeText(r.updateTime) : chapter);
    if (r.markedText && !r.markedText->simplified().isEmpty())
        text += QStringLiteral("\n「%1」").arg(textStart(*r.markedText));
    if (tab == Tab::Memos)
        text += u'\n' + r.memotext.value_or(QString());
    if (lost(r))
        text += QStringLiteral("\n(%1)").arg(QString::fromUtf8(kNotFound));
    return text;
}

QString AnnotationList::textStart(const QString &text)
{
    const QString line = text.simplified();
    if (line.size() <= kTextStartLength)
        return line;
    // Not in the middle of a surrogate pair.
    int cut = kTextStartLength;
    if (line.at(cut - 1).isHighSurrogate())
        --cut;
    return line.left(cut) + QChar(0x2026);
}

QString AnnotationList::toMarkdown(const QString &bookTitle) const
{
    QString md = QStringLiteral("# %1\n").arg(bookTitle.isEmpty() ? QStringLiteral("(無題)") : bookTitle);
    // Highlights and memos together, in page order, grouped by chapter.
    QList<BookHighlightMemo> marks = m_highlights + m_memos;
    sortByPlace(marks);
    std::optional<QString> chapter;
    for (const BookHighlightMemo &r : marks) {
        const QString title = r.contentTitle.value_or(QString());
        if (!chapter || *chapter != title) {
            chapter = title;
            md += QStringLiteral("\n## %1\n")
                      .arg(title.isEmpty() ? QStringLiteral("%1ページ").arg(r.PageIdx.value_or(0) + 1)
                                           : title);
        }
        md += u'\n';
        const QString text = r.markedText.value_or(QString());
        md += quoted(text.isEmpty() ? QStringLiteral("(本文なし)") : text, QStringLiteral("> ")) + u'\n';
        md += QStringLiteral("\n— %1ページ, %2")
                  .arg(r.PageIdx.value_or(0) + 1)
                  .arg(ReaderAnnotations::shortTimeText(r.updateTime));
        if (lost(r))
            md += QStringLiteral(" (%1)").arg(QString::fromUtf8(kNotFound));
        md += u'\n';
        if (r.memotext && !r.memotext->isEmpty())
            md += u'\n' + quoted(*r.memotext, QStringLiteral("    ")).replace(0, 4, QStringLiteral("メモ: "))
                + u'\n';
    }
    if (!m_bookmarks.isEmpty()) {
        md += QStringLiteral("\n## しおり\n\n");
        for (const BookHighlightMemo &r : m_bookmarks)
            md += QStringLiteral("- %1 (%2ページ)\n")
                      .arg(ReaderAnnotations::bookmarkTitle(r).simplified())
                      .arg(r.PageIdx.value_or(0) + 1);
    }
    return md;
}

QByteArray AnnotationList::toJson(const QString &bookTitle) const
{
    QJsonObject o;
    o.insert(QStringLiteral("title"), bookTitle);
    o.insert(QStringLiteral("bookmarks"), listJson(m_bookmarks));
    o.insert(QStringLiteral("highlights"), listJson(m_highlights));
    o.insert(QStringLiteral("memos"), listJson(m_memos));
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}
