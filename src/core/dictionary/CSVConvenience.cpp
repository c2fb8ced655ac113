#include "CSVConvenience.h"

#include "CSVAggregator.h"
#include "CSVParser.h"
#include "CSVWriter.h"

#include <QBuffer>

static std::optional<QList<QStringList>> run(CSVParser &parser, int options)
{
    CSVAggregator aggregator;
    parser.setOptions(options);
    parser.setDelegate(&aggregator);
    parser.parse();
    return aggregator.lines;
}

std::optional<QList<QStringList>> arrayWithContentsOfCSVFile(
    const QString &path, int options, QChar delimiter)
{
    auto parser = CSVParser::withContentsOfFile(path, delimiter);
    return run(*parser, options);
}

std::optional<QList<QStringList>> CSVComponents(const QString &text, int options, QChar delimiter)
{
    auto parser = CSVParser::withString(text, delimiter);
    return run(*parser, options);
}

QString CSVString(const QVariantList &rows)
{
    auto buffer = std::make_unique<QBuffer>();
    buffer->open(QIODevice::WriteOnly);
    QBuffer *raw = buffer.get();
    CSVWriter writer(std::move(buffer));
    for (const QVariant &row : rows) {
        const int type = row.metaType().id();
        if (type == QMetaType::QVariantList || type == QMetaType::QStringList)
            writer.writeLineOfFields(row.toList());
    }
    return QString::fromUtf8(raw->data());
}
