#include "MainWindow.h"

#include <QLabel>
#include <QVBoxLayout>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Tavro"));
    auto *label = new QLabel(QStringLiteral("Tavro"), this);
    label->setAlignment(Qt::AlignCenter);
    setCentralWidget(label);
    resize(1024, 720);
}
