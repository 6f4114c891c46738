#include "Startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    prepareParlowick();
    QApplication app(argc, argv);
    return runParlowick(app);
}
