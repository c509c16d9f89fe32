#pragma once

// main() for window tests: QtWebEngine needs shared GL contexts before the application exists;
// the window speaks Chinese as the program does.

#include <QApplication>
#include <QtTest>

#include "ui/language.h"
#include "ui/skin.h"

#define MELORIN_GUI_TEST_MAIN(TestClass)                            \
    int main(int argc, char** argv) {                               \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); \
        QApplication app(argc, argv);                               \
        melorin::ui::applySkins(app);                               \
        melorin::ui::useChineseEverywhere(app);                     \
        TestClass test;                                             \
        return QTest::qExec(&test, argc, argv);                     \
    }
