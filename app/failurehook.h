#pragma once

#include <QApplication>
#include <QString>
#include <functional>

#include "app/failureactions.h"

namespace melorin {

// The application-wide failure hook: every failure that reaches the event loop ends up here
// (what it does with one is app/failureactions.h).
using FailureHook = std::function<void(const Failure& failure)>;
void installFailureHook(FailureHook hook);
// Hands a failure to the installed hook, or to standard error when none is installed.
void reportFailure(const Failure& failure);
// An unhandled failure, all of whose text may act.
void reportFailure(const QString& message);

// Catches what an event handler throws and passes it to the failure hook instead of ending
// the process.
class MelorinApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace melorin
