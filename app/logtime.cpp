#include "app/logtime.h"

namespace melorin {

QString completionDateTime(const QDateTime& when, const QLocale& locale) {
    // The locale's long time format names the zone ("UTC 05:04:51"): a fixed format instead.
    return locale.toString(when.date(), QLocale::ShortFormat) + u' ' +
           when.time().toString(QStringLiteral("HH:mm:ss"));
}

}  // namespace melorin
