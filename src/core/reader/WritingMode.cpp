#include "WritingMode.h"

#include "core/content/EPUBManager.h"
#include "core/platform/UserDefaults.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QSet>
#include <QVariantList>

namespace
{

// Documents read for their root classes and inline styles, and sheets read
// for their rules: enough for a book's cover, title page and first chapter,
// and a bound on what a strange book can make the reader read.
constexpr int kDocumentsRead = 3;
constexpr int kSheetsRead = 20;
constexpr qsizetype kLargestFileRead = 2 * 1024 * 1024;

bool eastAsian(const QString &language)
{
    const QString l = language.trimmed().toLower();
    for (const char *prefix : { "ja", "zh", "ko" })
        if (l == QLatin1String(prefix) || l.startsWith(QLatin1String(prefix) + u'-'))
            return true;
    return false;
}

// A declaration list that sets a vertical writing mode (with the old
// prefixed property names and the SVG-era values books still carry).
bool declaresVertical(const QString &declarations)
{
    static const QRegularExpression vertical(
        QStringLiteral(
            "(?:^|[;\\s])(?:-epub-|-webkit-)?writing-mode\\s*:\\s*(?:vertical-rl|vertical-lr|tb-rl|tb)"
            "\\s*(?:!\\s*important\\s*)?(?:;|$)"),
        QRegularExpression::CaseInsensitiveOption);
    return vertical.match(declarations.trimmed()).hasMatch();
}

// A selector that picks the root or the body of a document whose root
// elements carry `classes`: "html", "body", ":root", or those (or nothing,
// or "*") with classes all among `classes`.
bool selectsRoot(const QString &selector, const QSet<QString> &classes)
{
    static const QRegularExpression compound(QStringLiteral("^(html|body|:root|\\*)?((?:\\.[-\\w]+)*)$"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = compound.match(selector.trimmed());
    if (!m.hasMatch())
        return false;
    const QStringList needed = m.captured(2).split(u'.', Qt::SkipEmptyParts);
    if (needed.isEmpty())
        return !m.captured(1).isEmpty() && m.captured(1) != u"*";
    for (const QString &c : needed)
        if (!classes.contains(c))
            return false;
    return true;
}

QString stripComments(const QString &css)
{
    static const QRegularExpression comment(
        QStringLiteral("/\\*.*?(?:\\*/|$)"), QRegularExpression::DotMatchesEverythingOption);
    QString text = css;
    return text.remove(comment);
}

} // namespace

WritingMode::Layout WritingMode::fromPackage(
    const QString &pageProgression, const QString &primaryWritingMode, const QString &language)
{
    Layout layout;
    const bool cjk = eastAsian(language);
    const bool rtl = pageProgression.trimmed().compare(QLatin1String("rtl"), Qt::CaseInsensitive) == 0;
    const QString mode = primaryWritingMode.trimmed().toLower();
    layout.vertical = mode.startsWith(QLatin1String("vertical")) || (rtl && cjk);
    layout.rightToLeft = rtl || (layout.vertical && mode != u"vertical-lr");
    layout.allowsBoth = layout.vertical || cjk;
    return layout;
}

bool WritingMode::sheetAsksVertical(const QString &css, const QStringList &rootClasses)
{
    const QSet<QString> classes(rootClasses.cbegin(), rootClasses.cend());
    // Innermost rules: a rule inside @media is read with the selector just
    // before its own brace.
    static const QRegularExpression rule(QStringLiteral("([^{}]*)\\{([^{}]*)\\}"));
    const QString text = stripComments(css);
    for (auto it = rule.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        if (!declaresVertical(m.captured(2)))
            continue;
        const QString selectors = m.captured(1).section(u';', -1); // after an @import or @charset
        for (const QString &selector : selectors.split(u','))
            if (selectsRoot(selector, classes))
                return true;
    }
    return false;
}

QStringList WritingMode::rootClasses(const QByteArray &document)
{
    static const QRegularExpression tag(
        QStringLiteral("<(?:html|body)\\b[^>]*>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression cls(
        QStringLiteral("\\bclass\\s*=\\s*(\"[^\"]*\"|'[^']*')"), QRegularExpression::CaseInsensitiveOption);
    QStringList classes;
    const QString text = QString::fromUtf8(document);
    for (auto it = tag.globalMatch(text); it.hasNext();) {
        const auto c = cls.match(it.next().captured(0));
        if (c.hasMatch())
            classes += c.captured(1).mid(1).chopped(1).split(
                QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    }
    return classes;
}

bool WritingMode::documentAsksVertical(const QByteArray &document)
{
    const QString text = QString::fromUtf8(document);
    static const QRegularExpression tag(
        QStringLiteral("<(?:html|body)\\b[^>]*>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression style(
        QStringLiteral("\\bstyle\\s*=\\s*(\"[^\"]*\"|'[^']*')"), QRegularExpression::CaseInsensitiveOption);
    for (auto it = tag.globalMatch(text); it.hasNext();) {
        const auto s = style.match(it.next().captured(0));
        if (s.hasMatch() && declaresVertical(s.captured(1).mid(1).chopped(1)))
            return true;
    }
    static const QRegularExpression block(QStringLiteral("<style\\b[^>]*>(.*?)</style\\s*>"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QStringList classes = rootClasses(document);
    for (auto it = block.globalMatch(text); it.hasNext();)
        if (sheetAsksVertical(it.next().captured(1), classes))
            return true;
    return false;
}

WritingMode::Layout WritingMode::of(const EPUBManager &book)
{
    Layout layout = fromPackage(book.pageProgressionDirection(), book.primaryWritingMode(),
        book.metadata().value(QStringLiteral("dc:language")).toString());
    if (layout.vertical)
        return layout;
    const auto read = [&](const QString &href) {
        QByteArray data = book.dataForContent(href).value_or(QByteArray());
        if (data.size() > kLargestFileRead)
            data.clear();
        return data;
    };
    QStringList classes;
    bool vertical = false;
    const QVariantList &spine = book.spine();
    for (int i = 0; i < spine.size() && i < kDocumentsRead && !vertical; ++i) {
        const QByteArray document = read(spine.at(i).toMap().value(QStringLiteral("href")).toString());
        classes += rootClasses(document);
        vertical = documentAsksVertical(document);
    }
    int sheets = 0;
    for (auto it = book.manifest().cbegin(); it != book.manifest().cend() && !vertical; ++it) {
        const QVariantMap item = it.value().toMap();
        if (item.value(QStringLiteral("media-type")).toString() != u"text/css")
            continue;
        if (++sheets > kSheetsRead)
            break;
        vertical = sheetAsksVertical(
            QString::fromUtf8(read(item.value(QStringLiteral("href")).toString())), classes);
    }
    if (vertical) {
        layout.vertical = true;
        layout.rightToLeft = true;
        layout.allowsBoth = true;
    }
    return layout;
}

bool WritingMode::showsVertical(const Layout &layout, std::optional<bool> choice)
{
    return layout.allowsBoth && choice ? *choice : layout.vertical;
}

QString WritingMode::keyFor(const QString &bookId)
{
    if (bookId.isEmpty())
        return {};
    return QStringLiteral("writingModeUD-") + bookId;
}

std::optional<bool> WritingMode::storedChoice(const QString &key)
{
    if (key.isEmpty())
        return std::nullopt;
    const auto value = UserDefaults::stringForKey(key);
    if (value == QStringLiteral("1"))
        return true;
    if (value == QStringLiteral("0"))
        return false;
    return std::nullopt;
}

void WritingMode::storeChoice(const QString &key, bool vertical)
{
    if (key.isEmpty())
        return;
    UserDefaults::setValue(key, vertical ? QStringLiteral("1") : QStringLiteral("0"));
    UserDefaults::synchronize();
}

QString WritingMode::pageScript(std::optional<bool> vertical)
{
    QString css;
    if (vertical == true)
        css = QStringLiteral("html, body { -webkit-writing-mode: vertical-rl !important;"
                             " writing-mode: vertical-rl !important; }");
    else if (vertical == false)
        // Every element: a book may set its vertical lines on a wrapper.
        css = QStringLiteral("html, body, body * { -webkit-writing-mode: horizontal-tb !important;"
                             " writing-mode: horizontal-tb !important; }");
    const QString json
        = QString::fromUtf8(QJsonDocument::fromVariant(QVariantList { css }).toJson(QJsonDocument::Compact));
    return QStringLiteral("(function () {\n"
                          "  var css = %1[0];\n"
                          "  function put() {\n"
                          "    var s = document.getElementById('tavro-writing-mode');\n"
                          "    if (!css) { if (s) s.remove(); return; }\n"
                          "    if (!s) {\n"
                          "      s = document.createElement('style');\n"
                          "      s.id = 'tavro-writing-mode';\n"
                          "      (document.head || document.documentElement).appendChild(s);\n"
                          "    }\n"
                          "    s.textContent = css;\n"
                          "  }\n"
                          "  if (document.documentElement) put();\n"
                          "  else document.addEventListener('readystatechange', put, { once: true });\n"
                          "})();")
        .arg(json);
}
