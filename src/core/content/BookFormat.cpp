#include "BookFormat.h"

#include "BookUrl.h"

#include <QFile>
#include <QFileInfo>

namespace
{

std::optional<BookFormat> sniff(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray head = file.read(kPdfHeaderWindow);
    if (head.startsWith("PK\x03\x04"))
        return BookFormat::Epub;
    if (head.contains("%PDF-"))
        return BookFormat::Pdf;
    return std::nullopt;
}

} // namespace

std::optional<BookFormat> formatOfName(const QString &name)
{
    // The last extension only: "notes.pdf.epub" is an EPUB name.
    if (name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        return BookFormat::Pdf;
    if (name.endsWith(QLatin1String(".epub"), Qt::CaseInsensitive))
        return BookFormat::Epub;
    return std::nullopt;
}

BookFormat formatOf(const QUrl &url)
{
    if (url.scheme() == QLatin1String(BookUrl::kScheme))
        return BookFormat::Epub;
    if (url.isLocalFile())
        return formatOf(url.toLocalFile());
    if (url.scheme().isEmpty())
        return formatOf(url.path());
    // Elsewhere only the name can say.
    return formatOfName(url.path()).value_or(BookFormat::Epub);
}

BookFormat formatOf(const QString &pathOrUrl)
{
    if (pathOrUrl.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)
        || pathOrUrl.startsWith(QLatin1String(BookUrl::kScheme) + u':', Qt::CaseInsensitive))
        return formatOf(QUrl(pathOrUrl));
    if (const auto kind = sniff(pathOrUrl))
        return *kind;
    return formatOfName(pathOrUrl).value_or(BookFormat::Epub);
}
