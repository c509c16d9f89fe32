#pragma once

// Questions to a page the browser engine shows, for tests that check what it made of a page.

#include <QString>
#include <QVariant>
#include <QWebEnginePage>
#include <QtTest>

namespace melorin::testing {

// The script's result; invalid when the engine has not answered within ten seconds.
inline QVariant runScript(QWebEnginePage& page, const QString& script) {
    QVariant result;
    bool done = false;
    page.runJavaScript(script, [&](const QVariant& v) {
        result = v;
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, 10000)) return {};
    return result;
}

// The natural width of the picture the page's body names as its background; 0 when it does
// not load, -1 when the engine never said.
inline int backgroundWidth(QWebEnginePage& page) {
    runScript(page, QStringLiteral(R"(
        window.bgWidth = -1;
        const img = new Image();
        img.onload = () => { window.bgWidth = img.naturalWidth; };
        img.onerror = () => { window.bgWidth = 0; };
        img.src = getComputedStyle(document.body).backgroundImage.slice(5, -2);)"));
    int width = -1;
    (void)QTest::qWaitFor(
        [&] {
            width = runScript(page, QStringLiteral("window.bgWidth")).toInt();
            return width >= 0;
        },
        10000);
    return width;
}

}  // namespace melorin::testing
