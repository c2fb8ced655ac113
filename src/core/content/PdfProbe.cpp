#include "PdfProbe.h"

#include "core/util/Logging.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QPdfBookmarkModel>
#include <QPdfDocument>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

#if defined(__SANITIZE_ADDRESS__)
#define TAVRO_PROBE_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAVRO_PROBE_UNDER_ASAN 1
#endif
#endif

namespace
{

QMutex helperMutex;
QString helperOverride;

// Titles longer than this are cut: the report stays a bounded size.
constexpr int kMaxTitle = 1000;
// The most the parent reads of a report.
constexpr qint64 kMaxReport = 64 * 1024 * 1024;

QJsonArray rowsToJson(const QList<PdfOutlineRow> &rows)
{
    QJsonArray out;
    for (const PdfOutlineRow &r : rows) {
        QJsonObject o { { QStringLiteral("t"), r.title.left(kMaxTitle) }, { QStringLiteral("p"), r.page } };
        if (r.location) {
            o.insert(QStringLiteral("x"), r.location->x());
            o.insert(QStringLiteral("y"), r.location->y());
        }
        if (!r.children.isEmpty())
            o.insert(QStringLiteral("s"), rowsToJson(r.children));
        out.append(o);
    }
    return out;
}

QList<PdfOutlineRow> rowsFromJson(const QJsonArray &array, int depth, int pageCount, int &budget)
{
    QList<PdfOutlineRow> rows;
    if (depth >= PdfProbe::kMaxDepth)
        return rows;
    for (const QJsonValue &v : array) {
        if (!v.isObject() || budget <= 0)
            continue;
        --budget;
        const QJsonObject o = v.toObject();
        PdfOutlineRow row;
        row.title = o.value(QStringLiteral("t")).toString().left(kMaxTitle);
        const double page = o.value(QStringLiteral("p")).toDouble(-1);
        row.page = page >= 0 && page < pageCount ? int(page) : -1;
        if (o.value(QStringLiteral("x")).isDouble() && o.value(QStringLiteral("y")).isDouble())
            row.location
                = QPointF(o.value(QStringLiteral("x")).toDouble(), o.value(QStringLiteral("y")).toDouble());
        row.children = rowsFromJson(o.value(QStringLiteral("s")).toArray(), depth + 1, pageCount, budget);
        rows << row;
    }
    return rows;
}

void writeLine(FILE *out, const QJsonObject &object)
{
    const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), out);
    std::fflush(out);
}

QList<PdfOutlineRow> bookmarkRows(
    const QAbstractItemModel &model, const QModelIndex &parent, int depth, int &budget)
{
    QList<PdfOutlineRow> rows;
    if (depth >= PdfProbe::kMaxDepth)
        return rows;
    for (int r = 0; r < model.rowCount(parent) && budget > 0; ++r, --budget) {
        const QModelIndex i = model.index(r, 0, parent);
        PdfOutlineRow row;
        row.title = i.data(int(QPdfBookmarkModel::Role::Title)).toString().left(kMaxTitle);
        row.page = i.data(int(QPdfBookmarkModel::Role::Page)).toInt();
        const QVariant location = i.data(int(QPdfBookmarkModel::Role::Location));
        if (location.isValid())
            row.location = location.toPointF();
        row.children = bookmarkRows(model, i, depth + 1, budget);
        rows << row;
    }
    return rows;
}

bool isExecutable(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace

void PdfProbe::setHelperProgram(const QString &program)
{
    const QMutexLocker lock(&helperMutex);
    helperOverride = program;
}

QString PdfProbe::helperProgram()
{
    {
        const QMutexLocker lock(&helperMutex);
        if (!helperOverride.isEmpty())
            return helperOverride;
    }
    QStringList candidates;
    if (QCoreApplication::instance())
        candidates << QCoreApplication::applicationDirPath() + QStringLiteral("/tavro-inspect");
#ifdef TAVRO_BUILD_INSPECT
    candidates << QStringLiteral(TAVRO_BUILD_INSPECT);
#endif
#ifdef TAVRO_INSTALLED_INSPECT
    candidates << QStringLiteral(TAVRO_INSTALLED_INSPECT);
#endif
    for (const QString &c : candidates)
        if (isExecutable(c))
            return c;
    return {};
}

std::optional<QList<PdfOutlineRow>> PdfProbe::documentOutline(QPdfDocument &pdf)
{
    QPdfBookmarkModel model;
    model.setDocument(&pdf);
    int budget = kMaxRows;
    QList<PdfOutlineRow> rows = bookmarkRows(model, {}, 0, budget);
    if (rows.isEmpty())
        return std::nullopt;
    if (rows.size() == 1 && !rows.first().children.isEmpty())
        return rows.first().children; // a single title entry over the chapters
    return rows;
}

int PdfProbe::inspectHere(const QString &path, FILE *out)
{
    QPdfDocument pdf;
    const QPdfDocument::Error e = pdf.load(path);
    const int pages = e == QPdfDocument::Error::None ? pdf.pageCount() : 0;
    bool rendered = false;
    if (pages > 0) {
        // Small, but through the whole page: what the reader does first.
        const QSizeF size = pdf.pagePointSize(0);
        const double scale = size.isValid() && size.width() > 0 && size.height() > 0
            ? 200.0 / std::max(size.width(), size.height())
            : 1.0;
        const QSize pixels
            = size.isValid() ? (size * scale).toSize().expandedTo(QSize(1, 1)) : QSize(200, 200);
        rendered = !pdf.render(0, pixels).isNull();
    }
    writeLine(out, { { QStringLiteral("pageCount"), pages }, { QStringLiteral("rendered"), rendered } });
    if (pages <= 0 || !rendered)
        return 1;
    const auto rows = documentOutline(pdf);
    writeLine(out, { { QStringLiteral("outline"), rows ? QJsonValue(rowsToJson(*rows)) : QJsonValue() } });
    return 0;
}

PdfProbe PdfProbe::fromReport(const QByteArray &report, bool finished)
{
    PdfProbe probe;
    probe.status = Status::Damaged;
    const QList<QByteArray> lines = report.split('\n');
    const QJsonObject document = QJsonDocument::fromJson(lines.value(0)).object();
    probe.pageCount = document.value(QStringLiteral("pageCount")).toInt(0);
    if (probe.pageCount <= 0 || !document.value(QStringLiteral("rendered")).toBool()) {
        probe.pageCount = std::max(probe.pageCount, 0);
        probe.error = document.isEmpty()
            ? (finished ? QStringLiteral("the document could not be opened")
                        : QStringLiteral("opening the document crashed or ran too long"))
            : QStringLiteral("the document has no page that renders");
        return probe;
    }
    probe.status = Status::Readable;
    // Only a complete line counts: a report cut off mid-line is no outline.
    if (lines.size() < 3) {
        probe.error = QStringLiteral("building the outline crashed or ran too long");
        return probe;
    }
    const QJsonValue outline
        = QJsonDocument::fromJson(lines.value(1)).object().value(QStringLiteral("outline"));
    if (outline.isArray()) {
        int budget = kMaxRows;
        QList<PdfOutlineRow> rows = rowsFromJson(outline.toArray(), 0, probe.pageCount, budget);
        if (!rows.isEmpty())
            probe.outline = rows;
    }
    return probe;
}

PdfProbe PdfProbe::check(const QString &path, int budgetMs)
{
    PdfProbe probe;
    const QString helper = helperProgram();
    if (helper.isEmpty()) {
        probe.error = QStringLiteral("no tavro-inspect to check the PDF with");
        qCWarning(lcContent) << "PDF not checked:" << probe.error << path;
        return probe;
    }
    QProcess process;
    process.setProgram(helper);
    process.setArguments({ QStringLiteral("pdf-probe"), path });
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
#ifndef TAVRO_PROBE_UNDER_ASAN
    // A cyclic outline grows the helper's memory as fast as it can: cap it
    // (the sanitizers reserve far more address space, so not there).
    process.setChildProcessModifier([] {
        const rlimit limit { rlim_t(kMemoryLimit), rlim_t(kMemoryLimit) };
        setrlimit(RLIMIT_AS, &limit);
    });
#endif
    process.start();
    if (!process.waitForStarted(budgetMs)) {
        probe.error = QStringLiteral("the helper %1 did not start").arg(helper);
        qCWarning(lcContent) << "PDF not checked:" << probe.error << path;
        return probe;
    }
    const bool finished = process.waitForFinished(budgetMs);
    if (!finished) {
        process.kill();
        process.waitForFinished(2000);
    }
    const QByteArray report = process.read(kMaxReport);
    probe = fromReport(report, finished && process.exitStatus() == QProcess::NormalExit);
    if (!probe.error.isEmpty())
        qCWarning(lcContent) << "PDF check:" << probe.error << path;
    return probe;
}
