// Writes EPUB books of plain chapters for tests: one spine item per chapter
// (ids "c1", "c2", ...), an NCX entry per chapter with its title.
#pragma once

#include "support/ZipWriter.h"

#include <QList>
#include <QPair>
#include <QString>

struct TextChapter {
    QString title;
    QByteArray body; // XHTML inside <body>
};

inline bool writeTextEpub(const QString &path, const QString &bookTitle, const QList<TextChapter> &chapters)
{
    QByteArray manifest, spine, nav;
    QList<ZipEntry> files;
    for (int i = 0; i < chapters.size(); ++i) {
        const QByteArray n = QByteArray::number(i + 1);
        const QByteArray title = chapters.at(i).title.toUtf8();
        manifest
            += "<item id=\"c" + n + "\" href=\"c" + n + ".xhtml\" media-type=\"application/xhtml+xml\"/>";
        spine += "<itemref idref=\"c" + n + "\"/>";
        nav += "<navPoint id=\"n" + n + "\" playOrder=\"" + n + "\"><navLabel><text>" + title
            + "</text></navLabel><content src=\"c" + n + ".xhtml\"/></navPoint>";
        files.append({ "OEBPS/c" + n + ".xhtml",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<html "
            "xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>"
                + title + "</title></head><body>" + chapters.at(i).body + "</body></html>" });
    }
    files.append({ "OEBPS/content.opf",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><package xmlns=\"http://www.idpf.org/2007/opf\" "
        "version=\"2.0\" "
        "unique-identifier=\"id\"><metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:title>"
            + bookTitle.toUtf8()
            + "</dc:title><dc:identifier "
              "id=\"id\">test-book</dc:identifier><dc:language>ja</dc:language></metadata>"
              "<manifest><item id=\"ncx\" href=\"toc.ncx\" media-type=\"application/x-dtbncx+xml\"/>"
            + manifest + "</manifest><spine toc=\"ncx\">" + spine + "</spine></package>" });
    files.append({ "OEBPS/toc.ncx",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ncx xmlns=\"http://www.daisy.org/z3986/2005/ncx/\" "
        "version=\"2005-1\"><navMap>"
            + nav + "</navMap></ncx>" });
    return writeEpub(path, QStringLiteral("OEBPS/content.opf"), files);
}
