// One row of a PDF book's outline: its title, page and children. Plain
// value; any thread.
#pragma once

#include <QList>
#include <QPointF>
#include <QString>
#include <optional>

struct PdfOutlineRow {
    QString title;
    int page = -1; // from 0; -1: the entry names no page of the book
    std::optional<QPointF> location; // the place on the page, in points, when the document gives one
    QList<PdfOutlineRow> children;
    bool operator==(const PdfOutlineRow &) const = default;
};
