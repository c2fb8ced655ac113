#include "ReadingTheme.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <QVariantList>

namespace
{
struct Colours {
    const char *background;
    const char *text;
    const char *link;
};

constexpr Colours kSepia { "#f4ecd8", "#433422", "#7a4b16" };
constexpr Colours kNight { "#1b1d21", "#d4d2cc", "#8fb4e6" };

QString sheetFor(const Colours &c)
{
    // Every element's colours give way to the theme's, so pages that paint
    // their own white boxes read on the theme too. Images, video and SVG
    // keep their own look: only their box is left transparent.
    return QStringLiteral("html, body { background: %1 !important; color: %2 !important; }\n"
                          "body * { background-color: transparent !important; color: inherit !important;"
                          " border-color: %2 !important; }\n"
                          "a, a * { color: %3 !important; }\n")
        .arg(QLatin1String(c.background), QLatin1String(c.text), QLatin1String(c.link));
}
} // namespace

std::optional<ReadingTheme::Kind> ReadingTheme::fromKey(const QString &key)
{
    if (key == u"day")
        return Day;
    if (key == u"sepia")
        return Sepia;
    if (key == u"night")
        return Night;
    return std::nullopt;
}

QString ReadingTheme::key(Kind kind)
{
    switch (kind) {
    case Sepia:
        return QStringLiteral("sepia");
    case Night:
        return QStringLiteral("night");
    case Day:
        break;
    }
    return QStringLiteral("day");
}

QString ReadingTheme::title(Kind kind)
{
    switch (kind) {
    case Sepia:
        return QStringLiteral("セピア");
    case Night:
        return QStringLiteral("夜");
    case Day:
        break;
    }
    return QStringLiteral("昼");
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
    switch (kind) {
    case Day:
        return Sepia;
    case Sepia:
        return Night;
    case Night:
        break;
    }
    return Day;
}

QString ReadingTheme::background(Kind kind)
{
    switch (kind) {
    case Sepia:
        return QLatin1String(kSepia.background);
    case Night:
        return QLatin1String(kNight.background);
    case Day:
        break;
    }
    return QStringLiteral("#ffffff");
}

QString ReadingTheme::styleSheet(Kind kind)
{
    switch (kind) {
    case Sepia:
        return sheetFor(kSepia);
    case Night:
        return sheetFor(kNight);
    case Day:
        break;
    }
    return {};
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
