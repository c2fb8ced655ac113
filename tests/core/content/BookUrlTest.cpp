#include "core/content/BookUrl.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace
{

bool isHostnameSafe(const QString &host)
{
    static const QRegularExpression label(QStringLiteral("^[a-z0-9-]{1,63}$"));
    const QStringList labels = host.split(u'.');
    for (const QString &l : labels)
        if (!label.match(l).hasMatch())
            return false;
    return true;
}

TEST(BookUrl, FileNamesComeBackExactly)
{
    const QString names[] = {
        QStringLiteral("anatomy-basics.epub"),
        QStringLiteral("Emergency Medicine Handbook.epub"),
        QStringLiteral("MIXED Case.EPUB"),
        QStringLiteral("100% pure #1?.epub"),
        QStringLiteral("臨床薬理学ノート.epub"),
        QString(QChar(0xFEFF)) + QStringLiteral("bom.epub"),
        QString(85, QChar(0x85AC)), // 255 UTF-8 bytes
        QString(255, u'z'),
    };
    for (const QString &name : names) {
        for (const bool sample : { false, true }) {
            const QUrl root = sample ? BookUrl::sampleRootUrl(name) : BookUrl::rootUrl(name);
            ASSERT_TRUE(root.isValid()) << name.toStdString();
            EXPECT_TRUE(isHostnameSafe(root.host())) << root.host().toStdString();
            const auto target = BookUrl::parse(QUrl(root.toString() + QStringLiteral("/OEBPS/a%20b.xhtml")));
            ASSERT_TRUE(target.has_value()) << name.toStdString();
            EXPECT_EQ(target->fileName, name);
            EXPECT_EQ(target->sample, sample);
            EXPECT_EQ(target->path, QStringLiteral("/OEBPS/a b.xhtml"));
        }
    }
    EXPECT_NE(
        BookUrl::rootUrl(QStringLiteral("a.epub")).host(), BookUrl::rootUrl(QStringLiteral("A.epub")).host());
}

TEST(BookUrl, EntryUrlsEncodeSpecialCharacters)
{
    const QUrl url = BookUrl::entryUrl(QStringLiteral("b.epub"), QStringLiteral("text/100% #1?.xhtml"));
    const auto target = BookUrl::parse(url);
    ASSERT_TRUE(target.has_value());
    EXPECT_EQ(target->path, QStringLiteral("/text/100% #1?.xhtml"));
    EXPECT_FALSE(url.hasFragment());
    EXPECT_FALSE(url.hasQuery());
}

TEST(BookUrl, UnsafeOrForeignUrlsAreRejected)
{
    const QString dots = BookUrl::hostForFileName(QStringLiteral(".."), false);
    const QString slash = BookUrl::hostForFileName(QStringLiteral("../../etc/passwd"), false);
    const QString absolute = BookUrl::hostForFileName(QStringLiteral("/etc/passwd"), true);
    const QString rejected[] = {
        QStringLiteral("http://") + BookUrl::hostForFileName(QStringLiteral("a.epub"), false) + u'/',
        QStringLiteral("epub://a.epub/x"), QStringLiteral("epub://mfrgg.txt/x"),
        QStringLiteral("epub://") + dots + QStringLiteral("/x"),
        QStringLiteral("epub://") + slash + QStringLiteral("/x"),
        QStringLiteral("epub://") + absolute + QStringLiteral("/x"),
        QStringLiteral("epub://mfrgh.book/x"), // padding bits not zero
        QStringLiteral("epub://mfrgg1.book/x"), // "1" is not base32
        QStringLiteral("epub://.book/x"),
        QStringLiteral("epub://7777.book/x"), // 0xFF... is not UTF-8
        QStringLiteral("epub://mfrg.gzq.book/x"), // a short label before the last
    };
    for (const QString &url : rejected)
        EXPECT_FALSE(BookUrl::parse(QUrl(url)).has_value()) << url.toStdString();
    EXPECT_FALSE(BookUrl::rootUrl(QStringLiteral("a/b.epub")).isValid());
    EXPECT_FALSE(
        BookUrl::parse(QUrl(BookUrl::rootUrl(QStringLiteral("a.epub")).toString() + QStringLiteral("/%FF"))));
}

} // namespace
