// What a book page may load, and where its content security policy goes.
#include "core/content/BookPagePolicy.h"
#include "core/content/BookUrl.h"

#include <gtest/gtest.h>

namespace
{

const QByteArray kMeta = "<meta http-equiv=\"Content-Security-Policy\"";

// The text before the policy, and the text after it up to the end of the
// inserted markup.
struct Placement {
    QByteArray before;
    bool found = false;
};

Placement placement(const QByteArray &page)
{
    const qsizetype at = page.indexOf(kMeta);
    return { at < 0 ? QByteArray() : page.left(at), at >= 0 };
}

TEST(BookPagePolicy, HtmlPolicyComesBeforeAnythingThatCanRun)
{
    struct Case {
        const char *page;
        const char *before; // expected text in front of the policy
    };
    const Case cases[] = {
        { "<!DOCTYPE html><html><head><script>x()</script>", "<!DOCTYPE html>" },
        { "\xEF\xBB\xBF<!doctype html>\n<html>", "\xEF\xBB\xBF<!doctype html>\n" },
        { "<script>x()</script><html>", "" },
        // Comments read the way the HTML parser reads them: "<!-->" and
        // "<!--->" end at once, "--!>" ends a comment too.
        { "<!DOCTYPE html><!--><script>x()</script>-->", "<!DOCTYPE html><!-->" },
        { "<!---><script>x()</script>-->", "<!--->" },
        { "<!-- a --!><script>x()</script>-->", "<!-- a --!>" },
        { "<!-- <head> --><html><head>", "<!-- <head> -->" },
        // A bogus comment ends at the first '>', not at "?>".
        { "<?php ><script>x()</script>?>", "<?php >" },
        { "text<html>", "" },
    };
    for (const Case &c : cases) {
        const QByteArray out = BookPagePolicy::withPolicy(c.page, false);
        const Placement p = placement(out);
        EXPECT_TRUE(p.found) << c.page;
        EXPECT_EQ(p.before, QByteArray(c.before)) << c.page;
        EXPECT_EQ(
            out.left(p.before.size()) + out.mid(out.indexOf("/>", p.before.size()) + 2), QByteArray(c.page))
            << "only the policy is added: " << c.page;
    }
    EXPECT_TRUE(BookPagePolicy::withPolicy("<!-- never ends <script>", false).indexOf(kMeta) < 0)
        << "an unended comment is left as it is";
}

TEST(BookPagePolicy, XhtmlPolicyIsTheFirstHeadOfTheRoot)
{
    const QByteArray head = "<head xmlns=\"http://www.w3.org/1999/xhtml\">" + kMeta;
    struct Case {
        const char *page;
        const char *before; // nullptr: left unchanged
    };
    const Case cases[] = {
        { "<?xml version=\"1.0\"?>\n<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><script>x()</script>",
            "<?xml version=\"1.0\"?>\n<html xmlns=\"http://www.w3.org/1999/xhtml\">" },
        { "<!DOCTYPE html [ <!ENTITY a \"<html>\"> ]><!-- <html> --><html title='a>b'><body/>",
            "<!DOCTYPE html [ <!ENTITY a \"<html>\"> ]><!-- <html> --><html title='a>b'>" },
        { "<h:html xmlns:h=\"http://www.w3.org/1999/xhtml\"><h:script>x()</h:script>",
            "<h:html xmlns:h=\"http://www.w3.org/1999/xhtml\">" },
        { "<svg xmlns=\"http://www.w3.org/2000/svg\"><script>x()</script></svg>", nullptr },
        { "<html/>", nullptr },
        { "<htmlx><script>x()</script></htmlx>", nullptr },
        { "<html", nullptr },
    };
    for (const Case &c : cases) {
        const QByteArray out = BookPagePolicy::withPolicy(c.page, true);
        if (!c.before) {
            EXPECT_EQ(out, QByteArray(c.page));
            continue;
        }
        const qsizetype at = out.indexOf(head);
        ASSERT_GE(at, 0) << c.page;
        EXPECT_EQ(out.left(at), QByteArray(c.before)) << c.page;
        EXPECT_TRUE(out.mid(at).contains("/></head>")) << c.page;
    }
    const QByteArray utf16("\xFF\xFE<\0h\0", 6);
    EXPECT_EQ(BookPagePolicy::withPolicy(utf16, true), utf16) << "UTF-16 is left as it is";
}

TEST(BookPagePolicy, PolicyKeepsEverythingToTheBooksOwnOrigin)
{
    const QByteArray policy = BookPagePolicy::contentSecurityPolicy();
    EXPECT_FALSE(policy.contains('"'));
    for (const char *directive : { "default-src 'self'", "connect-src 'self'", "form-action 'self'",
             "img-src 'self' data: blob:", "worker-src 'none'" })
        EXPECT_TRUE(policy.contains(directive)) << directive;
    EXPECT_FALSE(policy.contains("http")) << policy.toStdString();
    EXPECT_FALSE(policy.contains('*')) << policy.toStdString();

    EXPECT_TRUE(BookPagePolicy::isPageType("application/xhtml+xml"));
    EXPECT_TRUE(BookPagePolicy::isPageType("Text/HTML; charset=utf-8"));
    EXPECT_TRUE(BookPagePolicy::isPageType("application/xml"));
    EXPECT_FALSE(BookPagePolicy::isPageType("image/png"));
    EXPECT_FALSE(BookPagePolicy::isPageType("text/css"));
}

TEST(BookPagePolicy, PagesLoadOnlyTheirOwnBook)
{
    const QUrl a = BookUrl::entryUrl(QStringLiteral("a.epub"), QStringLiteral("OEBPS/p.xhtml"));
    const QUrl aPicture = BookUrl::entryUrl(QStringLiteral("a.epub"), QStringLiteral("OEBPS/c.png"));
    const QUrl b = BookUrl::entryUrl(QStringLiteral("b.epub"), QStringLiteral("OEBPS/c.png"));
    const QUrl origin = QUrl(a.toString(QUrl::RemovePath));
    struct Case {
        const char *what;
        QUrl request;
        QUrl page;
        bool mainFrame;
        bool allowed;
    };
    const Case cases[] = {
        { "own picture", aPicture, origin, false, true },
        { "own page from the reader", a, QUrl(), true, true },
        { "another book from the reader", b, QUrl(), true, true },
        { "another book's picture", b, origin, false, false },
        { "another book's page from a script", b, origin, true, false },
        { "another book with no page", b, QUrl(), false, false },
        { "web", QUrl(QStringLiteral("http://127.0.0.1:8080/x")), origin, false, false },
        { "web page", QUrl(QStringLiteral("https://example.org/")), QUrl(), true, false },
        { "socket", QUrl(QStringLiteral("ws://127.0.0.1:8080/")), origin, false, false },
        { "file", QUrl(QStringLiteral("file:///etc/passwd")), origin, false, false },
        { "data", QUrl(QStringLiteral("data:image/png;base64,AA==")), origin, false, true },
        { "blob", QUrl(QStringLiteral("blob:epub://x.book/1-2")), origin, false, true },
        { "about:blank", QUrl(QStringLiteral("about:blank")), origin, false, true },
        { "about:other", QUrl(QStringLiteral("about:config")), origin, false, false },
        { "book link", QUrl(QStringLiteral("tavro://book/x")), origin, true, true },
        { "opaque page", aPicture, QUrl(QStringLiteral("null")), false, false },
    };
    for (const Case &c : cases)
        EXPECT_EQ(BookPagePolicy::allowsRequest(c.request, c.page, c.mainFrame), c.allowed) << c.what;
}

} // namespace
