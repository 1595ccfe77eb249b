// Sonabel: the real-time test bench with its main window.

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Sonabel"));
    window.show();
    return app.exec();
}
