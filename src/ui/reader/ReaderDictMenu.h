// The reader's way into the dictionaries: the "辞書" item of the book view's
// context menu when the selected text has entries, and the same look-up
// from the keyboard or a double-clicked word, each opening the reader's
// ReaderDictVC pop-over at a point.
//
// Main thread only. Owned by (and a child of) the reader screen; the
// pop-over it makes is a child of the same screen.
#pragma once

#include <QKeySequence>
#include <QObject>
#include <QPoint>
#include <QPointer>

class DictionaryManager;
class QAction;
class QMenu;
class QWidget;
class ReaderDictVC;

class ReaderDictMenu : public QObject
{
    Q_OBJECT
public:
    ReaderDictMenu(DictionaryManager &manager, QWidget *reader);

    // Looks `selection` up; with entries, adds "辞書" to `menu` (its data:
    // {"dic": the rows, "count": how many}), which opens the pop-over at
    // `globalPos`. Returns the item, or null (nothing added) without a
    // selection, without an enabled dictionary or without an entry.
    QAction *addTo(QMenu *menu, const QString &selection, const QPoint &globalPos);

    // Looks `selection` up and opens the pop-over at `globalPos`; false
    // (nothing shown) when nothing was found.
    bool showFor(const QString &selection, const QPoint &globalPos);

    // The pop-over, made on first use; null before.
    ReaderDictVC *dictVC() const;

    // The shortcut that looks the selection up.
    static QKeySequence shortcut();

private:
    ReaderDictVC *ensureDictVC();

    DictionaryManager &m_manager;
    QWidget *m_reader;
    QPointer<ReaderDictVC> m_dictVC;
};
