// tavro-inspect pdf-outline FILE.pdf
// tavro-inspect pdf-probe FILE.pdf
#include "InspectCommand.h"

#include "core/content/PdfProbe.h"
#include "core/reader/PdfOutline.h"

#include <cstdio>

namespace
{

int pdfOutlineCommand(const QStringList &args)
{
    if (args.size() != 1)
        return fail(QStringLiteral("usage: tavro-inspect pdf-outline FILE.pdf"), 2);
    QString error;
    const auto outline = PdfOutline::load(args.first(), &error);
    if (!outline)
        return fail(QStringLiteral("cannot read %1: %2").arg(args.first(), error));
    return printJson(outline->toVariant());
}

int pdfProbeCommand(const QStringList &args)
{
    if (args.size() != 1)
        return fail(QStringLiteral("usage: tavro-inspect pdf-probe FILE.pdf"), 2);
    return PdfProbe::inspectHere(args.first(), stdout);
}

} // namespace

QList<InspectCommand> pdfCommands()
{
    return { { QStringLiteral("pdf-outline"),
                 QStringLiteral(
                     "pdf-outline FILE.pdf   the outline rows the reader shows (\".toc\" file, the "
                     "document's outline, or one row per page)"),
                 pdfOutlineCommand },
        { QStringLiteral("pdf-probe"),
            QStringLiteral("pdf-probe FILE.pdf     opens the PDF in this process and prints two JSON lines: "
                           "{\"pageCount\", \"rendered\"}, then {\"outline\"} (the program's PDF check; may "
                           "crash on a hostile file)"),
            pdfProbeCommand } };
}
