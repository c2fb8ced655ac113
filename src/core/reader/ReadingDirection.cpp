#include "ReadingDirection.h"

#include "core/platform/UserDefaults.h"

#include <algorithm>

ReadingDirection::ReadingDirection(const QString &metaBookId)
    : m_key(keyFor(metaBookId))
{
    if (!m_key.isEmpty())
        m_value = UserDefaults::stringForKey(m_key);
}

void ReadingDirection::choose(int segment)
{
    if (segment != kRightOpeningSegment && segment != kLeftOpeningSegment)
        return;
    m_value = valueForSegment(segment);
    if (m_key.isEmpty())
        return;
    UserDefaults::setValue(m_key, *m_value);
    UserDefaults::synchronize();
}

QString ReadingDirection::keyFor(const QString &metaBookId)
{
    if (metaBookId.isEmpty())
        return {};
    return QLatin1String(UserDefaults::directionUDPrefix) + metaBookId;
}

bool ReadingDirection::isRightOpening(const std::optional<QString> &value)
{
    return value && *value == QLatin1String("0");
}

int ReadingDirection::segmentFor(const std::optional<QString> &value)
{
    return isRightOpening(value) ? kRightOpeningSegment : kLeftOpeningSegment;
}

QString ReadingDirection::valueForSegment(int segment)
{
    return QString::number(segment);
}

int ReadingDirection::step(bool rightOpening, int segment)
{
    const int forward = segment == 0 ? -1 : 1;
    return rightOpening ? -forward : forward;
}

int ReadingDirection::turn(int page, int step, int pageCount)
{
    if (pageCount <= 0)
        return 0;
    return std::clamp(page + step, 0, pageCount - 1);
}

QString ReadingDirection::logWord(bool rightOpening)
{
    return rightOpening ? QStringLiteral("「右開き」") : QStringLiteral("「左開き」");
}
