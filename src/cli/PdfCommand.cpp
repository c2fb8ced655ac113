// tavro-inspect pdf-outline FILE.pdf
#include "InspectCommand.h"

#include "core/reader/PdfOutline.h"

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

} // namespace

QList<InspectCommand> pdfCommands()
{
    return { { QStringLiteral("pdf-outline"),
        QStringLiteral("pdf-outline FILE.pdf   the outline rows the reader shows (\".toc\" file, the "
                       "document's outline, or one row per page)"),
        pdfOutlineCommand } };
}
