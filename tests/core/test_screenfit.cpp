#include <QtTest>

#include "core/screenfit.h"

using melorin::core::FitInput;
using melorin::core::fitToScreen;

class TestScreenFit : public QObject {
    Q_OBJECT
private slots:
    void fit_data();
    void fit();
};

void TestScreenFit::fit_data() {
    QTest::addColumn<int>("availW");
    QTest::addColumn<int>("availH");
    QTest::addColumn<bool>("scaled");
    QTest::addColumn<int>("num");  // the controls' scale, num / den
    QTest::addColumn<int>("den");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    // Design window 712x632 outer; Panel2 121, ListView1 577; client 604 high under a caption
    // bar of 24, a border of 3 around.
    QTest::newRow("1024x768 keeps design") << 1024 << 768 << false << 1 << 1 << 712 << 632;
    QTest::newRow("1024x768 with a panel keeps design")
        << 1024 << 740 << false << 1 << 1 << 712 << 632;
    QTest::newRow("1366x768 with a panel keeps design")
        << 1366 << 740 << false << 1 << 1 << 712 << 632;
    QTest::newRow("1366x768 keeps design") << 1366 << 768 << false << 1 << 1 << 712 << 632;
    // 1280/1024 = 1.25 (the height ratio 4/3 is larger): 151 + 721 + 10; 755 + 30 + 6.
    QTest::newRow("1280x1024") << 1280 << 1024 << true << 1280 << 1024 << 882 << 791;
    // 16:9: the height decides. 1080/768: 170 + 811 + 10; 849 + 33 + 6.
    QTest::newRow("1920x1080") << 1920 << 1080 << true << 1080 << 768 << 991 << 888;
    QTest::newRow("1920x1080 with a panel") << 1920 << 1044 << true << 1044 << 768 << 958 << 859;
    // 1440/768 = 1.875: 226 + 1081 + 10; 1132 + 45 + 6.
    QTest::newRow("2560x1440") << 2560 << 1440 << true << 1440 << 768 << 1317 << 1183;
    // The design does not fit: smaller than design, each size truncated on its own.
    QTest::newRow("800x600") << 800 << 600 << true << 800 << 1024 << 554 << 495;
    QTest::newRow("1024x600") << 1024 << 600 << true << 600 << 768 << 554 << 495;
    QTest::newRow("no screen") << 0 << 0 << false << 1 << 1 << 712 << 632;
}

void TestScreenFit::fit() {
    QFETCH(int, availW);
    QFETCH(int, availH);
    QFETCH(bool, scaled);
    QFETCH(int, num);
    QFETCH(int, den);
    QFETCH(int, width);
    QFETCH(int, height);
    FitInput in;
    in.availableWidth = availW;
    in.availableHeight = availH;
    in.windowWidth = 712;
    in.windowHeight = 632;
    in.panel2Width = 121;
    in.listView1Width = 577;
    in.clientHeight = 604;
    in.captionHeight = 24;
    in.frameBorder = 3;
    const auto r = fitToScreen(in);
    QCOMPARE(r.scaled, scaled);
    QCOMPARE(r.controls.num, num);
    QCOMPARE(r.controls.den, den);
    QCOMPARE(r.windowWidth, width);
    QCOMPARE(r.windowHeight, height);
    // Whatever the screen, the whole window lies inside its available area.
    if (availW > 0) {
        QVERIFY(r.windowWidth <= availW);
        QVERIFY(r.windowHeight <= availH);
    }
}

QTEST_GUILESS_MAIN(TestScreenFit)
#include "test_screenfit.moc"
