#include "PdfCover.h"

#include "ShelfModel.h"
#include "core/content/PdfProbe.h"
#include "core/util/Logging.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QPdfDocument>
#include <QSaveFile>

namespace
{
// Written into the covers prepare() makes: a page that really is black is
// then not made again at every opening.
constexpr auto kMarkKey = "Tavro";
constexpr auto kMarkValue = "page on white";
}

QString PdfCover::pathFor(const QString &pdfPath)
{
    // Only the extension changes: a folder named like "x.pdf" stays as it is.
    return ShelfModel::sideFile(pdfPath, QStringLiteral(".cover"));
}

QImage PdfCover::onWhite(const QImage &page)
{
    if (page.isNull())
        return {};
    QImage image(page.size(), QImage::Format_RGB32);
    image.setDevicePixelRatio(page.devicePixelRatio());
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.drawImage(0, 0, page);
    painter.end();
    return image;
}

bool PdfCover::isUsable(const QString &coverPath)
{
    QImageReader reader(coverPath);
    if (reader.text(QString::fromLatin1(kMarkKey)) == QLatin1String(kMarkValue))
        return true;
    // A small decode is enough to tell a black rectangle from a page.
    const QSize full = reader.size();
    if (full.isValid() && full.width() > 64)
        reader.setScaledSize(full.scaled(64, 64, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    const QImage image = reader.read();
    if (image.isNull())
        return true;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            if (qGray(line[x]) > 24) // JPEG noise stays below this on black
                return true;
    }
    return false;
}

bool PdfCover::prepare(const QString &pdfPath)
{
    const QString cover = pathFor(pdfPath);
    if (QFileInfo::exists(cover)) {
        if (isUsable(cover))
            return true;
        qCInfo(lcApp).noquote() << "making a black cover again:" << cover;
    }
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
    // The page comes transparent where it has no ink.
    const QImage image = onWhite(pdf.render(0, (points * 2).toSize()));
    if (image.isNull())
        return false;
    // Written whole or not at all: a cut-off JPEG would be kept as the
    // cover for good, since a cover that exists is never made again.
    QSaveFile file(cover);
    bool written = file.open(QIODevice::WriteOnly);
    if (written) {
        QImageWriter writer(&file, "jpeg");
        writer.setQuality(50);
        writer.setText(QString::fromLatin1(kMarkKey), QString::fromLatin1(kMarkValue));
        written = writer.write(image) && file.commit();
    }
    if (!written) {
        qCWarning(lcApp).noquote() << "could not write the cover" << cover;
        return false;
    }
    return true;
}
