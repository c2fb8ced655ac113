// Readable test failure messages for Qt types.
#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>
#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QByteArray &b, std::ostream *os)
{
    *os << '"' << b.toStdString() << '"';
}
inline void PrintTo(const QStringList &l, std::ostream *os)
{
    *os << '[' << l.join(u'|').toStdString() << ']';
}
inline void PrintTo(const QUrl &u, std::ostream *os)
{
    *os << u.toString().toStdString();
}
inline void PrintTo(const QDate &d, std::ostream *os)
{
    *os << d.toString(Qt::ISODate).toStdString();
}
inline void PrintTo(const QDateTime &d, std::ostream *os)
{
    *os << d.toString(Qt::ISODateWithMs).toStdString();
}
