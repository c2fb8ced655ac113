// The reader's 表示 pop-over: the reading theme, the text size and, for an
// EPUB, the typography of its pages (font family, line spacing, margins,
// longest line). A change takes effect at once; the pop-over only shows and
// forwards: the screen keeps and applies the values.
//
// Main thread only. The theme and size actions belong to the screen and
// must outlive the pop-over.
#pragma once

#include "core/reader/Typography.h"

#include <QFrame>
#include <QList>
#include <QStringList>

class QAction;
class QComboBox;
class QLabel;
class QPushButton;

class ReaderDisplayPopover : public QFrame
{
    Q_OBJECT
public:
    // `themes`: the checkable theme choices; `sizes`: smaller, default and
    // larger text; `installed`: the font families the font database knows
    // (the Mincho and Gothic entries name the face they use).
    ReaderDisplayPopover(const QList<QAction *> &themes, const QList<QAction *> &sizes,
        const QStringList &installed, QWidget *parent);

    // Shows `typography` without announcing it.
    void setTypography(const Typography &typography);
    // What the controls show now.
    Typography typography() const;
    // The typography rows are offered for a book with text pages (EPUB)
    // only.
    void setTypographyEnabled(bool enabled);

    // Shows the pop-over below `anchor` (kept on the anchor's screen).
    void popup(QWidget *anchor);

    QComboBox *familyBox() const { return m_family; }
    QComboBox *lineSpacingBox() const { return m_lineSpacing; }
    QComboBox *marginBox() const { return m_margin; }
    QComboBox *lineWidthBox() const { return m_lineWidth; }
    QPushButton *resetButton() const { return m_reset; }

signals:
    // The user changed a typography control.
    void typographyChanged(const Typography &typography);

private:
    // Selects `value` in `box`, adding an entry for a value between the
    // offered ones.
    static void select(QComboBox *box, int value, const QString &text);
    void changed();

    QComboBox *m_family;
    QComboBox *m_lineSpacing;
    QComboBox *m_margin;
    QComboBox *m_lineWidth;
    QPushButton *m_reset;
    QList<QWidget *> m_typographyRows;
    bool m_showing = false; // setTypography() is filling the controls
};
