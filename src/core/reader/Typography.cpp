#include "Typography.h"

#include <algorithm>

namespace
{

// Japanese faces in the order they are preferred, as font databases name
// them on the desktops the reader runs on.
const char *const kMinchoFaces[]
    = { "Noto Serif CJK JP", "Source Han Serif JP", "Source Han Serif", "IPAexMincho", "IPAMincho",
          "IPAPMincho", "TakaoPMincho", "TakaoMincho", "Yu Mincho", "Hiragino Mincho ProN", "MS PMincho" };
const char *const kGothicFaces[]
    = { "Noto Sans CJK JP", "Source Han Sans JP", "Source Han Sans", "IPAexGothic", "IPAPGothic", "IPAGothic",
          "TakaoPGothic", "TakaoGothic", "VL PGothic", "Yu Gothic", "Hiragino Sans", "Meiryo" };

// Everything in the body that is not a picture: typography never reaches
// an image, a drawing, a video or a formula.
constexpr const char *kText
    = "body, body :not(img, svg, svg *, video, canvas, picture, object, embed, math, math *)";
// The same, also leaving code in its own monospaced face.
constexpr const char *kProse
    = "body, body :not(img, svg, svg *, video, canvas, picture, object, embed, math, "
      "math *, code, code *, pre, pre *, kbd, samp, tt)";

struct Field {
    int value = 0;
    bool ok = false;
};

Field number(const QString &text, int low, int high, int alsoAllowed)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || ((v < low || v > high) && v != alsoAllowed))
        return {};
    return { v, true };
}

QString quoted(const QString &family)
{
    QString escaped = family;
    escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    escaped.remove(u'\n').remove(u'\r');
    return u'"' + escaped + u'"';
}

} // namespace

Typography Typography::fromStored(const QString &text)
{
    Typography t;
    for (const QString &part : text.split(u';', Qt::SkipEmptyParts)) {
        const QString key = part.section(u'=', 0, 0).trimmed();
        const QString value = part.section(u'=', 1);
        if (key == u"family") {
            for (const Family f : { Family::Book, Family::Mincho, Family::Gothic })
                if (value.trimmed() == familyKey(f))
                    t.family = f;
        } else if (key == u"lineSpacing") {
            if (const Field f = number(value, kMinLineSpacing, kMaxLineSpacing, kBookLineSpacing); f.ok)
                t.lineSpacing = f.value;
        } else if (key == u"margin") {
            if (const Field f = number(value, 0, kMaxMargin, 0); f.ok)
                t.margin = f.value;
        } else if (key == u"lineWidth") {
            if (const Field f = number(value, kMinLineWidth, kMaxLineWidth, kNoLineLimit); f.ok)
                t.lineWidth = f.value;
        }
    }
    return t;
}

QString Typography::toStored() const
{
    return QStringLiteral("family=%1;lineSpacing=%2;margin=%3;lineWidth=%4")
        .arg(familyKey(family))
        .arg(lineSpacing)
        .arg(margin)
        .arg(lineWidth);
}

QString Typography::familyKey(Family family)
{
    switch (family) {
    case Family::Mincho:
        return QStringLiteral("mincho");
    case Family::Gothic:
        return QStringLiteral("gothic");
    case Family::Book:
        break;
    }
    return QStringLiteral("book");
}

QList<int> Typography::lineSpacingChoices()
{
    return { kBookLineSpacing, 120, 140, 160, 180, 200, 240 };
}

QList<int> Typography::marginChoices()
{
    return { 0, 12, kDefaultMargin, 48, 72, 96 };
}

QList<int> Typography::lineWidthChoices()
{
    return { 30, 35, kDefaultLineWidth, 45, 50, 60, 80, kNoLineLimit };
}

QString Typography::lineSpacingText(int percent)
{
    if (percent == kBookLineSpacing)
        return QStringLiteral("本のまま");
    return QString::number(percent / 100.0, 'f', percent % 10 ? 2 : 1);
}

QString Typography::marginText(int pixels)
{
    return pixels == 0 ? QStringLiteral("なし") : QStringLiteral("%1 px").arg(pixels);
}

QString Typography::lineWidthText(int em)
{
    return em == kNoLineLimit ? QStringLiteral("制限なし") : QStringLiteral("%1 字").arg(em);
}

QStringList Typography::fontStack(Family family, const QStringList &installed)
{
    if (family == Family::Book)
        return {};
    QStringList stack;
    const auto add = [&](const auto &faces) {
        for (const char *face : faces) {
            const QString name = QString::fromLatin1(face);
            if (installed.contains(name, Qt::CaseInsensitive))
                stack << name;
        }
    };
    if (family == Family::Mincho) {
        add(kMinchoFaces);
        stack << QStringLiteral("serif");
    } else {
        add(kGothicFaces);
        stack << QStringLiteral("sans-serif");
    }
    return stack;
}

QString Typography::installedFace(Family family, const QStringList &installed)
{
    const QStringList stack = fontStack(family, installed);
    return stack.size() > 1 ? stack.first() : QString();
}

QString Typography::styleSheet(const QStringList &installed) const
{
    QString css;
    // The body's content box is the text column: at most lineWidth wide,
    // in the middle of the view, with the margins inside it.
    css += QStringLiteral("html body { box-sizing: content-box !important; margin-left: auto !important;"
                          " margin-right: auto !important; padding-left: %1px !important;"
                          " padding-right: %1px !important;")
               .arg(margin);
    if (lineWidth != kNoLineLimit)
        css += QStringLiteral(" max-inline-size: %1em !important;").arg(lineWidth);
    css += QStringLiteral(" }\n");
    if (lineSpacing != kBookLineSpacing)
        css += QStringLiteral("%1 { line-height: %2 !important; }\n")
                   .arg(QLatin1String(kText), QString::number(lineSpacing / 100.0, 'g', 4));
    if (family != Family::Book) {
        // Installed faces by name, then the generic family (last) as it is.
        QStringList names = fontStack(family, installed);
        for (qsizetype i = 0; i + 1 < names.size(); ++i)
            names[i] = quoted(names[i]);
        css += QStringLiteral("%1 { font-family: %2 !important; }\n")
                   .arg(QLatin1String(kProse), names.join(QStringLiteral(", ")));
    }
    return css;
}
