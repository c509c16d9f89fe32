#include "app/failurehook.h"

#include <cstdio>
#include <exception>

namespace melorin {
namespace {
FailureHook& hookSlot() {
    static FailureHook hook;
    return hook;
}
}  // namespace

void installFailureHook(FailureHook hook) { hookSlot() = std::move(hook); }

void reportFailure(const QString& message) {
    if (hookSlot()) {
        hookSlot()(message);
    } else {
        std::fprintf(stderr, "melorin: %s\n", message.toLocal8Bit().constData());
    }
}

bool MelorinApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        reportFailure(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        reportFailure(QStringLiteral("unknown failure"));
    }
    return false;
}

}  // namespace melorin
