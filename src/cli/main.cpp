// tavro-inspect: command-line access to the core for users' scripts and
// tests. One verb per job; JSON on standard output.
#include "InspectCommand.h"

#include "core/util/JsonWriter.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <cstdio>

QList<InspectCommand> bookCommands();
QList<InspectCommand> dictionaryCommands();
QList<InspectCommand> installCommands();
QList<InspectCommand> xmlrpcCommands();
QList<InspectCommand> topCommands();
QList<InspectCommand> pdfCommands();
QList<InspectCommand> annotationCommands();
QList<InspectCommand> launchCommands();
QList<InspectCommand> searchCommands();
QList<InspectCommand> accountCommands();
QList<InspectCommand> positionCommands();

QList<InspectCommand> inspectCommands()
{
    QList<InspectCommand> all;
    all += bookCommands();
    all += dictionaryCommands();
    all += installCommands();
    all += xmlrpcCommands();
    all += topCommands();
    all += pdfCommands();
    all += annotationCommands();
    all += launchCommands();
    all += searchCommands();
    all += accountCommands();
    all += positionCommands();
    return all;
}

int printJson(const QVariant &value)
{
    // A document holds an object or an array; print the scalars ourselves.
    if (!value.isValid() || value.metaType().id() == QMetaType::Nullptr) {
        std::fputs("null\n", stdout);
        return 0;
    }
    if (!isWithinJsonDepth(value))
        return fail(QStringLiteral("the result nests deeper than %1 levels; not printed").arg(kMaxJsonDepth));
    const QByteArray json = QJsonDocument::fromVariant(value).toJson(QJsonDocument::Indented);
    std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
    return 0;
}

int fail(const QString &message, int code)
{
    std::fprintf(stderr, "tavro-inspect: %s\n", message.toLocal8Bit().constData());
    return code;
}

static int usage()
{
    std::fprintf(stderr, "usage: tavro-inspect VERB ARGS... | --version\n");
    for (const InspectCommand &c : inspectCommands())
        std::fprintf(stderr, "  %s\n", c.usage.toLocal8Bit().constData());
    return 2;
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Tavro"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TAVRO_VERSION));
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString verb = args.takeFirst();
    if (verb == u"--version") {
        std::printf("tavro-inspect %s\n", TAVRO_VERSION);
        return 0;
    }
    for (const InspectCommand &c : inspectCommands())
        if (c.name == verb)
            return c.run(args);
    fail(QStringLiteral("unknown verb %1").arg(verb), 2);
    return usage();
}
