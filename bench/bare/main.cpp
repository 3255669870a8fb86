// The yardstick for the start-up benchmark: a bare Qt Widgets program with
// one fixed-size window, created and shown the way KorvexSQL's is.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window(nullptr, Qt::Window | Qt::MSWindowsFixedSizeDialogHint);
    window.setWindowTitle(QStringLiteral("Kale vergelijking"));
    window.setFixedSize(831, 428);
    window.show();
    return app.exec();
}
