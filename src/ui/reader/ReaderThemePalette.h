// Lays the reading theme's palette over the reader window: the screen with
// its outline, lists and page view, its toolbar, and every window that
// belongs to them (pop-overs, the annotation list, context menus), those
// opened later too. Day gives them back the desktop's palette.
//
// Main thread only. The roots are watched through QPointer: one that is
// gone is skipped.
#pragma once

#include <QList>
#include <QObject>
#include <QPalette>
#include <QPointer>
#include <QWidget>
#include <optional>

class ReaderThemePalette : public QObject
{
    Q_OBJECT
public:
    // `roots`: the widgets whose descendants belong to the reader.
    ReaderThemePalette(const QList<QWidget *> &roots, QObject *parent);
    ~ReaderThemePalette() override;

    // Sets `palette` on the roots and their windows; absent: the desktop's.
    void apply(const std::optional<QPalette> &palette);

protected:
    // A window of the reader about to be shown takes the palette.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool belongs(const QWidget *window) const;
    void paint(QWidget *widget) const;

    QList<QPointer<QWidget>> m_roots;
    std::optional<QPalette> m_palette;
};
