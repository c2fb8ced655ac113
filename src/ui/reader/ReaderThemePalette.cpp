#include "ReaderThemePalette.h"

#include <QApplication>
#include <QEvent>

ReaderThemePalette::ReaderThemePalette(const QList<QWidget *> &roots, QObject *parent)
    : QObject(parent)
{
    for (QWidget *root : roots)
        m_roots.append(root);
    // Pop-overs are made when first asked for and a window does not take
    // its parent's palette; each is caught as it is shown.
    qApp->installEventFilter(this);
}

ReaderThemePalette::~ReaderThemePalette()
{
    qApp->removeEventFilter(this);
}

void ReaderThemePalette::apply(const std::optional<QPalette> &palette)
{
    m_palette = palette;
    for (const QPointer<QWidget> &root : m_roots) {
        if (!root)
            continue;
        paint(root);
        for (QWidget *child : root->findChildren<QWidget *>())
            if (child->isWindow())
                paint(child);
    }
}

void ReaderThemePalette::paint(QWidget *widget) const
{
    // An empty palette gives the widget back what it inherits: the
    // desktop's.
    const QPalette wanted = m_palette.value_or(QPalette());
    if (m_palette ? widget->palette() != wanted || !widget->testAttribute(Qt::WA_SetPalette)
                  : widget->testAttribute(Qt::WA_SetPalette))
        widget->setPalette(wanted);
    if (!widget->isWindow())
        return;
    // A widget under a style sheet keeps the palette it had when the sheet
    // was applied (so do its children, a list's viewport among them)
    // instead of taking its window's: in a pop-over every widget is told.
    // Parents come before their children.
    for (QWidget *child : widget->findChildren<QWidget *>())
        if (!child->isWindow())
            child->setPalette(wanted);
}

bool ReaderThemePalette::belongs(const QWidget *window) const
{
    for (const QWidget *w = window; w; w = w->parentWidget())
        for (const QPointer<QWidget> &root : m_roots)
            if (root && w == root)
                return true;
    return false;
}

bool ReaderThemePalette::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto *widget = static_cast<QWidget *>(watched);
        if (widget->isWindow() && belongs(widget))
            paint(widget);
    }
    return QObject::eventFilter(watched, event);
}
