#include "ReadingTheme.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <QVariantList>
#include <iterator>

namespace
{

using Tint = ReadingTheme::PdfTint;

// Every theme's colours. Day leaves the book's own text colours (and so
// needs no style sheet) and draws PDF pages as they are. Highlight and memo
// colours are the page scripts' own under every theme so far (null).
constexpr ReadingTheme::Colours kThemes[] = {
    { ReadingTheme::Day, "day", "昼", "#ffffff", nullptr, nullptr, Tint::None, nullptr, nullptr, nullptr },
    { ReadingTheme::Sepia, "sepia", "セピア", "#f4ecd8", "#433422", "#7a4b16", Tint::Multiply, "#f4ecd8",
        nullptr, nullptr },
    { ReadingTheme::Night, "night", "夜", "#1b1d21", "#d4d2cc", "#8fb4e6", Tint::Difference, "#e4e4e4",
        nullptr, nullptr },
};

QString sheetFor(const ReadingTheme::Colours &c)
{
    // Every element's colours give way to the theme's, so pages that paint
    // their own white boxes read on the theme too. Images, video and SVG
    // keep their own look: only their box is left transparent.
    return QStringLiteral("html, body { background: %1 !important; color: %2 !important; }\n"
                          "body * { background-color: transparent !important; color: inherit !important;"
                          " border-color: %2 !important; }\n"
                          "a, a * { color: %3 !important; }\n")
        .arg(QLatin1String(c.background), QLatin1String(c.text), QLatin1String(c.link ? c.link : c.text));
}

} // namespace

const ReadingTheme::Colours &ReadingTheme::colours(Kind kind)
{
    for (const Colours &row : kThemes)
        if (row.kind == kind)
            return row;
    return kThemes[0];
}

QList<ReadingTheme::Kind> ReadingTheme::all()
{
    QList<Kind> kinds;
    for (const Colours &row : kThemes)
        kinds.append(row.kind);
    return kinds;
}

std::optional<ReadingTheme::Kind> ReadingTheme::fromKey(const QString &key)
{
    for (const Colours &row : kThemes)
        if (key == QLatin1String(row.key))
            return row.kind;
    return std::nullopt;
}

QString ReadingTheme::key(Kind kind)
{
    return QLatin1String(colours(kind).key);
}

QString ReadingTheme::title(Kind kind)
{
    return QString::fromUtf8(colours(kind).title);
}

ReadingTheme::Kind ReadingTheme::chosen(const std::optional<QString> &stored, int windowLightness)
{
    if (stored)
        if (const auto kind = fromKey(*stored))
            return *kind;
    return windowLightness < 128 ? Night : Day;
}

ReadingTheme::Kind ReadingTheme::next(Kind kind)
{
    const auto count = std::size(kThemes);
    for (std::size_t i = 0; i < count; ++i)
        if (kThemes[i].kind == kind)
            return kThemes[(i + 1) % count].kind;
    return kThemes[0].kind;
}

QString ReadingTheme::background(Kind kind)
{
    return QLatin1String(colours(kind).background);
}

QString ReadingTheme::styleSheet(Kind kind)
{
    const Colours &c = colours(kind);
    return c.text ? sheetFor(c) : QString();
}

QString ReadingTheme::pageScript(Kind kind)
{
    // The sheet goes in as a JSON string, so no text of it can end the
    // script early.
    const QString css = QString::fromUtf8(
        QJsonDocument::fromVariant(QVariantList { styleSheet(kind) }).toJson(QJsonDocument::Compact));
    return QStringLiteral("(function () {\n"
                          "  var css = %1[0];\n"
                          "  function put() {\n"
                          "    var s = document.getElementById('tavro-reading-theme');\n"
                          "    if (!css) { if (s) s.remove(); return; }\n"
                          "    if (!s) {\n"
                          "      s = document.createElement('style');\n"
                          "      s.id = 'tavro-reading-theme';\n"
                          "      (document.head || document.documentElement).appendChild(s);\n"
                          "    }\n"
                          "    s.textContent = css;\n"
                          "  }\n"
                          "  if (document.documentElement) put();\n"
                          "  else document.addEventListener('readystatechange', put, { once: true });\n"
                          "})();")
        .arg(css);
}
