// The automation area's tests in one executable: the pendant interface in process on a private
// bus, and the recording format, recorder and replay.
#include <QApplication>
#include <QTest>

#include <memory>

QObject *makePendantBusTest();
QObject *makeRecordingTest();
QObject *makePendantInputTest();

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    int status = 0;
    for (auto make : {makePendantBusTest, makePendantInputTest, makeRecordingTest}) {
        std::unique_ptr<QObject> test(make());
        status |= QTest::qExec(test.get(), argc, argv);
    }
    return status;
}
