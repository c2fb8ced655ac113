#include "PackageUnpacker.h"

#include "core/content/SafePath.h"
#include "core/dictionary/CSVStreamDecoder.h"
#include "core/util/Logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <minizip/unzip.h>
#include <sys/stat.h>
#include <unicode/ucnv.h>

QString PackageUnpacker::decodeName(const QByteArray &raw)
{
    if (CSVStreamDecoder::isValidUtf8(raw.constData(), raw.size()))
        return QString::fromUtf8(raw);
    UErrorCode status = U_ZERO_ERROR;
    UConverter *sjis = ucnv_open("Shift_JIS", &status);
    if (U_FAILURE(status))
        return {};
    ucnv_setToUCallBack(sjis, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    QString out(raw.size() + 1, Qt::Uninitialized);
    const int32_t n = ucnv_toUChars(sjis, reinterpret_cast<UChar *>(out.data()), int32_t(out.size()),
        raw.constData(), int32_t(raw.size()), &status);
    ucnv_close(sjis);
    if (U_FAILURE(status))
        return {};
    out.resize(n);
    return out;
}

PackageUnpacker::Result PackageUnpacker::unpack(
    const QString &archive, const QString &destination, const Limits &limits)
{
    Result result;
    unzFile zf = unzOpen64(QFile::encodeName(archive).constData());
    if (!zf)
        return result;
    if (unzGoToFirstFile(zf) != UNZ_OK) {
        unzClose(zf);
        return result;
    }
    result.opened = true;
    unz_global_info64 global {};
    if (unzGetGlobalInfo64(zf, &global) == UNZ_OK && global.number_entry > quint64(limits.maxEntries)) {
        unzClose(zf);
        result.refused = true;
        result.reason = QStringLiteral("the package has more than %1 entries").arg(limits.maxEntries);
        return result;
    }
    QDir().mkpath(destination);
    const QString root = QDir(destination).canonicalPath();
    qint64 total = 0;
    char buffer[4096];

    for (int count = 0; count < limits.maxEntries; ++count) {
        unz_file_info64 info {};
        QByteArray rawName(4096, Qt::Uninitialized);
        const bool readable = unzGetCurrentFileInfo64(
                                  zf, &info, rawName.data(), uLong(rawName.size()), nullptr, 0, nullptr, 0)
            == UNZ_OK;
        if (readable) {
            rawName.resize(qsizetype(std::min<quint64>(info.size_filename, 4096)));
            const QString name = decodeName(rawName);
            if (name.isEmpty() && !rawName.isEmpty())
                break; // neither UTF-8 nor Shift-JIS: stop here
            const bool isDir = name.endsWith(u'/');
            const QString path = isDir ? name.chopped(1) : name;
            const bool isLink = ((info.external_fa >> 16) & S_IFMT) == S_IFLNK;
            if (name.size() < 2 || name.startsWith(u'.') || name.startsWith(QStringLiteral("__MACOSX"))) {
                result.skipped << name;
            } else if (isLink || !SafePath::isSafeRelativePath(path) || path.contains(u':')) {
                qCWarning(lcStore) << "skipped unsafe package entry" << name;
                result.skipped << name;
            } else {
                const QString target = destination + u'/' + path;
                const QString parent = isDir ? target : QFileInfo(target).absolutePath();
                QDir().mkpath(parent);
                // A directory entry that resolves elsewhere (a link made by an
                // earlier entry) is not followed.
                if (!QDir(parent).canonicalPath().startsWith(root)) {
                    result.skipped << name;
                } else if (!isDir && unzOpenCurrentFile(zf) == UNZ_OK) {
                    QFile out(target);
                    if (out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                        qint64 written = 0;
                        for (int n; (n = unzReadCurrentFile(zf, buffer, sizeof buffer)) > 0;) {
                            out.write(buffer, n);
                            written += n;
                            total += n;
                            const qint64 compressed = std::max<qint64>(1, qint64(info.compressed_size));
                            if (total > limits.maxTotalBytes
                                || (written > 1024 * 1024 && written / compressed > limits.maxRatio)) {
                                result.refused = true;
                                result.reason = QStringLiteral("the package inflates beyond its bounds");
                                break;
                            }
                        }
                        out.close();
                        result.written << path;
                    }
                    unzCloseCurrentFile(zf);
                    if (result.refused)
                        break;
                }
            }
        }
        if (unzGoToNextFile(zf) != UNZ_OK)
            break;
    }
    unzClose(zf);
    return result;
}

PackageUnpacker::Result PackageUnpacker::unpack(const QString &archive, const QString &destination)
{
    return unpack(archive, destination, Limits {});
}
