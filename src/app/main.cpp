#include <QApplication>
#include <QLabel>

// Stand-in entry point until the main window exists.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Дравик Одитор Продажби"));
    QLabel label(QStringLiteral("Дравик Одитор Продажби"));
    label.setMinimumSize(400, 200);
    label.setAlignment(Qt::AlignCenter);
    label.show();
    return app.exec();
}
