#include "LogRedaction.h"

#include <QMutex>
#include <QRegularExpression>
#include <QSet>

namespace
{

// Names whose values are secrets, in parameters, headers and members.
const QString kNames = QStringLiteral(
    "(?:[\\w-]*(?:token|secret|password|passwd|pwd|cookie|authorization|sessid)|(?:[\\w-]*_)?key|session|sid|"
    "tavro_store)");

struct Secrets {
    QMutex mutex;
    QSet<QString> values;
};

Secrets &secrets()
{
    static Secrets s;
    return s;
}

QtMessageHandler &previousHandler()
{
    static QtMessageHandler previous = nullptr;
    return previous;
}

void redactingHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QString text = LogRedaction::redact(message);
    if (QtMessageHandler previous = previousHandler())
        previous(type, context, text);
    else
        qt_message_output(type, context, text);
}

} // namespace

QString LogRedaction::redact(const QString &text)
{
    const QString mask = QString::fromLatin1(kMask);
    QString out = text;
    {
        QMutexLocker lock(&secrets().mutex);
        for (const QString &value : std::as_const(secrets().values))
            out.replace(value, mask);
    }
    // name=value in queries, forms and cookie headers.
    static const QRegularExpression assignment(
        QStringLiteral("(?<![\\w-])(") + kNames + QStringLiteral(")(\\s*=\\s*)([^&\\s\"',;)]+)"),
        QRegularExpression::CaseInsensitiveOption);
    out.replace(assignment, QStringLiteral("\\1\\2") + mask);
    // "name": "value" (JSON) and "name", "value" or "name", QVariant(QString, "value") (logged
    // dictionaries and pairs).
    static const QRegularExpression member(QStringLiteral("(\\\\?\"") + kNames
            + QStringLiteral("\\\\?\"\\s*[:,]\\s*(?:QVariant\\(\\w+,\\s*)?)(\\\\?\")([^\"\\\\]*)(\\\\?\")"),
        QRegularExpression::CaseInsensitiveOption);
    out.replace(member, QStringLiteral("\\1\\2") + mask + QStringLiteral("\\4"));
    // Credentials after their scheme.
    static const QRegularExpression bearer(QStringLiteral("\\b(Bearer|Basic)\\s+[A-Za-z0-9._~+/=-]+"),
        QRegularExpression::CaseInsensitiveOption);
    out.replace(bearer, QStringLiteral("\\1 ") + mask);
    // Header lines and "Name: value" (a scheme's credentials are masked above).
    static const QRegularExpression header(QStringLiteral("(?<![\\w-])(") + kNames
            + QStringLiteral(")(:\\s*)(?!(?:Bearer|Basic)\\b)([^\\s\"',;]+)"),
        QRegularExpression::CaseInsensitiveOption);
    out.replace(header, QStringLiteral("\\1\\2") + mask);
    return out;
}

void LogRedaction::addSecret(const QString &value)
{
    if (value.size() < 6)
        return;
    QMutexLocker lock(&secrets().mutex);
    secrets().values.insert(value);
}

void LogRedaction::install()
{
    // In front again when another handler took its place since.
    const QtMessageHandler current = qInstallMessageHandler(redactingHandler);
    if (current != redactingHandler)
        previousHandler() = current;
}
