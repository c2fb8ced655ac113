// The memo pop-over of a highlight: its time, the memo text, and the Save
// and Delete buttons. It holds its record only while it is open.
//
// Main thread only. Owned by the widget given as parent.
#pragma once

#include "core/library/BookHighlightMemo.h"

#include <QFrame>
#include <optional>

class QLabel;
class QPlainTextEdit;
class QPushButton;

class MemoPopover : public QFrame
{
    Q_OBJECT
public:
    explicit MemoPopover(QWidget *parent);

    // Shows the pop-over for `record` (page identifier `sel`) at `globalPos`.
    void showFor(const BookHighlightMemo &record, const QString &sel, const QPoint &globalPos);
    const std::optional<BookHighlightMemo> &record() const { return m_record; }
    const QString &sel() const { return m_sel; }
    QPlainTextEdit *textView() const { return m_text; }
    QLabel *dateField() const { return m_date; }
    QPushButton *saveButton() const { return m_save; }
    QPushButton *deleteButton() const { return m_delete; }
    // Closes and forgets the record.
    void dismiss();

signals:
    // tapMemoSave: / tapMemoDel: with the record the pop-over holds.
    void saveRequested(const BookHighlightMemo &record, const QString &text);
    void deleteRequested(const BookHighlightMemo &record);

private:
    QLabel *m_date;
    QPlainTextEdit *m_text;
    QPushButton *m_save;
    QPushButton *m_delete;
    std::optional<BookHighlightMemo> m_record;
    QString m_sel;
};
