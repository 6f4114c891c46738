#include "Startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // The conversation view shares OpenGL contexts; this must be set before the application exists.
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    return runParlowick(app);
}
