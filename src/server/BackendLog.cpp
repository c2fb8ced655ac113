#include "BackendLog.h"

Q_LOGGING_CATEGORY(lcBackend, "tavro.backend")

QString logSafe(const std::string &text, qsizetype limit)
{
    QString out;
    for (const char c : text) {
        if (out.size() >= limit) {
            out += QStringLiteral("...");
            break;
        }
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7F || u == '\\')
            out += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else
            out += QLatin1Char(c);
    }
    return out;
}
