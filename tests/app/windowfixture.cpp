#include "tests/app/windowfixture.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>
#include <memory>

#include "app/songrowmodel.h"
#include "tests/app/windowinside.h"
#include "ui/reportview.h"

namespace melorin::testing {

namespace {

// The window's tickers come from the recording port.
FakeTicker& fake(ui::Ticker& ticker) {
    return static_cast<FakeTicker&>(ticker);
}

}  // namespace

WindowFixture::WindowFixture(const QString& programFolder)
    : programDir_(programFolder.isEmpty() ? dir_.path() : dir_.filePath(programFolder)) {
    QDir().mkpath(programDir_);
}

// The window goes before its port, and both before the servers it talks to.
WindowFixture::~WindowFixture() {
    closeWindow();
}

QString WindowFixture::tempPath(const QString& name) const {
    return name.isEmpty() ? dir_.path() : dir_.filePath(name);
}

bool WindowFixture::startService(const QStringList& extraArgs) {
    return service_.start(extraArgs);
}

QString WindowFixture::serviceHost() const {
    return service_.port() == 0 ? QString() : QString::fromLatin1(service_.host());
}

bool WindowFixture::startNginx(const std::string& slowRate) {
    const QString path = dir_.filePath(QStringLiteral("nginx"));
    if (!QDir().mkpath(path)) return false;
    nginx_ = std::make_unique<NginxServer>(path.toStdString(), slowRate);
    return nginx_->running();
}

bool WindowFixture::serveFile(const QString& path, const QByteArray& body) const {
    if (!nginx_) return false;
    QFile out(QString::fromStdString(nginx_->www()) + u'/' + path);
    return out.open(QIODevice::WriteOnly) && out.write(body) == body.size();
}

QString WindowFixture::nginxUrl(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1/%2").arg(nginx_ ? nginx_->port() : 0).arg(path);
}

TForm1& WindowFixture::createWindow() {
    return createWindow(serviceHost());
}

TForm1& WindowFixture::createWindow(const QString& service) {
    closeWindow();
    ui_ = std::make_unique<RecordingUi>();
    StartOptions options{programDir_, service};
    // The music catalogues live on the same service, so no window test ever leaves the machine.
    if (!service.isEmpty()) {
        options.archiveBase = QStringLiteral("http://") + service;
        options.ccmixterBase = options.archiveBase;
    }
    form_ = std::make_unique<TForm1>(*ui_, options);
    return *form_;
}

bool WindowFixture::showWindow() {
    form_->show();
    return QTest::qWaitForWindowExposed(form_.get());
}

bool WindowFixture::activateWindow() {
    form_->show();
    form_->activateWindow();
    return QTest::qWaitForWindowActive(form_.get());
}

void WindowFixture::closeWindow() {
    form_.reset();
    ui_.reset();
}

void WindowFixture::stepPump() const {
    if (form_ && inside(*form_).eventPump().isActive()) fake(inside(*form_).eventPump()).fire();
}

void WindowFixture::stepTimer1() const {
    if (form_ && inside(*form_).Timer1().isActive()) fake(inside(*form_).Timer1()).fire();
}

void WindowFixture::turn(int turns) const {
    for (int i = 0; i < turns; ++i) {
        QCoreApplication::processEvents();
        stepPump();
    }
}

void WindowFixture::search(const QString& text, int kind) const {
    const SearchBar& bar = inside(*form_).bar;
    bar.SeSkinComboBox1->setCurrentIndex(kind);  // with an empty box this searches nothing
    bar.Edit1->setText(text);
    QTest::mouseClick(bar.Button1, Qt::LeftButton);
}

void WindowFixture::offer(const std::vector<core::SongRow>& rows,
                          const QList<int>& selected) const {
    ui::ReportView& list = *inside(*form_).results.ListView1;
    const QSignalBlocker quiet(list.selectionModel());
    inside(*form_).resultRows().setRows(rows);
    for (int i : selected) list.selectRow(i);
}

void WindowFixture::queue(const std::vector<core::SongRow>& rows) const {
    QList<int> all;
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) all << i;
    offer(rows, all);
    QTest::mouseClick(inside(*form_).play.dragdownbtn, Qt::LeftButton);
}

QStringList WindowFixture::logLines() const {
    return inside(*form_).DownloadLog;
}

void pickEntry(QComboBox* box, int index) {
    QTest::mouseClick(box, Qt::LeftButton);
    QAbstractItemView* list = box->view();
    QVERIFY(QTest::qWaitForWindowExposed(list->window()));
    const QModelIndex entry = box->model()->index(index, 0);
    list->scrollTo(entry);
    const QPoint at = list->visualRect(entry).center();
    QTest::mouseMove(list->viewport(), at);
    // A list opened a moment ago takes a release for the end of the click that opened it, as
    // it would from a hand that had not let go; the user clicks again.
    const QDeadlineTimer deadline(5000);
    for (;;) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        if (!list->isVisible() || deadline.hasExpired()) break;
        QTest::qWait(50);
    }
    QVERIFY(!list->isVisible());
    QCOMPARE(box->currentIndex(), index);
}

void typeText(QWidget* box, const QString& text) {
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(box, &commit);
}

void whenModalOpens(std::function<void(QWidget& dialog)> act, int timeoutMs) {
    auto* poll = new QTimer(qApp);
    auto deadline = std::make_shared<QDeadlineTimer>(timeoutMs);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, deadline, act = std::move(act)] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (dialog == nullptr || !dialog->isVisible()) {
            if (deadline->hasExpired()) poll->deleteLater();
            return;
        }
        poll->stop();
        poll->deleteLater();
        act(*dialog);
    });
    poll->start();
}

core::SongRow fileRow(const QString& caption, const QString& title, const QString& address,
                      const QString& size, const QString& type) {
    return {core::RowShape::File, caption.toStdString(), 0,
            title.toStdString(),  address.toStdString(), size.toStdString(),
            type.toStdString()};
}

}  // namespace melorin::testing
