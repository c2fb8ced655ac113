// Writes small text PDFs for tests: one page of Helvetica lines per entry,
// optionally with roman page labels.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

inline bool writeTextPdf(const QString &path, const QList<QStringList> &pages, bool romanLabels = false)
{
    QList<QByteArray> objects;
    auto add = [&objects](const QByteArray &body) {
        objects.append(body);
        return int(objects.size());
    };
    const int catalog = add({});
    const int pagesObj = add({});
    const int font = add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    QStringList kids;
    for (const QStringList &lines : pages) {
        QByteArray stream = "BT /F1 12 Tf 40 800 Td 14 TL\n";
        for (QString line : lines) {
            line.replace(u'\\', QStringLiteral("\\\\"))
                .replace(u'(', QStringLiteral("\\("))
                .replace(u')', QStringLiteral("\\)"));
            stream += "(" + line.toLatin1() + ") Tj T*\n";
        }
        stream += "ET";
        const int content = add(
            "<< /Length " + QByteArray::number(stream.size()) + " >>\nstream\n" + stream + "\nendstream");
        const int page
            = add(QStringLiteral("<< /Type /Page /Parent %1 0 R /MediaBox [0 0 595 842] /Contents %2 0 R "
                                 "/Resources << /Font << /F1 %3 0 R >> >> >>")
                      .arg(pagesObj)
                      .arg(content)
                      .arg(font)
                      .toLatin1());
        kids << QStringLiteral("%1 0 R").arg(page);
    }
    objects[pagesObj - 1] = QStringLiteral("<< /Type /Pages /Kids [%1] /Count %2 >>")
                                .arg(kids.join(u' '))
                                .arg(kids.size())
                                .toLatin1();
    objects[catalog - 1]
        = QStringLiteral("<< /Type /Catalog /Pages %1 0 R%2 >>")
              .arg(pagesObj)
              .arg(romanLabels ? QStringLiteral(" /PageLabels << /Nums [0 << /S /r >>] >>") : QString())
              .toLatin1();
    QByteArray out = "%PDF-1.4\n";
    QList<qsizetype> offsets;
    for (int n = 0; n < objects.size(); ++n) {
        offsets.append(out.size());
        out += QByteArray::number(n + 1) + " 0 obj\n" + objects.at(n) + "\nendobj\n";
    }
    const qsizetype xref = out.size();
    out += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (qsizetype o : offsets)
        out += QByteArray::number(o).rightJustified(10, '0') + " 00000 n \n";
    out += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root "
        + QByteArray::number(catalog) + " 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(out) == out.size();
}
