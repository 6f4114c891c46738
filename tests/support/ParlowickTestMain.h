#pragma once

#include "BubbleSchemeHandler.h"

#include <QApplication>
#include <QTest>

// QTEST_MAIN for tests that build windows with conversation views: the program's
// start-up preparations must run before the application object exists.
#define PARLOWICK_TEST_MAIN(TestClass)                                                                                 \
    int main(int argc, char *argv[])                                                                                   \
    {                                                                                                                  \
        BubbleSchemeHandler::prepareApplication();                                                                     \
        QApplication app(argc, argv);                                                                                  \
        TestClass test;                                                                                                \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }
