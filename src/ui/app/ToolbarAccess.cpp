#include "ToolbarAccess.h"

#include <QAction>
#include <QHash>
#include <QToolBar>
#include <QToolButton>

QString ToolbarAccess::spokenName(const QString &text)
{
    static const QHash<QString, QString> glyphs {
        { QStringLiteral("◀"), QStringLiteral("前へ") },
        { QStringLiteral("▶"), QStringLiteral("次へ") },
        { QStringLiteral("A−"), QStringLiteral("文字を小さく") },
        { QStringLiteral("A"), QStringLiteral("標準の文字サイズ") },
        { QStringLiteral("A+"), QStringLiteral("文字を大きく") },
    };
    QString plain = text;
    plain.remove(u'&');
    return glyphs.value(plain, plain);
}

void ToolbarAccess::nameButtons(QToolBar *toolbar)
{
    if (!toolbar)
        return;
    for (QAction *action : toolbar->actions()) {
        auto *button = qobject_cast<QToolButton *>(toolbar->widgetForAction(action));
        if (!button)
            continue;
        if (button->accessibleName().isEmpty())
            button->setAccessibleName(spokenName(action->text()));
        if (button->accessibleDescription().isEmpty() && !action->shortcut().isEmpty())
            button->setAccessibleDescription(action->shortcut().toString(QKeySequence::NativeText));
        if (!action->shortcut().isEmpty() && !action->toolTip().contains(u'('))
            action->setToolTip(QStringLiteral("%1 (%2)").arg(
                spokenName(action->text()), action->shortcut().toString(QKeySequence::NativeText)));
    }
}
