// The baseline of the start benchmark: the least a Qt Widgets program does to put a window on the
// screen. It shows one small window and runs the event loop until it is asked to end. With --text
// the window's layout holds one line of text: its size then comes from the text, so the program
// loads the desktop's fonts before the window is shown, as any window sized from its text does.

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

#include <cstring>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Minimal Qt window"));
    if (argc > 1 && std::strcmp(argv[1], "--text") == 0)
        (new QVBoxLayout(&window))
            ->addWidget(new QLabel(QStringLiteral("A minimal Qt window with one line of text")));
    window.resize(320, 200);
    window.show();
    return application.exec();
}
