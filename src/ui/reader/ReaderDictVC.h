// The dictionary pop-over of the reader: the headwords found for a selection
// (bold, 14 points) beside the entry text of the chosen one, laid out with
// its dictionary's column titles, and the form of the selection that was
// found. One hit collapses the list so only the entry shows. Row 0 is chosen
// on every reload. Closes on a click elsewhere or Escape. Its button
// "辞書ウィンドウで開く" asks for the chosen headword in the dictionary window.
//
// Main thread only. The reader owns it and reuses it for every look-up.
#pragma once

#include "core/dictionary/DictionaryLookup.h"

#include <QRect>
#include <QVariantMap>
#include <QWidget>

class DictionaryManager;
class QLabel;
class QListWidget;
class QPushButton;
class QSplitter;
class QTextBrowser;

class ReaderDictVC : public QWidget
{
    Q_OBJECT
public:
    // Entries are built with `dictionaries`' column settings; it must
    // outlive the pop-over.
    explicit ReaderDictVC(const DictionaryManager &dictionaries, QWidget *parent = nullptr);

    // {"dic": the rows, "count": how many} and the rows as a list.
    QVariantMap dic;
    QVariantList words;

    // Takes what a look-up found (call reloadDict() to show it).
    void setLookup(const DictionaryLookup &found);
    // Fills the list, collapses it for a single row, chooses row 0.
    void reloadDict();
    // Shows the pop-over beside `globalPos`, to its left where there is
    // room, else to its right, fully inside the reader (its parent: the
    // area below the window's toolbar) and the screen; shrunk when the
    // reader is smaller than it.
    void popUp(const QPoint &globalPos);
    // Where a pop-over of `size` goes for `point` inside `room` (all global).
    static QRect placement(const QPoint &point, const QSize &size, const QRect &room);

    QListWidget *tableView() const { return m_table; }
    QSplitter *split() const { return m_split; }
    QTextBrowser *text() const { return m_text; }
    QLabel *formLabel() const { return m_form; }
    QPushButton *windowButton() const { return m_openInWindow; }
    // The form of the selection that was found, and by which rule.
    const LookupForm &foundForm() const { return m_found; }
    // The chosen headword; "" with none.
    QString currentWord() const;

    // The list's width beside the entry when there is more than one row: at
    // least this, wider for headwords that would not fit, up to
    // kMaxListWidth (longer ones end in "…").
    static constexpr int kListWidth = 150;
    static constexpr int kMaxListWidth = 320;

signals:
    // The button was pressed (the pop-over has closed).
    void openInWindow(const QString &word);

private:
    static constexpr QSize kPreferredSize { 480, 320 };
    static constexpr int kEntryWidth = 320; // the entry's room beside a wide list

    void tableViewSelectionDidChange();
    // The width the headwords need in their bold 14-point font.
    int listWidth() const;
    // The list at m_listWidth (0: collapsed; less in a pop-over shrunk to a
    // small reader), the entry taking the rest.
    void applySplit();

    const DictionaryManager &m_dictionaries;
    QLabel *m_form;
    QSplitter *m_split;
    QListWidget *m_table;
    QTextBrowser *m_text;
    QPushButton *m_openInWindow;
    LookupForm m_found;
    int m_listWidth = kListWidth;
};
