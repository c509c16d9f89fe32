#pragma once

// The first line of a completion entry in the download log: the date in the system's short
// format and the time as hours:minutes:seconds, without a time zone.

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace melorin {

QString completionDateTime(const QDateTime& when, const QLocale& locale);

}  // namespace melorin
