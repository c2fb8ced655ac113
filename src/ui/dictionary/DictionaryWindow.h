// The dictionary window: a search field that looks the typed text up as you
// type (headwords starting with it across the enabled dictionaries, or, in
// the second mode, entries whose text mentions it), the list of headwords
// with the first one's entry shown as its dictionary's column settings lay
// it out, back and forward through the words looked up, and a button that
// clears that history (kept between runs). It opens in the mode and with
// the search text it had last, also in a later run. Escape closes it.
//
// One window per main window, reached from the shelf's 辞書 menu, the
// reader's dictionary pop-over and Ctrl+Shift+K (open()). The logic lives
// in DictionaryBrowser.
//
// Main thread only. The window is a child of the top-level window it was
// opened over and stays (hidden) when closed, keeping its place.
#pragma once

#include "core/dictionary/DictionaryBrowser.h"

#include <QDialog>
#include <QKeySequence>

class DictionaryManager;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QTextBrowser;
class QToolButton;

class DictionaryWindow : public QDialog
{
    Q_OBJECT
public:
    using Mode = DictionaryBrowser::Mode;

    DictionaryWindow(DictionaryManager &manager, QWidget *parent = nullptr);

    // The window of the top-level window of `over` (made on first use),
    // shown and raised; with a `word`, that word looked up as a headword and
    // noted in the history, else the search text it had, selected so that
    // typing replaces it. Never null.
    static DictionaryWindow *open(QWidget *over, DictionaryManager &manager, const QString &word = {});
    // The key that opens it from any screen.
    static QKeySequence shortcut();

    // Puts `word` in the field, looks it up and notes it in the history.
    void showWord(const QString &word);
    void setMode(Mode mode);
    Mode mode() const;

    QLineEdit *searchField() const { return m_field; }
    QListWidget *results() const { return m_list; }
    QTextBrowser *entry() const { return m_entry; }
    QLabel *status() const { return m_status; }
    QToolButton *backButton() const { return m_back; }
    QToolButton *forwardButton() const { return m_forward; }
    QToolButton *clearHistoryButton() const { return m_clear; }
    DictionaryBrowser &browser() { return m_browser; }
    // Whether the headword index is being brought up to date on a worker
    // (until then the prefixes of those dictionaries come from the
    // full-text table).
    bool isIndexing() const { return m_indexing; }

private:
    // Looks the field's text up in the current mode and lists the rows.
    void search();
    void showEntry();
    // Notes the field's word (or the chosen headword) in the history.
    void noteVisit(const QString &word);
    void go(const std::optional<QString> &word);
    void updateButtons();
    void indexInBackground();

    DictionaryBrowser m_browser;
    QLineEdit *m_field;
    QComboBox *m_mode;
    QToolButton *m_back;
    QToolButton *m_forward;
    QToolButton *m_clear;
    QListWidget *m_list;
    QTextBrowser *m_entry;
    QLabel *m_status;
    QList<QVariantMap> m_rows;
    QString m_databasePath;
    const DictionaryManager &m_manager;
    bool m_indexing = false;
    bool m_indexFailed = false;
};
