// Every piece of text a window shows through widgets (labels, buttons,
// combo boxes, tabs, text fields and boxes, menu items, the rows of item
// views), each with the part of a picture of the window its text is drawn
// in, and its contrast there. Main thread only.
#pragma once

#include "support/ContrastMeter.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QToolButton>
#include <QWidget>
#include <functional>

class LabelAudit
{
public:
    struct Item {
        QString widget; // class, object name and the start of the text
        QRect area; // in the window's coordinates
        ContrastMeter::Sample sample;
    };

    // The text of `window` (a top-level widget) in `picture`, its grab.
    static QList<Item> audit(QWidget *window, const QImage &picture)
    {
        QList<Item> items;
        const double dpr = picture.devicePixelRatio();
        auto add = [&](QWidget *w, QRect local, const QString &text) {
            // Only what is drawn: clipped by the scroll areas and the widgets
            // in front.
            local = local.intersected(w->visibleRegion().boundingRect());
            if (local.width() < 4 || local.height() < 4 || text.trimmed().isEmpty())
                return;
            const QRect inWindow(w->mapTo(window, local.topLeft()), local.size());
            const QRect pixels
                = QRectF(QPointF(inWindow.topLeft()) * dpr, QSizeF(inWindow.size()) * dpr).toRect();
            const auto sample = ContrastMeter::measure(picture, pixels);
            if (!sample)
                return;
            QString name = QString::fromLatin1(w->metaObject()->className());
            if (!w->objectName().isEmpty())
                name += QStringLiteral(" \"%1\"").arg(w->objectName());
            name += QStringLiteral(" 「%1」").arg(text.simplified().left(24));
            items.append({ name, inWindow, *sample });
        };

        QList<QWidget *> widgets = window->findChildren<QWidget *>();
        widgets.prepend(window);
        for (QWidget *w : widgets) {
            // Disabled controls may be dim: they invite no reading.
            if (!w->isVisible() || !w->isEnabled() || w->window() != window)
                continue;
            if (auto *label = qobject_cast<QLabel *>(w)) {
                if (!label->pixmap().isNull())
                    continue;
                const QString text = label->textFormat() == Qt::PlainText
                    ? label->text()
                    : QTextDocumentFragment::fromHtml(label->text()).toPlainText();
                add(w, label->contentsRect(), text);
            } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
                add(w, buttonTextArea(button), button->text());
            } else if (auto *combo = qobject_cast<QComboBox *>(w)) {
                if (!combo->isEditable())
                    add(w, combo->rect().adjusted(4, 3, -22, -3), combo->currentText());
            } else if (auto *tabs = qobject_cast<QTabBar *>(w)) {
                for (int i = 0; i < tabs->count(); ++i)
                    add(w, tabs->tabRect(i).adjusted(4, 3, -4, -3), tabs->tabText(i));
            } else if (auto *view = qobject_cast<QAbstractItemView *>(w)) {
                auditRows(view, add);
            } else if (auto *menu = qobject_cast<QMenu *>(w)) {
                // Past the check mark or icon column.
                for (QAction *action : menu->actions())
                    if (action->isVisible() && action->isEnabled() && !action->isSeparator())
                        add(w, menu->actionGeometry(action).adjusted(24, 2, -4, -2), action->text());
            } else if (auto *edit = qobject_cast<QTextEdit *>(w)) {
                add(edit->viewport(), edit->viewport()->rect().adjusted(2, 2, -2, -2), edit->toPlainText());
            } else if (auto *plain = qobject_cast<QPlainTextEdit *>(w)) {
                add(plain->viewport(), plain->viewport()->rect().adjusted(2, 2, -2, -2),
                    plain->toPlainText());
            } else if (auto *line = qobject_cast<QLineEdit *>(w)) {
                add(w, line->rect().adjusted(4, 3, -4, -3), line->text());
            }
        }
        return items;
    }

private:
    static QRect buttonTextArea(QAbstractButton *button)
    {
        QRect r = button->rect().adjusted(3, 3, -3, -3);
        if (qobject_cast<QCheckBox *>(button) || qobject_cast<QRadioButton *>(button)) {
            QStyleOptionButton opt;
            opt.initFrom(button);
            opt.text = button->text();
            return button->style()->subElementRect(qobject_cast<QCheckBox *>(button)
                    ? QStyle::SE_CheckBoxContents
                    : QStyle::SE_RadioButtonContents,
                &opt, button);
        }
        if (button->icon().isNull())
            return r;
        const QSize icon = button->iconSize();
        auto *tool = qobject_cast<QToolButton *>(button);
        const Qt::ToolButtonStyle style = tool ? tool->toolButtonStyle() : Qt::ToolButtonTextBesideIcon;
        if (style == Qt::ToolButtonIconOnly)
            return {};
        if (style == Qt::ToolButtonTextUnderIcon)
            r.setTop(r.top() + icon.height() + 2);
        else if (style == Qt::ToolButtonTextBesideIcon)
            r.setLeft(r.left() + icon.width() + 2);
        return r;
    }

    // The size a row's picture takes: the view's icon size, else the
    // picture fitted to the row's height, as delegates draw covers.
    static QSize decorationSize(QAbstractItemView *view, const QModelIndex &index, int rowHeight)
    {
        if (view->iconSize().isValid())
            return view->iconSize();
        const QVariant decoration = index.data(Qt::DecorationRole);
        QSize size(16, 16);
        if (decoration.canConvert<QIcon>() && !decoration.value<QIcon>().availableSizes().isEmpty())
            size = decoration.value<QIcon>().availableSizes().constFirst();
        else if (decoration.canConvert<QPixmap>() && !decoration.value<QPixmap>().isNull())
            size = decoration.value<QPixmap>().deviceIndependentSize().toSize();
        return size.height() > rowHeight ? size.scaled(QSize(100000, rowHeight), Qt::KeepAspectRatio) : size;
    }

    // What a row says: its display text, else the first text of the roles
    // a delegate of its own draws from.
    static QString rowText(const QModelIndex &index)
    {
        const QString display = index.data(Qt::DisplayRole).toString();
        if (!display.isEmpty())
            return display;
        for (int role = Qt::UserRole; role < Qt::UserRole + 16; ++role) {
            const QVariant v = index.data(role);
            if (v.typeId() == QMetaType::QString && !v.toString().trimmed().isEmpty())
                return v.toString();
        }
        return {};
    }

    template <typename Add> static void auditRows(QAbstractItemView *view, Add &add)
    {
        QAbstractItemModel *model = view->model();
        if (!model)
            return;
        auto *list = qobject_cast<QListView *>(view);
        const bool iconMode = list && list->viewMode() == QListView::IconMode;
        int budget = 300; // rows enough to cover any window
        std::function<void(const QModelIndex &)> walk = [&](const QModelIndex &parent) {
            for (int row = 0; row < model->rowCount(parent) && budget > 0; ++row) {
                for (int column = 0; column < model->columnCount(parent); ++column) {
                    const QModelIndex index = model->index(row, column, parent);
                    if (!(model->flags(index) & Qt::ItemIsEnabled))
                        continue;
                    QRect r = view->visualRect(index).intersected(view->viewport()->rect());
                    if (r.isEmpty())
                        continue;
                    --budget;
                    if (index.data(Qt::DecorationRole).isValid()) {
                        const QSize icon = decorationSize(view, index, r.height());
                        if (iconMode)
                            r.setTop(r.top() + icon.height());
                        else
                            r.setLeft(r.left() + icon.width() + 4);
                    }
                    r.translate(view->viewport()->mapTo(view, QPoint(0, 0)));
                    add(view, r.adjusted(1, 1, -1, -1), rowText(index));
                }
                if (model->hasChildren(model->index(row, 0, parent)))
                    walk(model->index(row, 0, parent));
            }
        };
        walk({});
    }
};
