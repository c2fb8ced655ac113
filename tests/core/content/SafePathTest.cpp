#include "core/content/SafePath.h"

#include <gtest/gtest.h>

namespace
{

TEST(SafePath, FileNames)
{
    const char *accepted[]
        = { "book.epub", "My Book.epub", "臨床薬理学ノート.epub", "..hidden", "a..b", "%2e%2e" };
    for (const char *name : accepted)
        EXPECT_TRUE(SafePath::isSafeFileName(QString::fromUtf8(name))) << "should accept: " << name;

    const char *rejected[] = { "", ".", "..", "a/b", "/etc/passwd", "../book.epub", "a\\b", "..\\x" };
    for (const char *name : rejected)
        EXPECT_FALSE(SafePath::isSafeFileName(QString::fromUtf8(name))) << "should reject: " << name;
    EXPECT_FALSE(SafePath::isSafeFileName(QStringLiteral("a") + QChar(0) + QStringLiteral("b")));
    EXPECT_TRUE(SafePath::isSafeFileName(QString(255, u'x')));
    EXPECT_FALSE(SafePath::isSafeFileName(QString(256, u'x'))) << "over 255 bytes";
    EXPECT_FALSE(SafePath::isSafeFileName(QString(86, QChar(0x3042)))) << "258 UTF-8 bytes";
}

TEST(SafePath, RelativePaths)
{
    const char *accepted[]
        = { "OEBPS/content.opf", "a", "images/figure 1.png", "dir/", "a/..b/c", "日本語/章.xhtml" };
    for (const char *path : accepted)
        EXPECT_TRUE(SafePath::isSafeRelativePath(QString::fromUtf8(path))) << "should accept: " << path;

    const char *rejected[] = { "", "/etc/passwd", "../x", "a/../../x", "a/..", "./a", "a/./b", "a//b", "//x",
        "\\x", "a\\..\\b", "..", "/" };
    for (const char *path : rejected)
        EXPECT_FALSE(SafePath::isSafeRelativePath(QString::fromUtf8(path))) << "should reject: " << path;
}

} // namespace
