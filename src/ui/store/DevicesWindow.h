// The device-list sheet: three slots with a release button each, and
// cancel. A thin view over DevicesWindowLogic.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>

class DevicesWindowLogic;

class DevicesWindow : public QDialog
{
    Q_OBJECT
public:
    DevicesWindow(DevicesWindowLogic &logic, QWidget *parent);
    // Fills the three labels from the logic's devices.
    void redisp();

private:
    DevicesWindowLogic &m_logic;
    QLabel *m_labels[3];
    QPushButton *m_buttons[3];
};
