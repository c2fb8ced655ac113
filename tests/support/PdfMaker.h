// Small PDF files written byte by byte for tests: pages of one line of text
// each ("Page 1", "Page 2", ...) and, if given, a document outline.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <functional>

struct PdfMakerEntry {
    QString title;
    int page; // from 0
    QList<PdfMakerEntry> children;
    double top = 0; // where on the page it leads, in points from the top
};

namespace pdfmaker_detail
{

inline QByteArray textString(const QString &text)
{
    // UTF-16BE with its byte order mark, as hex: any title, no escaping.
    QByteArray bytes("\xfe\xff", 2);
    for (const QChar c : text) {
        bytes.append(char(c.unicode() >> 8));
        bytes.append(char(c.unicode() & 0xff));
    }
    return '<' + bytes.toHex() + '>';
}

} // namespace pdfmaker_detail

// Writes a PDF of `pages` pages (595 x 842 points) to `path`; false when the
// file could not be written.
inline bool makePdf(const QString &path, int pages, const QList<PdfMakerEntry> &outline = {})
{
    using pdfmaker_detail::textString;
    QList<QByteArray> objects;
    auto add = [&](const QByteArray &body) {
        objects << body;
        return int(objects.size());
    };
    const int catalog = add({});
    const int pagesObj = add({});
    const int font = add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    QList<int> pageIds;
    for (int i = 0; i < pages; ++i) {
        const QByteArray stream = "BT /F1 24 Tf 72 720 Td (Page " + QByteArray::number(i + 1) + ") Tj ET";
        const int content = add(
            "<< /Length " + QByteArray::number(stream.size()) + " >>\nstream\n" + stream + "\nendstream");
        pageIds << add("<< /Type /Page /Parent " + QByteArray::number(pagesObj)
            + " 0 R /MediaBox [0 0 595 842] /Contents " + QByteArray::number(content)
            + " 0 R /Resources << /Font << /F1 " + QByteArray::number(font) + " 0 R >> >> >>");
    }
    QByteArray kids;
    for (int id : pageIds)
        kids += QByteArray::number(id) + " 0 R ";
    objects[pagesObj - 1]
        = "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pageIds.size()) + " >>";
    QByteArray outlineRef;
    if (!outline.isEmpty()) {
        const int root = add({});
        std::function<std::pair<int, int>(const QList<PdfMakerEntry> &, int)> build
            = [&](const QList<PdfMakerEntry> &entries, int parent) {
                  QList<int> ids;
                  for (qsizetype k = 0; k < entries.size(); ++k)
                      ids << add({});
                  for (qsizetype k = 0; k < entries.size(); ++k) {
                      const PdfMakerEntry &e = entries[k];
                      QByteArray d = "<< /Title " + textString(e.title) + " /Parent "
                          + QByteArray::number(parent) + " 0 R /Dest ["
                          + QByteArray::number(pageIds.value(e.page, pageIds.value(0))) + " 0 R /XYZ 0 "
                          + QByteArray::number(842 - e.top) + " 0]";
                      if (k > 0)
                          d += " /Prev " + QByteArray::number(ids[k - 1]) + " 0 R";
                      if (k + 1 < ids.size())
                          d += " /Next " + QByteArray::number(ids[k + 1]) + " 0 R";
                      if (!e.children.isEmpty()) {
                          const auto [first, last] = build(e.children, ids[k]);
                          d += " /First " + QByteArray::number(first) + " 0 R /Last "
                              + QByteArray::number(last) + " 0 R /Count "
                              + QByteArray::number(e.children.size());
                      }
                      objects[ids[k] - 1] = d + " >>";
                  }
                  return std::pair { ids.first(), ids.last() };
              };
        const auto [first, last] = build(outline, root);
        objects[root - 1] = "<< /Type /Outlines /First " + QByteArray::number(first) + " 0 R /Last "
            + QByteArray::number(last) + " 0 R /Count " + QByteArray::number(outline.size()) + " >>";
        outlineRef = " /Outlines " + QByteArray::number(root) + " 0 R";
    }
    objects[catalog - 1]
        = "<< /Type /Catalog /Pages " + QByteArray::number(pagesObj) + " 0 R" + outlineRef + " >>";

    QByteArray out("%PDF-1.4\n");
    QList<qsizetype> offsets;
    for (qsizetype n = 0; n < objects.size(); ++n) {
        offsets << out.size();
        out += QByteArray::number(n + 1) + " 0 obj\n" + objects[n] + "\nendobj\n";
    }
    const qsizetype xref = out.size();
    out += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (qsizetype o : offsets)
        out += QByteArray::number(o).rightJustified(10, '0') + " 00000 n \n";
    out += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root "
        + QByteArray::number(catalog) + " 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(out) == out.size() && f.flush();
}

// Writes `json` as the ".toc" file beside the PDF at `pdfPath`.
inline bool writeToc(const QString &pdfPath, const QByteArray &json)
{
    QFile f(pdfPath.chopped(4) + QStringLiteral(".toc"));
    return f.open(QIODevice::WriteOnly) && f.write(json) == json.size();
}

// The bytes of a PDF whose objects 1, 2, ... have the given bodies (object
// 1 the catalog), with a cross-reference table: for hand-made damaged files.
inline QByteArray rawPdf(const QList<QByteArray> &objects)
{
    QByteArray out("%PDF-1.4\n");
    QList<qsizetype> offsets;
    for (qsizetype n = 0; n < objects.size(); ++n) {
        offsets << out.size();
        out += QByteArray::number(n + 1) + " 0 obj\n" + objects[n] + "\nendobj\n";
    }
    const qsizetype xref = out.size();
    out += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (qsizetype o : offsets)
        out += QByteArray::number(o).rightJustified(10, '0') + " 00000 n \n";
    out += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n"
        + QByteArray::number(xref) + "\n%%EOF\n";
    return out;
}

// Hostile PDFs that once crashed or stalled the PDF library: one page
// (objects 1 catalog, 2 pages, 3 page, 4 outline root) and a broken outline
// or page tree.
enum class HostilePdf {
    SelfChild, // an outline entry that is its own first child
    CyclicChildren, // two entries each the other's first child
    CyclicNext, // two entries each the other's next
    DeepOutline, // 60,000 entries, each the only child of the one before
    PageTreeCycle, // the page tree lists itself among its kids
};

inline QByteArray hostilePdf(HostilePdf kind)
{
    const QByteArray page = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >>";
    QList<QByteArray> o { "<< /Type /Catalog /Pages 2 0 R /Outlines 4 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>", page };
    auto entry = [](const QByteArray &title, int parent, const QByteArray &more) {
        return "<< /Title (" + title + ") /Parent " + QByteArray::number(parent) + " 0 R /Dest [3 0 R /Fit]"
            + more + " >>";
    };
    switch (kind) {
    case HostilePdf::SelfChild:
        o << "<< /Type /Outlines /First 5 0 R /Last 5 0 R /Count 1 >>"
          << entry("Self", 4, " /First 5 0 R /Last 5 0 R /Count 1");
        break;
    case HostilePdf::CyclicChildren:
        o << "<< /Type /Outlines /First 5 0 R /Last 5 0 R /Count 1 >>"
          << entry("A", 4, " /First 6 0 R /Last 6 0 R /Count 1")
          << entry("B", 5, " /First 5 0 R /Last 5 0 R /Count 1");
        break;
    case HostilePdf::CyclicNext:
        o << "<< /Type /Outlines /First 5 0 R /Last 6 0 R /Count 2 >>" << entry("A", 4, " /Next 6 0 R")
          << entry("B", 4, " /Next 5 0 R /Prev 5 0 R");
        break;
    case HostilePdf::DeepOutline: {
        constexpr int depth = 60000;
        o << "<< /Type /Outlines /First 5 0 R /Last 5 0 R /Count 1 >>";
        for (int k = 0; k < depth; ++k) {
            const int id = 5 + k;
            const QByteArray child = k + 1 < depth ? " /First " + QByteArray::number(id + 1) + " 0 R /Last "
                    + QByteArray::number(id + 1) + " 0 R /Count 1"
                                                   : QByteArray();
            o << entry("D", k == 0 ? 4 : id - 1, child);
        }
        break;
    }
    case HostilePdf::PageTreeCycle:
        o[1] = "<< /Type /Pages /Kids [2 0 R 3 0 R] /Count 2 >>";
        o << "<< /Type /Outlines >>";
        break;
    }
    return rawPdf(o);
}
