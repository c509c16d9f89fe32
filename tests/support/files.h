#pragma once
// What a test reads back from disk.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <string>

namespace melorin::testing {

// A file's bytes; empty when it is missing or cannot be read.
inline QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline QByteArray fileBytes(const std::string& path) {
    return fileBytes(QString::fromStdString(path));
}

}  // namespace melorin::testing
