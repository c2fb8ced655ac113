#include "ReadingTheme.h"

#include <QColor>
#include <iterator>

namespace
{

using Tint = ReadingTheme::PdfTint;

// Every theme's colours. Day leaves the book's own text colours (and so
// needs no style sheet), draws PDF pages as they are and keeps the
// desktop's palette around the page. Highlights, memos and search hits are
// solid colours that stand apart from the theme's background and under
// which its text still reads: light marks under dark text, dark ones under
// night's light text.
constexpr ReadingTheme::Colours kThemes[] = {
    { ReadingTheme::Day, "day", "昼", "#ffffff", nullptr, nullptr, Tint::None, nullptr, "#ffeb80", "#ffc890",
        "#ffd54f", nullptr, nullptr, nullptr, nullptr, nullptr },
    { ReadingTheme::Sepia, "sepia", "セピア", "#f4ecd8", "#433422", "#7a4b16", Tint::Multiply, "#f4ecd8",
        "#ecd36a", "#e8a872", "#f2b632", "#e9dfc6", "#ddcfae", "#8a5a2b", "#fffaf0", "#9a8868" },
    { ReadingTheme::Night, "night", "夜", "#1b1d21", "#d4d2cc", "#8fb4e6", Tint::Difference, "#e4e4e4",
        "#66561a", "#7a4420", "#1f5a72", "#24272c", "#30343a", "#3d5a80", "#ffffff", "#7b7e84" },
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

QString ReadingTheme::annotationSheet(Kind kind)
{
    // The page scripts mark highlights "qmMark" and memos "qmMemo"; two
    // classes outweigh the theme's "body *", so the marks keep their colour
    // under every theme.
    const Colours &c = colours(kind);
    return QStringLiteral("span.qmHighlight.qmMark { background-color: %1 !important; }\n"
                          "span.qmHighlight.qmMemo { background-color: %2 !important; }\n"
                          "span.qmSearchHighlight.qmSearchHighlight { background-color: %3 !important; }\n")
        .arg(QLatin1String(c.highlight), QLatin1String(c.memo), QLatin1String(c.searchMark));
}

std::optional<QPalette> ReadingTheme::palette(Kind kind)
{
    const Colours &c = colours(kind);
    if (!c.chrome)
        return std::nullopt;
    const QColor base(QLatin1String(c.background));
    const QColor text(QLatin1String(c.text));
    const QColor chrome(QLatin1String(c.chrome));
    const QColor control(QLatin1String(c.control));
    const QColor muted(QLatin1String(c.muted));
    const bool dark = base.lightness() < 128;
    QPalette p;
    for (const auto group : { QPalette::Active, QPalette::Inactive, QPalette::Disabled }) {
        p.setColor(group, QPalette::Window, chrome);
        p.setColor(group, QPalette::Base, base);
        p.setColor(group, QPalette::AlternateBase, dark ? base.lighter(112) : base.darker(104));
        p.setColor(group, QPalette::Button, control);
        p.setColor(group, QPalette::ToolTipBase, base);
        p.setColor(group, QPalette::ToolTipText, text);
        for (const auto role : { QPalette::WindowText, QPalette::Text, QPalette::ButtonText })
            p.setColor(group, role, group == QPalette::Disabled ? muted : text);
        p.setColor(group, QPalette::PlaceholderText, muted);
        p.setColor(group, QPalette::BrightText, dark ? QColor(Qt::white) : QColor(Qt::black));
        p.setColor(group, QPalette::Highlight, QColor(QLatin1String(c.selection)));
        p.setColor(group, QPalette::HighlightedText, QColor(QLatin1String(c.selectionText)));
        p.setColor(group, QPalette::Link, QColor(QLatin1String(c.link ? c.link : c.text)));
        p.setColor(group, QPalette::LinkVisited, QColor(QLatin1String(c.link ? c.link : c.text)));
        // The bevels of frames and buttons, from the control colour.
        p.setColor(group, QPalette::Light, control.lighter(dark ? 150 : 115));
        p.setColor(group, QPalette::Midlight, control.lighter(dark ? 125 : 107));
        p.setColor(group, QPalette::Mid, control.darker(dark ? 130 : 125));
        p.setColor(group, QPalette::Dark, control.darker(dark ? 160 : 150));
        p.setColor(group, QPalette::Shadow, control.darker(dark ? 250 : 300));
    }
    return p;
}
