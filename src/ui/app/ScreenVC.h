// One screen of the main window (top, shelf, store, reader). appear() is
// sent when a kept screen is hosted again.
#pragma once

#include "Navigation.h"

#include <QToolBar>
#include <QWidget>

class ScreenVC : public QWidget
{
    Q_OBJECT
public:
    explicit ScreenVC(Navigation &app, QWidget *parent = nullptr)
        : QWidget(parent)
        , m_app(app)
    {
    }
    virtual void appear() { }
    // Sent when another screen takes this one's place in the window.
    virtual void disappear() { }
    // The screen's toolbar, installed in the main window while it is shown.
    virtual QToolBar *toolbar() { return nullptr; }

protected:
    Navigation &m_app;
};
