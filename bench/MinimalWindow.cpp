// The baseline of the start benchmark: the least a Qt Widgets program does to put a window on the
// screen. It shows one small window and runs the event loop until it is asked to end.

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Minimal Qt window"));
    window.resize(320, 200);
    window.show();
    return application.exec();
}
