// tavro-inspect csv / dict-import / dict-lookup / dict-entry
#include "InspectCommand.h"

#include "CliOptions.h"

#include "core/dictionary/CSVAggregator.h"
#include "core/dictionary/CSVParser.h"
#include "core/dictionary/DictionaryManager.h"
#include "core/library/LibraryStore.h"
#include "core/util/NotificationCenter.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <cstdio>

namespace
{

int csvCommand(const QStringList &args)
{
    QStringList positional;
    QVariantMap options;
    if (!splitOptions(args, { QStringLiteral("options"), QStringLiteral("delimiter") }, &positional, &options)
        || positional.size() != 1)
        return fail(QStringLiteral("usage: tavro-inspect csv FILE [--options N] [--delimiter C]"), 2);
    bool ok = true;
    const int bits = options.value(QStringLiteral("options"), 0).toString().toInt(&ok);
    const QString delimiter = options.value(QStringLiteral("delimiter"), QStringLiteral(",")).toString();
    if (!ok || bits < 0 || bits > 15 || delimiter.size() != 1)
        return fail(QStringLiteral("--options takes 0 to 15 and --delimiter one character"), 2);
    if (!QFileInfo(positional.first()).isFile())
        return fail(QStringLiteral("cannot read %1: no such file").arg(positional.first()));

    auto parser = CSVParser::withContentsOfFile(positional.first(), delimiter.at(0));
    CSVAggregator aggregator;
    parser->setOptions(bits);
    parser->setDelegate(&aggregator);
    parser->parse();
    if (!aggregator.lines)
        return fail(QStringLiteral("%1: %2").arg(
            positional.first(), aggregator.error ? aggregator.error->description : QString()));
    QVariantList out;
    for (const QStringList &record : *aggregator.lines)
        out.append(record);
    return printJson(out);
}

int dictImportCommand(const QStringList &args)
{
    QStringList positional;
    QVariantMap o;
    const QStringList known { QStringLiteral("home"), QStringLiteral("book-id"), QStringLiteral("title") };
    if (!splitOptions(args, known, &positional, &o) || positional.size() != 1
        || !o.contains(QStringLiteral("home")) || !o.contains(QStringLiteral("book-id")))
        return fail(
            QStringLiteral("usage: tavro-inspect dict-import FILE --home DIR --book-id ID [--title T]"), 2);
    const QString file = QFileInfo(positional.first()).absoluteFilePath();
    // A folder only as an EPWING book's.
    if (!QFileInfo(file).isFile() && !QFileInfo(file).isDir())
        return fail(QStringLiteral("cannot read %1: no such file").arg(positional.first()));
    if (!useHome(o.value(QStringLiteral("home")).toString()))
        return fail(QStringLiteral("cannot use %1 as home").arg(o.value(QStringLiteral("home")).toString()));
    LibraryStore store;
    if (!store.open(LibraryStore::defaultPath()))
        return fail(QStringLiteral("cannot open the library store under %1").arg(QDir::homePath()));

    bool installed = false;
    QVariantMap end;
    {
        DictionaryManager manager(store);
        QObject context;
        NotificationCenter::defaultCenter().observe(
            QString::fromLatin1(DictionaryManager::kAnalyzeDic), &context, [&end](const QVariant &object) {
                const QByteArray line = QJsonDocument::fromVariant(object).toJson(QJsonDocument::Compact);
                std::printf("%s\n", line.constData());
                std::fflush(stdout);
                if (object.toMap().value(QStringLiteral("status")).toInt() == 2)
                    end = object.toMap();
            });
        installed = manager.expandDic(file,
            { { QStringLiteral("bookId"), o.value(QStringLiteral("book-id")) },
                { QStringLiteral("bookTitle"), o.value(QStringLiteral("title")) } },
            file);
    }
    store.close();
    if (installed)
        return 0;
    // A file that went nowhere is no success for a script either.
    const QString message = end.value(QStringLiteral("message")).toString();
    return fail(QStringLiteral("%1 was not installed (%2)%3")
                    .arg(positional.first(), end.value(QStringLiteral("result")).toString(),
                        message.isEmpty() ? QString() : QStringLiteral(": ") + message));
}

// Shared by dict-lookup and dict-entry: reads "WORD --home DIR", looks the
// word up as the reader does, and prints what `describe` makes of it (null
// when no dictionary is enabled).
int lookUpCommand(const QStringList &args, const QString &verb,
    const std::function<QVariant(const DictionaryManager &, const DictionaryLookup &)> &describe)
{
    QStringList positional;
    QVariantMap o;
    if (!splitOptions(args, { QStringLiteral("home") }, &positional, &o) || positional.size() != 1
        || !o.contains(QStringLiteral("home")))
        return fail(QStringLiteral("usage: tavro-inspect %1 WORD --home DIR").arg(verb), 2);
    if (!useHome(o.value(QStringLiteral("home")).toString()))
        return fail(QStringLiteral("cannot use %1 as home").arg(o.value(QStringLiteral("home")).toString()));
    LibraryStore store;
    if (!store.open(LibraryStore::defaultPath()))
        return fail(QStringLiteral("cannot open the library store under %1").arg(QDir::homePath()));
    int code = 0;
    {
        DictionaryManager manager(store);
        const auto found = manager.lookUp(positional.first());
        if (!found) {
            code = printJson(QVariant::fromValue(nullptr));
        } else {
            QVariantMap out { { QStringLiteral("form"), QVariant::fromValue(nullptr) },
                { QStringLiteral("rule"), QVariant::fromValue(nullptr) } };
            if (found->found()) {
                out[QStringLiteral("form")] = found->form.text;
                out[QStringLiteral("rule")] = LookupForms::ruleName(found->form.rule);
            }
            out.insert(describe(manager, *found).toMap());
            code = printJson(out);
        }
    }
    return code;
}

int dictLookupCommand(const QStringList &args)
{
    return lookUpCommand(
        args, QStringLiteral("dict-lookup"), [](const DictionaryManager &, const DictionaryLookup &found) {
            QVariantList rows;
            for (const QVariantMap &row : found.rows)
                rows.append(row);
            return QVariantMap { { QStringLiteral("rows"), rows } };
        });
}

int dictEntryCommand(const QStringList &args)
{
    return lookUpCommand(args, QStringLiteral("dict-entry"),
        [](const DictionaryManager &manager, const DictionaryLookup &found) {
            QVariantList entries;
            for (const QVariantMap &row : found.rows)
                entries.append(QVariantMap { { QStringLiteral("word"), row.value(QStringLiteral("word")) },
                    { QStringLiteral("dicId"), row.value(QStringLiteral("dicId")) },
                    { QStringLiteral("text"), manager.entryText(row) } });
            return QVariantMap { { QStringLiteral("entries"), entries } };
        });
}

} // namespace

QList<InspectCommand> dictionaryCommands()
{
    return {
        { QStringLiteral("csv"),
            QStringLiteral("csv FILE [--options N] [--delimiter C]   the records as JSON"), csvCommand },
        { QStringLiteral("dict-import"),
            QStringLiteral("dict-import FILE --home DIR --book-id ID [--title T]   install a dictionary "
                           "(CSV, dictd .index, StarDict .ifo, an EPWING book's CATALOGS file or folder), "
                           "printing progress"),
            dictImportCommand },
        { QStringLiteral("dict-lookup"),
            QStringLiteral(
                "dict-lookup WORD --home DIR   the entries found for a selected word, and the form "
                "of it that matched"),
            dictLookupCommand },
        { QStringLiteral("dict-entry"),
            QStringLiteral("dict-entry WORD --home DIR   the entry text shown for each entry found"),
            dictEntryCommand },
    };
}
