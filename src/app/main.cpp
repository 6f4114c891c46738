#include "Startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    Startup::prepare();
    QApplication app(argc, argv);
    return Startup::run(app);
}
