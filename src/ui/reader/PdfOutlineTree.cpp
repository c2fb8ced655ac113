#include "PdfOutlineTree.h"

#include "OutlineRowDelegate.h"

#include <QSignalBlocker>
#include <QTreeWidget>

namespace
{

void addRows(QTreeWidget *tree, QTreeWidgetItem *parent, const QList<PdfOutlineRow> &rows, const QFont &font)
{
    for (const PdfOutlineRow &row : rows) {
        auto *item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
        item->setText(0, row.title);
        item->setToolTip(0, row.title);
        item->setFont(0, font);
        item->setData(0, OutlineRowDelegate::kTitleRole, row.title);
        item->setData(0, PdfOutlineTree::kPageRole, row.page);
        if (row.location)
            item->setData(0, PdfOutlineTree::kLocationRole, *row.location);
        addRows(tree, item, row.children, font);
    }
}

} // namespace

void PdfOutlineTree::fill(QTreeWidget *tree, const PdfOutline &outline)
{
    const QSignalBlocker block(tree);
    tree->clear();
    QFont bold = tree->font();
    bold.setBold(true);
    bold.setPointSize(14);
    addRows(tree, nullptr, outline.rows, bold);
}

QTreeWidgetItem *PdfOutlineTree::select(QTreeWidget *tree, const PdfOutline &outline, int page)
{
    const QSignalBlocker block(tree);
    const auto path = outline.rowForPage(page);
    QTreeWidgetItem *item = nullptr;
    if (path) {
        for (int i : *path) {
            item = item ? item->child(i) : tree->topLevelItem(i);
            if (!item)
                break;
        }
    }
    if (!item) {
        tree->clearSelection();
        tree->setCurrentItem(nullptr);
        return nullptr;
    }
    for (QTreeWidgetItem *p = item->parent(); p; p = p->parent())
        p->setExpanded(true);
    tree->setCurrentItem(item);
    tree->scrollToItem(item);
    return item;
}

int PdfOutlineTree::pageOf(const QTreeWidgetItem *item)
{
    return item ? item->data(0, kPageRole).toInt() : -1;
}

std::optional<QPointF> PdfOutlineTree::locationOf(const QTreeWidgetItem *item)
{
    const QVariant v = item ? item->data(0, kLocationRole) : QVariant();
    if (!v.isValid())
        return std::nullopt;
    return v.toPointF();
}
