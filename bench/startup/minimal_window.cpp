// The baseline of the start-up benchmark: the least a Qt Widgets program does to show a window
// of a pendant's size. It stays up until it is ended.
#include <QApplication>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget w;
    w.setWindowTitle(QStringLiteral("minimal"));
    w.setFixedSize(argc > 2 ? std::atoi(argv[1]) : 213, argc > 2 ? std::atoi(argv[2]) : 489);
    w.show();
    return app.exec();
}
