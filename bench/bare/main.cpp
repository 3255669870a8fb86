// The yardstick for the start-up benchmark: a bare Qt Widgets program with
// one fixed-size window, created and shown the way KorvexSQL's is. With
// "--met-tekst" the window also holds one line of text, so that the cost of
// starting the font system, which any window with text pays, is included.
#include <QApplication>
#include <QLabel>
#include <QWidget>
#include <cstring>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window(nullptr, Qt::Window | Qt::MSWindowsFixedSizeDialogHint);
    window.setWindowTitle(QStringLiteral("Kale vergelijking"));
    window.setFixedSize(831, 428);
    if (argc > 1 && std::strcmp(argv[1], "--met-tekst") == 0)
        (new QLabel(QStringLiteral("Kale vergelijking met tekst"), &window))->move(10, 10);
    window.show();
    return app.exec();
}
