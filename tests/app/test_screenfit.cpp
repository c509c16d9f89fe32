#include <QtTest>

#include "app/core/screenfit.h"

using melorin::FitInput;
using melorin::fitToScreen;

class TestScreenFit : public QObject {
    Q_OBJECT
private slots:
    void fit_data();
    void fit();
};

void TestScreenFit::fit_data() {
    QTest::addColumn<int>("screenW");
    QTest::addColumn<int>("screenH");
    QTest::addColumn<bool>("scaled");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    // Design window 712x632 outer; Panel2 121, ListView1 577x320, play panel 201, play list 137.
    QTest::newRow("1024x768 keeps design") << 1024 << 768 << false << 712 << 632;
    QTest::newRow("1024x600 keeps design") << 1024 << 600 << false << 712 << 632;
    // 1280/1024 = 1.25: 151 + 721 + 10; 400 + 251 + 171.
    QTest::newRow("1280x1024") << 1280 << 1024 << true << 882 << 822;
    // 800/1024: 94 + 450 + 10; 250 + 157 + 107 (each truncated on its own).
    QTest::newRow("800x600") << 800 << 600 << true << 554 << 514;
}

void TestScreenFit::fit() {
    QFETCH(int, screenW);
    QFETCH(int, screenH);
    QFETCH(bool, scaled);
    QFETCH(int, width);
    QFETCH(int, height);
    FitInput in;
    in.screenWidth = screenW;
    in.screenHeight = screenH;
    in.windowWidth = 712;
    in.windowHeight = 632;
    in.panel2Width = 121;
    in.listView1Width = 577;
    in.listView1Height = 320;
    in.playPanelHeight = 201;
    in.playListHeight = 137;
    const auto r = fitToScreen(in);
    QCOMPARE(r.scaled, scaled);
    QCOMPARE(r.windowWidth, width);
    QCOMPARE(r.windowHeight, height);
    if (scaled) {
        QCOMPARE(r.heightAfterStep1, screenH * 632 / 768);
        QCOMPARE(r.controls.apply(1024), screenW);
    }
}

QTEST_GUILESS_MAIN(TestScreenFit)
#include "test_screenfit.moc"
