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

void installFailureHook(FailureHook hook) {
    hookSlot() = std::move(hook);
}

void reportFailure(const Failure& failure) {
    if (hookSlot()) {
        hookSlot()(failure);
    } else {
        std::fprintf(stderr, "melorin: %s\n", failure.text.c_str());
    }
}

void reportFailure(const QString& message) {
    reportFailure(unhandledFailure(message.toStdString()));
}

bool MelorinApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        Failure failure = failureOf(std::current_exception());
        // what() is in the locale's encoding; the log holds UTF-8.
        failure.text = QString::fromLocal8Bit(failure.text).toStdString();
        failure.cause = QString::fromLocal8Bit(failure.cause).toStdString();
        reportFailure(failure);
    }
    return false;
}

}  // namespace melorin
