#include "ZipWriter.h"

#include <QFile>
#include <minizip/zip.h>

bool writeZip(const QString &path, const QList<ZipEntry> &entries)
{
    zipFile zf = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (!zf)
        return false;
    bool ok = true;
    for (const ZipEntry &e : entries) {
        zip_fileinfo info {};
        if (e.symlink)
            info.external_fa = (0120777u << 16); // S_IFLNK | 0777
        const int method = e.stored ? 0 : Z_DEFLATED;
        // Bit 11: names are UTF-8.
        if (zipOpenNewFileInZip4_64(zf, e.name.constData(), &info, nullptr, 0, nullptr, 0, nullptr, method,
                Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, 3 << 8,
                e.utf8Flag ? 1 << 11 : 0, 0)
            != ZIP_OK) {
            ok = false;
            break;
        }
        if (!e.data.isEmpty()
            && zipWriteInFileInZip(zf, e.data.constData(), unsigned(e.data.size())) != ZIP_OK)
            ok = false;
        zipCloseFileInZip(zf);
    }
    zipClose(zf, nullptr);
    return ok;
}

bool writeEpub(const QString &path, const QString &opfPath, const QList<ZipEntry> &files)
{
    QList<ZipEntry> all { { "mimetype", "application/epub+zip", true } };
    all.append({ "META-INF/container.xml",
        "<?xml version=\"1.0\"?><container version=\"1.0\" "
        "xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\"><rootfiles>"
        "<rootfile full-path=\""
            + opfPath.toUtf8()
            + "\" media-type=\"application/oebps-package+xml\"/>"
              "</rootfiles></container>" });
    all.append(files);
    return writeZip(path, all);
}
