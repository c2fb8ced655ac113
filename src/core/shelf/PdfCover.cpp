#include "PdfCover.h"

#include "ShelfModel.h"
#include "core/content/PdfProbe.h"
#include "core/util/Logging.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPdfDocument>
#include <QSaveFile>

QString PdfCover::pathFor(const QString &pdfPath)
{
    // Only the extension changes: a folder named like "x.pdf" stays as it is.
    return ShelfModel::sideFile(pdfPath, QStringLiteral(".cover"));
}

bool PdfCover::prepare(const QString &pdfPath)
{
    const QString cover = pathFor(pdfPath);
    if (QFileInfo::exists(cover))
        return true;
    if (!QFileInfo(pdfPath).isFile())
        return false;
    const PdfProbe probe = PdfProbe::check(pdfPath);
    if (probe.status == PdfProbe::Status::Damaged) {
        qCWarning(lcApp).noquote() << "no cover for a damaged PDF:" << pdfPath << "-" << probe.error;
        return false;
    }
    QPdfDocument pdf;
    if (pdf.load(pdfPath) != QPdfDocument::Error::None || pdf.pageCount() < 1)
        return false;
    const QSizeF points = pdf.pagePointSize(0);
    const QImage image = pdf.render(0, (points * 2).toSize());
    if (image.isNull())
        return false;
    // Written whole or not at all: a cut-off JPEG would be kept as the
    // cover for good, since a cover that exists is never made again.
    QSaveFile file(cover);
    if (!file.open(QIODevice::WriteOnly)
        || !image.convertToFormat(QImage::Format_RGB32).save(&file, "JPEG", 50) || !file.commit()) {
        qCWarning(lcApp).noquote() << "could not write the cover" << cover;
        return false;
    }
    return true;
}
