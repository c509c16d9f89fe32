#pragma once

// main() for window tests: the window composes and speaks as the program does.

#include <QApplication>
#include <QtTest>

#include "ui/composition.h"
#include "ui/language.h"
#include "ui/skin.h"

#define MELORIN_GUI_TEST_MAIN(TestClass)                            \
    int main(int argc, char** argv) {                               \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); \
        melorin::composition::chooseBeforeStart();                  \
        QApplication app(argc, argv);                               \
        melorin::composition::settleAfterStart();                   \
        melorin::ui::applySkins(app);                               \
        melorin::ui::useChineseEverywhere(app);                     \
        TestClass test;                                             \
        return QTest::qExec(&test, argc, argv);                     \
    }
