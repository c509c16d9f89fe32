#include "ui/composition.h"

#include <QOpenGLContext>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QtGlobal>

namespace melorin::composition {
namespace {

constexpr char kXcbGl[] = "QT_XCB_GL_INTEGRATION";
bool chosenHere = false;

bool userChose() {
    return qEnvironmentVariableIsSet(kXcbGl) || qEnvironmentVariableIsSet("QT_QUICK_BACKEND") ||
           qEnvironmentVariableIsSet("QSG_RHI_BACKEND");
}

}  // namespace

void chooseBeforeStart() {
    if (userChose()) return;
    chosenHere = true;
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    // Read by the X11 platform the first time anything asks about OpenGL.
    qputenv(kXcbGl, "none");
}

void settleAfterStart() {
    if (!chosenHere) return;
    // Asking makes the platform read its GL choice now, while the variable is still set.
    QOpenGLContext::supportsThreadedOpenGL();
    qunsetenv(kXcbGl);
}

}  // namespace melorin::composition
