// The input area's tests in one executable: the key maps, the sources on the real windows, and
// the end-to-end run over UDP.
#include <QApplication>
#include <QTest>

#include <memory>

QObject *makeKeymapTest();
QObject *makeInputWindowsTest();
QObject *makeInputUdpTest();

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    int status = 0;
    for (auto make : {makeKeymapTest, makeInputWindowsTest, makeInputUdpTest}) {
        std::unique_ptr<QObject> test(make());
        status |= QTest::qExec(test.get(), argc, argv);
    }
    return status;
}
