#include "PageStyle.h"

#include <QJsonDocument>
#include <QVariantList>

QString PageStyle::styleSheet(
    ReadingTheme::Kind theme, const Typography &typography, const QStringList &installed)
{
    return ReadingTheme::styleSheet(theme) + ReadingTheme::annotationSheet(theme)
        + typography.styleSheet(installed);
}

QString PageStyle::pageScript(const QString &css)
{
    // The sheet goes in as a JSON string, so no text of it can end the
    // script early.
    const QString text
        = QString::fromUtf8(QJsonDocument::fromVariant(QVariantList { css }).toJson(QJsonDocument::Compact));
    return QStringLiteral("(function () {\n"
                          "  var css = %1[0];\n"
                          "  function put() {\n"
                          "    var s = document.getElementById('%2');\n"
                          "    if (!css) { if (s) s.remove(); return; }\n"
                          "    if (!s) {\n"
                          "      s = document.createElement('style');\n"
                          "      s.id = '%2';\n"
                          "      (document.head || document.documentElement).appendChild(s);\n"
                          "    }\n"
                          "    s.textContent = css;\n"
                          "  }\n"
                          "  if (document.documentElement) put();\n"
                          "  else document.addEventListener('readystatechange', put, { once: true });\n"
                          "})();")
        .arg(text, QLatin1String(kElementId));
}
