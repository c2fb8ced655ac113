#include "PdfViewState.h"

#include "PdfZoom.h"
#include "core/platform/UserDefaults.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <algorithm>
#include <cmath>

namespace
{

QString fitName(PdfViewState::Fit fit)
{
    switch (fit) {
    case PdfViewState::Fit::Width:
        return QStringLiteral("width");
    case PdfViewState::Fit::Page:
        return QStringLiteral("page");
    case PdfViewState::Fit::None:
        break;
    }
    return QStringLiteral("none");
}

} // namespace

QString PdfViewState::keyFor(const QString &pdfPath)
{
    return QStringLiteral("pdfView-")
        + QString::fromLatin1(QUrl::toPercentEncoding(QFileInfo(pdfPath).fileName()));
}

QString PdfViewState::toJson() const
{
    const QJsonObject o { { QStringLiteral("pageCount"), pageCount }, { QStringLiteral("zoom"), zoom },
        { QStringLiteral("page"), page }, { QStringLiteral("fit"), fitName(fit) },
        { QStringLiteral("offset"), offset } };
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

std::optional<PdfViewState> PdfViewState::fromJson(const QString &json)
{
    const QJsonDocument doc = QJsonDocument::fromJson(json.toUtf8());
    if (!doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    PdfViewState s;
    s.pageCount = std::max(0, o.value(QStringLiteral("pageCount")).toInt());
    s.zoom = PdfZoom::clampScale(o.value(QStringLiteral("zoom")).toDouble(1.0));
    s.page = std::max(0, o.value(QStringLiteral("page")).toInt());
    if (s.pageCount > 0)
        s.page = std::min(s.page, s.pageCount - 1);
    const double offset = o.value(QStringLiteral("offset")).toDouble(0.0);
    s.offset = std::isfinite(offset) ? std::clamp(offset, 0.0, 1.0) : 0.0;
    const QString fit = o.value(QStringLiteral("fit")).toString();
    s.fit = fit == QLatin1String("width") ? Fit::Width : fit == QLatin1String("page") ? Fit::Page : Fit::None;
    return s;
}

std::optional<PdfViewState> PdfViewState::load(const QString &pdfPath)
{
    const auto text = UserDefaults::stringForKey(keyFor(pdfPath));
    if (!text)
        return std::nullopt;
    return fromJson(*text);
}

void PdfViewState::save(const QString &pdfPath, const PdfViewState &state)
{
    UserDefaults::setValue(keyFor(pdfPath), state.toJson());
    UserDefaults::synchronize();
}

PdfViewState PdfViewState::reopen(const std::optional<PdfViewState> &kept, int lastPage, int pageCount)
{
    PdfViewState s;
    s.pageCount = std::max(0, pageCount);
    if (kept) {
        s.zoom = kept->zoom;
        s.fit = kept->fit;
    }
    int page = lastPage;
    if (page < 0 && kept && kept->pageCount == s.pageCount)
        page = kept->page;
    s.page = s.pageCount > 0 ? std::clamp(page, 0, s.pageCount - 1) : 0;
    if (kept && kept->pageCount == s.pageCount && kept->page == s.page)
        s.offset = kept->offset;
    return s;
}
