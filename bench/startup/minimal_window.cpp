// The baselines of the start-up benchmark: the least a Qt Widgets program does to show a window
// of a pendant's size, either bare or with one label of text (which sets up fonts, as any window
// with text must). It stays up until it is ended.
//   bench_minimal_window WIDTH HEIGHT [label]
#include <QApplication>
#include <QLabel>
#include <QWidget>

#include <cstring>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget w;
    w.setWindowTitle(QStringLiteral("minimal"));
    w.setFixedSize(argc > 2 ? std::atoi(argv[1]) : 213, argc > 2 ? std::atoi(argv[2]) : 489);
    if (argc > 3 && std::strcmp(argv[3], "label") == 0) {
        auto *label = new QLabel(QStringLiteral("STOP"), &w);
        label->move(10, 10);
    }
    w.show();
    return app.exec();
}
