// The sign-up sheet: the profile server's sign-up page in a web view. The
// form the page posts is read by a small page script (Qt WebEngine does not
// show request bodies) and handed to RegisterWindowLogic; the page
// "/home/index" ends the sign-up.
#pragma once

#include <QDialog>

class QWebEngineView;
class RegisterWindowLogic;

class RegisterWindow : public QDialog
{
    Q_OBJECT
public:
    RegisterWindow(RegisterWindowLogic &logic, QWidget *parent);
    // Opens the sign-up page.
    void load();
    QWebEngineView *web() const { return m_web; }

private:
    RegisterWindowLogic &m_logic;
    QWebEngineView *m_web;
};
