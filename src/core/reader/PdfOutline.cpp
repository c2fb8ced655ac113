#include "PdfOutline.h"

#include "core/content/PdfProbe.h"
#include "core/util/Logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <cmath>

namespace
{

int pageNumberOf(const QVariant &value)
{
    // Written as a number by the installer; a text number is taken too.
    bool ok = false;
    const double n = value.toDouble(&ok);
    if (!ok || n < 1 || n > 1e9 || n != std::floor(n))
        return -1;
    return int(n) - 1;
}

QList<PdfOutlineRow> tocRows(const QVariantList &entries, int depth)
{
    QList<PdfOutlineRow> rows;
    if (depth >= PdfOutline::kMaxDepth)
        return rows;
    for (const QVariant &v : entries) {
        if (v.metaType().id() != QMetaType::QVariantMap)
            continue;
        const QVariantMap e = v.toMap();
        PdfOutlineRow row;
        row.title = e.value(QStringLiteral("title")).toString();
        row.page = pageNumberOf(e.value(QStringLiteral("pageNumber")));
        row.children = tocRows(e.value(QStringLiteral("sub")).toList(), depth + 1);
        rows << row;
    }
    return rows;
}

void toVariantRows(const QList<PdfOutlineRow> &rows, QVariantList &out)
{
    for (const PdfOutlineRow &r : rows) {
        QVariantMap m { { QStringLiteral("title"), r.title },
            { QStringLiteral("pageNumber"),
                r.page >= 0 ? QVariant(r.page + 1) : QVariant::fromValue(nullptr) } };
        if (!r.children.isEmpty()) {
            QVariantList sub;
            toVariantRows(r.children, sub);
            m.insert(QStringLiteral("sub"), sub);
        }
        out << m;
    }
}

struct Search {
    int page;
    std::optional<QList<int>> exact;
    std::optional<QList<int>> before;
    int beforePage = -1;
};

void search(const QList<PdfOutlineRow> &rows, QList<int> &path, Search &s)
{
    for (int i = 0; i < rows.size() && !s.exact; ++i) {
        path << i;
        const int p = rows[i].page;
        if (p == s.page)
            s.exact = path;
        else if (p >= 0 && p < s.page && p >= s.beforePage) {
            s.before = path;
            s.beforePage = p;
        }
        if (!s.exact)
            search(rows[i].children, path, s);
        path.removeLast();
    }
}

} // namespace

static_assert(PdfOutline::kMaxDepth == PdfProbe::kMaxDepth);

QString PdfOutline::tocPath(const QString &pdfPath)
{
    const QFileInfo info(pdfPath);
    // Only the last extension goes: "a.b.pdf" has "a.b.toc".
    const QString name
        = info.suffix().isEmpty() ? info.fileName() : info.fileName().chopped(info.suffix().size() + 1);
    return info.dir().filePath(name + QStringLiteral(".toc"));
}

std::optional<QList<PdfOutlineRow>> PdfOutline::fromToc(const QVariant &tocFile)
{
    const QVariant toc = tocFile.toMap().value(QStringLiteral("toc"));
    if (toc.metaType().id() != QMetaType::QVariantList)
        return std::nullopt;
    QList<PdfOutlineRow> rows = tocRows(toc.toList(), 0);
    if (rows.isEmpty())
        return std::nullopt;
    return rows;
}

QList<PdfOutlineRow> PdfOutline::perPage(int pageCount)
{
    QList<PdfOutlineRow> rows;
    for (int n = 1; n <= pageCount; ++n)
        rows << PdfOutlineRow { QStringLiteral("ページ%1").arg(n), n - 1, std::nullopt, {} };
    return rows;
}

PdfOutline PdfOutline::load(const QString &pdfPath, const PdfProbe &probe)
{
    PdfOutline outline;
    const QString toc = tocPath(pdfPath);
    QFile file(toc);
    if (file.exists()) {
        QJsonParseError error {};
        const QJsonDocument json = file.open(QIODevice::ReadOnly)
            ? QJsonDocument::fromJson(file.readAll(), &error)
            : QJsonDocument();
        if (const auto rows = fromToc(json.toVariant())) {
            outline.source = Source::TocFile;
            outline.rows = *rows;
            return outline;
        }
        qCWarning(lcContent) << "unusable table of contents" << toc
                             << (error.error != QJsonParseError::NoError
                                        ? error.errorString()
                                        : QStringLiteral("no \"toc\" entries"));
    }
    if (probe.outline) {
        outline.source = Source::Document;
        outline.rows = *probe.outline;
        return outline;
    }
    outline.rows = perPage(probe.pageCount);
    return outline;
}

std::optional<PdfOutline> PdfOutline::load(const QString &pdfPath, QString *error)
{
    if (!QFileInfo(pdfPath).isFile()) {
        if (error)
            *error = QStringLiteral("no such file");
        return std::nullopt;
    }
    const PdfProbe probe = PdfProbe::check(pdfPath);
    if (probe.status != PdfProbe::Status::Readable) {
        if (error)
            *error = probe.status == PdfProbe::Status::Damaged
                ? QStringLiteral("not a readable PDF document")
                : QStringLiteral("cannot be checked: %1").arg(probe.error);
        return std::nullopt;
    }
    return load(pdfPath, probe);
}

std::optional<QList<int>> PdfOutline::rowForPage(int page) const
{
    Search s { page, {}, {}, -1 };
    QList<int> path;
    search(rows, path, s);
    return s.exact ? s.exact : s.before;
}

const PdfOutlineRow *PdfOutline::row(const QList<int> &path) const
{
    const QList<PdfOutlineRow> *level = &rows;
    const PdfOutlineRow *found = nullptr;
    for (int i : path) {
        if (i < 0 || i >= level->size())
            return nullptr;
        found = &level->at(i);
        level = &found->children;
    }
    return found;
}

QString PdfOutline::sourceName(Source source)
{
    switch (source) {
    case Source::TocFile:
        return QStringLiteral("toc");
    case Source::Document:
        return QStringLiteral("outline");
    case Source::Pages:
        break;
    }
    return QStringLiteral("pages");
}

QVariantMap PdfOutline::toVariant() const
{
    QVariantList out;
    toVariantRows(rows, out);
    return { { QStringLiteral("source"), sourceName(source) }, { QStringLiteral("rows"), out } };
}
