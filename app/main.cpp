// Process start: application, title, main window, message loop; the window's close ends it.

#include <sys/socket.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QIcon>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "app/failurehook.h"
#include "app/mainwindow.h"
#include "app/selectdir.h"
#include "app/singleinstance.h"
#include "app/startup.h"
#include "ui/composition.h"
#include "ui/language.h"
#include "ui/skin.h"
#include "ui/uiport.h"

// Resources of a static library are only linked when something names them.
static void initProgramResources() {
    Q_INIT_RESOURCE(melorin);
}

namespace {

int signalPipe[2] = {-1, -1};

void onTerminate(int) {
    const char c = 1;
    // Only async-signal-safe work here: wake the event loop, which closes the window.
    [[maybe_unused]] const auto n = ::write(signalPipe[1], &c, 1);
}

// SIGTERM and SIGINT close the main window the same way the close button does.
void closeOnTerminate(QWidget* window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
        char c = 0;
        [[maybe_unused]] const auto n = ::read(signalPipe[0], &c, 1);
        window->close();
    });
    struct sigaction sa = {};
    sa.sa_handler = onTerminate;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    melorin::composition::chooseBeforeStart();
    melorin::MelorinApplication app(argc, argv);
    melorin::composition::settleAfterStart();
    initProgramResources();
    melorin::configureApplication(app);
    melorin::ui::useChineseEverywhere(app);
    QApplication::setApplicationVersion(QStringLiteral(MELORIN_VERSION));

    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("Melorin: find, download and play music."));
    options.addHelpOption();
    options.addVersionOption();
    const QCommandLineOption service(
        QStringLiteral("service"),
        QStringLiteral(
            "Use HOST[:PORT] for every host of the search service (also MELORIN_SERVICE)."),
        QStringLiteral("HOST[:PORT]"));
    options.addOption(service);
    const QCommandLineOption archiveBase(
        QStringLiteral("archive-base"),
        QStringLiteral("Use URL in place of https://archive.org (also MELORIN_ARCHIVE_BASE)."),
        QStringLiteral("URL"));
    options.addOption(archiveBase);
    const QCommandLineOption ccmixterBase(
        QStringLiteral("ccmixter-base"),
        QStringLiteral("Use URL in place of https://ccmixter.org (also MELORIN_CCMIXTER_BASE)."),
        QStringLiteral("URL"));
    options.addOption(ccmixterBase);
    const QCommandLineOption programFolder(
        QStringLiteral("program-folder"),
        QStringLiteral("Use DIR as the program folder (default: the executable's folder)."),
        QStringLiteral("DIR"));
    options.addOption(programFolder);
    options.process(app);

    melorin::StartOptions start;
    start.service =
        options.isSet(service) ? options.value(service) : qEnvironmentVariable("MELORIN_SERVICE");
    const auto baseOption = [&options](const QCommandLineOption& option, const char* variable) {
        const QString base =
            options.isSet(option) ? options.value(option) : qEnvironmentVariable(variable);
        if (!base.isEmpty() && !base.startsWith(QStringLiteral("http://")) &&
            !base.startsWith(QStringLiteral("https://"))) {
            std::fprintf(stderr, "melorin: %s is not an http or https address: %s\n",
                         qPrintable(option.names().constFirst()), qPrintable(base));
            std::exit(2);
        }
        return base;
    };
    start.archiveBase = baseOption(archiveBase, "MELORIN_ARCHIVE_BASE");
    start.ccmixterBase = baseOption(ccmixterBase, "MELORIN_CCMIXTER_BASE");
    QString note;
    start.programDir =
        options.isSet(programFolder)
            ? QDir(options.value(programFolder)).absolutePath()
            : melorin::resolveProgramDir(QCoreApplication::applicationDirPath(), &note);
    if (!note.isEmpty()) std::fprintf(stderr, "%s\n", note.toLocal8Bit().constData());
    // A folder named on the command line may be new: make all of it, or say why not.
    if (!QDir().mkpath(start.programDir)) {
        std::fprintf(stderr, "melorin: cannot create the program folder %s\n",
                     start.programDir.toLocal8Bit().constData());
        return 2;
    }
    melorin::SingleInstance instance(start.programDir);
    switch (instance.claim()) {
        case melorin::SingleInstance::Claim::AlreadyRuns:
            std::fprintf(stderr, "melorin: already running on %s; its window comes to the front\n",
                         start.programDir.toLocal8Bit().constData());
            return 0;
        case melorin::SingleInstance::Claim::Unsure:
            std::fprintf(stderr, "melorin: cannot tell whether another copy runs on %s\n",
                         start.programDir.toLocal8Bit().constData());
            break;
        case melorin::SingleInstance::Claim::First:
            break;
    }
    melorin::ui::applySkins(app);
    melorin::ui::DesktopUiPort ui;
    melorin::TForm1 form(ui, start);
    melorin::TForm2 chooser(form);  // hidden until a folder button shows it
    int exitCode = 0;
    QObject::connect(&form, &melorin::TForm1::closed, &app, [&exitCode](int code) {
        exitCode = code;
        QCoreApplication::exit(code);
    });
    closeOnTerminate(&form);
    QObject::connect(&instance, &melorin::SingleInstance::anotherStart, &form, [&form] {
        std::fprintf(stderr, "melorin: started again on this program folder; to the front\n");
        form.restoreWindow();
    });
    QRect available;
    if (QScreen* screen = form.screen()) {
        available = screen->availableGeometry();
        form.fitToScreen(available);
    }
    const auto centre = [&form, available] {
        if (available.isValid())
            form.move(available.center() - QPoint(form.width() / 2, form.height() / 2));
    };
    centre();
    form.show();
    // Some window managers place a new frameless window by their own rules; put it back.
    QTimer::singleShot(0, &form, centre);
    if (qEnvironmentVariableIsSet("MELORIN_REPORT_STARTUP")) {
        QTimer::singleShot(0, &form, [&sinceStart] {
            std::fprintf(stderr, "melorin: window shown after %lld ms\n",
                         static_cast<long long>(sinceStart.elapsed()));
        });
    }
    const int rc = QApplication::exec();
    return rc == 0 ? exitCode : rc;
}
