#pragma once

// What the window tests share: a temporary program folder, the local search service and nginx
// on 127.0.0.1 when a test asks for them, the window on the recording ui port, and the steps
// that drive the window's event pump and its one-second timer by hand.

#include <QDeadlineTimer>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <memory>
#include <vector>

#include "app/mainwindow.h"
#include "core/songrow.h"
#include "tests/app/recordingui.h"
#include "tests/support/nginxserver.h"
#include "tests/support/servicerun.h"

class QComboBox;

namespace melorin::testing {

class WindowFixture {
public:
    // `programFolder`: the program folder's name below the temporary folder; empty: the
    // temporary folder itself.
    explicit WindowFixture(const QString& programFolder = {});
    ~WindowFixture();
    WindowFixture(const WindowFixture&) = delete;
    WindowFixture& operator=(const WindowFixture&) = delete;

    // The temporary folder everything lives in, and the program folder the window is given.
    [[nodiscard]] QString tempPath(const QString& name = {}) const;
    [[nodiscard]] const QString& programDir() const { return programDir_; }

    // The search service on a free port; false with the reason in serviceError().
    [[nodiscard]] bool startService(const QStringList& extraArgs = {});
    [[nodiscard]] QString serviceError() const { return service_.error(); }
    // "127.0.0.1:PORT"; empty before startService().
    [[nodiscard]] QString serviceHost() const;
    [[nodiscard]] const ServiceRun& service() const { return service_; }

    // nginx serving the folder "nginx/www" beside the program folder, "/slow/" at `slowRate`.
    [[nodiscard]] bool startNginx(const std::string& slowRate);
    // Writes `body` under the server's root; false when it could not be written.
    [[nodiscard]] bool serveFile(const QString& path, const QByteArray& body) const;
    [[nodiscard]] QString nginxUrl(const QString& path) const;

    // A new window on the program folder and the service (or `service`, which then also
    // answers for the music catalogues), not yet shown; the one before goes first. Stays until
    // closeWindow() or the fixture goes.
    TForm1& createWindow();
    TForm1& createWindow(const QString& service);
    // Shows the window and waits until it is on screen; false when it never was.
    [[nodiscard]] bool showWindow();
    [[nodiscard]] bool activateWindow();
    // The window, then its port.
    void closeWindow();
    [[nodiscard]] TForm1& form() const { return *form_; }
    [[nodiscard]] RecordingUi& ui() const { return *ui_; }

    // One turn of the event pump, and one tick of Timer1, each only while it runs.
    void stepPump() const;
    void stepTimer1() const;
    // Takes the pending events `turns` times, stepping the pump after each.
    void turn(int turns) const;
    // Lets the window work until done(), at most `timeoutMs`: threads and sockets are real,
    // so this waits as QTRY_VERIFY does, stepping the pump every turn and Timer1 every tenth.
    template <typename Done>
    [[nodiscard]] bool stepUntil(Done done, int timeoutMs) const {
        const QDeadlineTimer deadline(timeoutMs);
        for (int turn = 1;; ++turn) {
            stepPump();
            if (turn % kTurnsPerTick == 0) stepTimer1();
            if (done()) {
                stepPump();  // what came with the last change
                return true;
            }
            if (deadline.hasExpired()) return false;
            QTest::qWait(kTurnMs);
        }
    }

    // Types `text`, picks the kind and presses "搜索".
    void search(const QString& text, int kind) const;
    // Puts `rows` into the result list and selects those at `selected`, quietly: selecting a
    // list entry would start its search at once.
    void offer(const std::vector<core::SongRow>& rows, const QList<int>& selected) const;
    // Offers `rows`, all selected, and queues them with "添加到下载列表".
    void queue(const std::vector<core::SongRow>& rows) const;
    // The download log, a line an entry.
    [[nodiscard]] QStringList logLines() const;

private:
    static constexpr int kTurnMs = 20;
    static constexpr int kTurnsPerTick = 10;

    QTemporaryDir dir_;
    QString programDir_;
    ServiceRun service_;
    std::unique_ptr<NginxServer> nginx_;
    std::unique_ptr<RecordingUi> ui_;
    std::unique_ptr<TForm1> form_;
};

// Picks an entry of a drop-down list as the user does: the list opens, the entry is clicked.
void pickEntry(QComboBox* box, int index);
// Text typed the way an input method gives it (Chinese has no key of its own).
void typeText(QWidget* box, const QString& text);
// Runs `act` on the modal dialog that a step about to be taken opens (it blocks until closed):
// looks for it every few milliseconds, for at most `timeoutMs`.
void whenModalOpens(std::function<void(QWidget& dialog)> act, int timeoutMs = 10000);

// A file row of the result list.
core::SongRow fileRow(const QString& caption, const QString& title, const QString& address,
                      const QString& size, const QString& type);

}  // namespace melorin::testing
