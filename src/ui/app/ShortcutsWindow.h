// The shortcuts window (F1 or Ctrl+/): every key of ShortcutCatalog, by
// screen, in a table that the keyboard can scroll; Esc closes it.
//
// Main thread; a child of the window that opened it.
#pragma once

#include <QDialog>

class QTableWidget;

class ShortcutsWindow : public QDialog
{
    Q_OBJECT
public:
    explicit ShortcutsWindow(QWidget *parent = nullptr);
    QTableWidget *table() const { return m_table; }

private:
    QTableWidget *m_table;
};
