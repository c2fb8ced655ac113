// The start-up probe's baseline: a bare Qt widgets main window, shown at once.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setCentralWidget(new QLabel(QStringLiteral("Tavro")));
    window.resize(1024, 768);
    window.show();
    return app.exec();
}
