// The main window on a real X server (Xvfb): it keeps its native window through the first
// search, the first play and the first card preview, where the browser engine starts and its
// views that draw through OpenGL join it. A window that had to be made anew would blink, and some
// window managers would move it.

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QWebEngineView>

#include "app/mainwindow.h"
#include "app/webbrowser.h"
#include "player/nativeplayer.h"
#include "player/playbackcoordinator.h"
#include "tests/app/guitestmain.h"
#include "tests/app/windowfixture.h"
#include "tests/app/windowinside.h"
#include "ui/reportview.h"

using melorin::TForm1;
using melorin::testing::WindowFixture;

namespace {
constexpr int kLoadMs = 30000;
}

class TestWindowNative : public QObject {
    Q_OBJECT
private slots:
    void nativeWindowOutlivesTheFirstPages();
};

void TestWindowNative::nativeWindowOutlivesTheFirstPages() {
    if (QGuiApplication::platformName() != QStringLiteral("xcb"))
        QSKIP("needs an X server (the test runs under xvfb-run)");
    WindowFixture fx;
    QVERIFY2(fx.startService(), qPrintable(fx.serviceError()));
    TForm1& form = fx.createWindow();
    const auto w = inside(form);
    QVERIFY(fx.showWindow());
    const WId shown = form.winId();

    // The first search reads its pages without an engine.
    fx.search(QStringLiteral("月下听风"), 0);
    QTRY_VERIFY_WITH_TIMEOUT(w.results.ListView1->rowCount() >= 2, kLoadMs);
    QTRY_VERIFY_WITH_TIMEOUT(!w.results.WebBrowser1->isLoading(), kLoadMs);
    QCOMPARE(form.winId(), shown);

    // The first play shows the player browser.
    w.results.ListView1->selectRow(0);
    QTest::mouseClick(w.play.SeSkinButton4, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(w.playback().current() != nullptr, kLoadMs);
    QCOMPARE(form.winId(), shown);

    // The first card preview.
    QTest::mouseClick(w.play.dragcardbtn, Qt::LeftButton);
    QSignalSpy previewed(w.card.WebBrowser4, &melorin::WebBrowser::DocumentComplete);
    QTest::mouseClick(w.card.previewbtn, Qt::LeftButton);
    QVERIFY(previewed.wait(kLoadMs));
    QCOMPARE(form.winId(), shown);
}

MELORIN_GUI_TEST_MAIN(TestWindowNative)
#include "test_window_native.moc"
