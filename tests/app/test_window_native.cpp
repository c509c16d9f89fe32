// The main window on a real X server (Xvfb): it keeps its native window through the first
// search, the first play and the first card preview, where the browser engine starts and its
// views join it. A window that had to be made anew would blink, and some window managers would
// move it. The pages are composed in software: no GL driver comes into the process.

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
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

// The GL libraries mapped into this process: Mesa's drivers and what they bring along.
QStringList glLibraries() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly)) return {QStringLiteral("(maps unreadable)")};
    QStringList found;
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const QString path = QString::fromUtf8(line.mid(line.indexOf('/')));
        const bool gl = path.contains(u"_dri.so") || path.contains(u"libGLX_mesa") ||
                        path.contains(u"libEGL_mesa") || path.contains(u"libLLVM");
        if (line.contains('/') && gl && !found.contains(path)) found << path;
    }
    return found;
}

// Whether the screen shows anything but one flat colour where `view` is: what the user sees,
// read back from the X server.
bool showsAPage(const QWidget& view) {
    const QPoint at = view.mapToGlobal(QPoint(0, 0));
    const QImage seen = QGuiApplication::primaryScreen()
                            ->grabWindow(0, at.x(), at.y(), view.width(), view.height())
                            .toImage();
    if (seen.isNull()) return false;
    for (int y = 0; y < seen.height(); ++y)
        for (int x = 0; x < seen.width(); ++x)
            if (seen.pixel(x, y) != seen.pixel(0, 0)) return true;
    return false;
}
}  // namespace

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
    // The preview reaches the screen: the card's picture and title, not an empty white box.
    const QWebEngineView* preview = nullptr;
    for (const QWebEngineView* view : form.findChildren<QWebEngineView*>())
        if (view->isVisible() && view->url().fileName() == QStringLiteral("card.html"))
            preview = view;
    QVERIFY(preview != nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(showsAPage(*preview), kLoadMs);

    QCOMPARE(glLibraries(), QStringList());
    // A program started from here (the desktop's player for a download) gets its GL as usual.
    QVERIFY(!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"));
}

MELORIN_GUI_TEST_MAIN(TestWindowNative)
#include "test_window_native.moc"
