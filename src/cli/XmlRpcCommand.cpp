// tavro-inspect xmlrpc FILE
#include "InspectCommand.h"

#include "core/top/XmlRpcDescription.h"
#include "core/top/XmlRpcResponseParser.h"

#include <QFile>

namespace
{

int xmlrpcCommand(const QStringList &args)
{
    if (args.size() != 1)
        return fail(QStringLiteral("usage: tavro-inspect xmlrpc FILE"), 2);
    QFile file(args.first());
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: no such file").arg(args.first()));
    XmlRpcResponseParser parser(file.readAll());
    const QVariant value = parser.parse();
    if (!value.isValid())
        return fail(QStringLiteral("%1 is not an XML-RPC method response: %2")
                        .arg(args.first(), parser.parserError()));
    const QVariant described = describeXmlRpcValue(value);
    if (!described.isValid())
        return fail(QStringLiteral("%1: the value nests too deeply to describe").arg(args.first()));
    return printJson(QVariantMap {
        { QStringLiteral("fault"), parser.isFault() }, { QStringLiteral("value"), described } });
}

} // namespace

QList<InspectCommand> xmlrpcCommands()
{
    return { { QStringLiteral("xmlrpc"),
        QStringLiteral("xmlrpc FILE   the parsed value of a method response, typed"), xmlrpcCommand } };
}
