// Mouse gestures as a person makes them, for tests of list rows.
#pragma once

#include <QTest>
#include <QWidget>

// The sequence a window system delivers for a double click (press, release,
// press, double click, release); QTest::mouseDClick alone sends only the
// double-click event, which no item view takes without the press before it.
inline void doubleClickAt(QWidget *widget, const QPoint &pos)
{
    QTest::mousePress(widget, Qt::LeftButton, {}, pos);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, pos);
    QTest::mousePress(widget, Qt::LeftButton, {}, pos);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, pos);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, pos);
}
