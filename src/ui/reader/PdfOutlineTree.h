// The rows of a PDF book's outline in the reader's outline column: filled
// from PdfOutline (bold, 14 points), each row knowing its page, and the row
// of the shown page selected (its parents expanded).
//
// Main thread only.
#pragma once

#include "core/reader/PdfOutline.h"

class QTreeWidget;
class QTreeWidgetItem;

class PdfOutlineTree
{
public:
    // The item data role holding a row's page (from 0; -1 for none).
    static constexpr int kPageRole = Qt::UserRole + 20;
    // The place on the page (points from its top left), when the document
    // gives one.
    static constexpr int kLocationRole = Qt::UserRole + 21;

    // Replaces the rows of `tree` with those of `outline`.
    static void fill(QTreeWidget *tree, const PdfOutline &outline);
    // Selects the row `outline` gives for `page` (without the tree's
    // activation signals); no row: no selection. The selected item, if any.
    static QTreeWidgetItem *select(QTreeWidget *tree, const PdfOutline &outline, int page);
    // The page of `item`, or -1; its place on the page, if any.
    static int pageOf(const QTreeWidgetItem *item);
    static std::optional<QPointF> locationOf(const QTreeWidgetItem *item);
};
