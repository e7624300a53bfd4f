#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle("Korvel ECU Interface");
    window.show();
    app.exec();
    return 1;
}
