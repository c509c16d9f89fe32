#pragma once
// One program per program folder: two would share the queue file and write into each other's
// downloads. The first start listens on a local socket named from the folder's path (in the
// abstract namespace, so a crash leaves nothing behind); a later start on the same folder asks
// it to bring its window to the front and ends.
#include <QLocalServer>
#include <QObject>
#include <QString>

namespace melorin {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& programDir, QObject* parent = nullptr);

    enum class Claim {
        First,        // this start runs the folder's program; anotherStart() tells of later ones
        AlreadyRuns,  // the running one has been asked to come to the front
        Unsure        // neither could be settled; this start runs on its own
    };
    Claim claim();

signals:
    void anotherStart();

private:
    bool askRunning();
    QString name_;
    QLocalServer server_;
};

// The socket's name: the user and the folder's cleaned path, hashed.
QString instanceName(const QString& programDir);

}  // namespace melorin
