#include "ReadingPlace.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cmath>

namespace
{
// Beyond any real chapter; a larger number is a damaged record.
constexpr double kMaxOffset = 1e9;
constexpr double kMaxSpine = 1e6;
constexpr int kMaxPathLength = 2000;
} // namespace

ReadingPlace ReadingPlace::at(int spineIndex, double fraction)
{
    ReadingPlace p;
    p.spineIndex = std::max(0, spineIndex);
    p.fraction = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
    return p;
}

bool ReadingPlace::isElementPath(const QString &path)
{
    static const QRegularExpression form(QStringLiteral("^(/|(/(0|[1-9][0-9]{0,5}))+)$"));
    return path.size() <= kMaxPathLength && form.match(path).hasMatch();
}

QString ReadingPlace::toJson() const
{
    QJsonObject o { { QStringLiteral("spine"), spineIndex }, { QStringLiteral("fraction"), fraction } };
    if (hasAnchor()) {
        o.insert(QStringLiteral("path"), path);
        o.insert(QStringLiteral("offset"), offset);
    }
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

std::optional<ReadingPlace> ReadingPlace::fromJson(const QString &json, int spineIndex)
{
    const QJsonDocument doc = QJsonDocument::fromJson(json.toUtf8());
    if (!doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    const auto number = [&](const char *key, double *out) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined())
            return true;
        if (!v.isDouble() || !std::isfinite(v.toDouble()))
            return false;
        *out = v.toDouble();
        return true;
    };
    double spine = spineIndex, offset = 0, fraction = 0;
    if (!number("spine", &spine) || !number("offset", &offset) || !number("fraction", &fraction))
        return std::nullopt;
    if (spine < 0 || spine > kMaxSpine || spine != std::floor(spine) || offset < 0 || offset > kMaxOffset
        || offset != std::floor(offset) || fraction < 0 || fraction > 1)
        return std::nullopt;
    ReadingPlace p;
    p.spineIndex = int(spine);
    p.fraction = fraction;
    const QJsonValue path = o.value(QStringLiteral("path"));
    if (!path.isUndefined() && !path.isNull()) {
        if (!path.isString() || !isElementPath(path.toString()))
            return std::nullopt;
        p.path = path.toString();
        p.offset = int(offset);
    }
    return p;
}

QVariantMap ReadingPlace::toVariant() const
{
    return { { QStringLiteral("spineIndex"), spineIndex },
        { QStringLiteral("anchor"),
            hasAnchor() ? QVariant(
                QVariantMap { { QStringLiteral("path"), path }, { QStringLiteral("offset"), offset } })
                        : QVariant::fromValue(nullptr) },
        { QStringLiteral("fraction"), fraction } };
}
