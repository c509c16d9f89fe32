// Playback end to end, offscreen: the pages "在线播放" writes, shown in a browser view with the
// player host attached, play the local service's files through the native player; the face
// drives it; lists go on entry after entry; only Melorin's own page files get the bridge.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <cstdio>
#include <memory>
#include <optional>

#include "player/nativeplayer.h"
#include "player/playbackcoordinator.h"
#include "player/playerpagehost.h"
#include "player/playerpages.h"
#include "player/playlistfile.h"
#include "tests/player/tinyhttp.h"
#include "tests/support/files.h"
#include "tests/support/pageserver.h"
#include "tests/support/servicerun.h"

using namespace melorin;
using namespace melorin::player;
using namespace Qt::StringLiterals;
using core::SongRow;
using State = NativePlayer::State;

namespace {

constexpr int kStartMs = 30000;  // a page loads and its first entry sounds
constexpr int kEntryMs = 20000;  // a four-second entry plays to its end

using melorin::testing::fileBytes;

bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QVariant evaluate(QWebEnginePage* page, const QString& script,
                  quint32 world = QWebEngineScript::MainWorld) {
    // The answer may come after a timeout: it must not find this frame gone.
    auto answer = std::make_shared<std::optional<QVariant>>();
    page->runJavaScript(script, world, [answer](const QVariant& v) { *answer = v; });
    if (!QTest::qWaitFor([answer] { return answer->has_value(); }, 10000)) return {};
    return **answer;
}

// The player face's visible text, or "" when the page has none.
QString faceText(QWebEnginePage* page) {
    return evaluate(page,
                    u"(function(){var f=document.querySelector('.melorin-player');"
                    "return f?f.innerText:'';})()"_s)
        .toString();
}

bool clickFace(QWebEnginePage* page, const QString& button) {
    return evaluate(page, u"(function(){var b=document.querySelector('.melorin-player .mp-"_s +
                              button + u"');if(!b)return false;b.click();return true;})()"_s)
        .toBool();
}

bool sounds(const NativePlayer* p) {
    return p->state() == State::Playing && p->position() > 0;
}

// Writes a file by its path's bytes, which need not be UTF-8.
bool writeBytesAt(const QByteArray& path, const QByteArray& bytes) {
    std::FILE* f = std::fopen(path.constData(), "wb");
    if (f == nullptr) return false;
    const bool whole = std::fwrite(bytes.constData(), 1, bytes.size(), f) ==
                       static_cast<std::size_t>(bytes.size());
    return std::fclose(f) == 0 && whole;
}

QByteArray sampleMp3() {
    return fileBytes(QStringLiteral(MELORIN_AUDIO_DIR "/sample.mp3"));
}

QByteArray utf16Le(const QString& text) {
    QByteArray out("\xFF\xFE");
    for (const QChar c : text) {
        out += static_cast<char>(c.unicode() & 0xFF);
        out += static_cast<char>(c.unicode() >> 8);
    }
    return out;
}

}  // namespace

class TestPlayerPlayback : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY2(service_.start(), qPrintable(service_.error()));
        QVERIFY(root_.isValid());
        programDir_ = root_.path() + u"/Melorin 程序/"_s;
        QVERIFY(QDir().mkpath(programDir_));
        QVERIFY(web_.isListening());
    }

    void init() {
        view_ = std::make_unique<QWebEngineView>();
        view_->resize(640, 160);
        view_->show();
        host_ = new PlayerPageHost(view_->page(), programDir_, coordinator_);
    }

    void cleanup() {
        view_.reset();
        QTRY_VERIFY(coordinator_.players().isEmpty());
    }

    // One row of each kind reaches playing and its position advances; the page names the
    // entry by its row's title, and the page file stays as it was written.
    void playsEachKind_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("type");
        QTest::newRow("mp3") << "/music/s01/000.mp3"
                             << "mp3";
        QTest::newRow("wma") << "/music/s02/030.wma"
                             << "wma";
        QTest::newRow("asf") << "/music/s03/045.asf"
                             << "asf";
        QTest::newRow("rm") << "/music/s04/015.rm"
                            << "rm";
        QTest::newRow("ram, fetched over http") << "/music/s05/060.ram"
                                                << "ram";
    }
    void playsEachKind() {
        QFETCH(QString, path);
        QFETCH(QString, type);
        const std::vector<SongRow> rows = {song(path, type, "月下听风 " + type.toStdString())};
        const OnlinePlayStep step = onlinePlay(programDir_.toStdString(), rows);
        QVERIFY(step.page);
        const QString page = programDir_ + QString::fromStdString(step.page->pageName);
        NativePlayer* p = show(step, rows);
        QVERIFY(p);
        QTRY_VERIFY_WITH_TIMEOUT(sounds(p), kStartMs);
        const qint64 first = p->position();
        QTRY_VERIFY_WITH_TIMEOUT(p->position() >= first + 500, kEntryMs);
        QCOMPARE(p->state(), State::Playing);
        QCOMPARE(p->title(), u"月下听风 "_s + type);
        QTRY_VERIFY(faceText(view_->page()).contains(u"月下听风 "_s + type));
        QCOMPARE(fileBytes(page), QByteArray::fromStdString(step.page->files.back().bytes));
    }

    void goesOnWithTheNext() {
        const std::vector<SongRow> rows = {song(u"/music/s01/001.mp3"_s, u"mp3"_s, "一"),
                                           song(u"/music/s01/031.wma"_s, u"wma"_s, "二")};
        NativePlayer* p = show(onlinePlay(programDir_.toStdString(), rows), rows);
        QVERIFY(p);
        QTRY_VERIFY_WITH_TIMEOUT(sounds(p), kStartMs);
        QCOMPARE(p->entryIndex(), 0);
        QCOMPARE(p->entryCount(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(p->entryIndex() == 1 && sounds(p), kEntryMs);
        QCOMPARE(p->title(), u"二"_s);
        QTRY_VERIFY(faceText(view_->page()).contains(u"2/2"_s));
        // After the last entry the player stops.
        QTRY_VERIFY_WITH_TIMEOUT(p->state() == State::Stopped, kEntryMs);
    }

    void unplayableEntryThenTheNext_data() {
        QTest::addColumn<QString>("badPath");
        QTest::addColumn<QString>("type");
        // The message says what went wrong in Chinese; the media stack's words follow it.
        QTest::addColumn<QString>("says");
        QTest::newRow("missing file") << "/music/s01/999.mp3"
                                      << "mp3" << u"无法播放“坏的”：无法打开媒体（"_s;
        QTest::newRow("a page, not audio") << "/flash/000-1.html"
                                           << "mp3" << u"无法播放“坏的”：无法打开媒体（"_s;
        QTest::newRow("missing list") << "/music/s01/999.ram"
                                      << "ram" << u"无法读取列表“坏的”："_s;
    }
    void unplayableEntryThenTheNext() {
        QFETCH(QString, badPath);
        QFETCH(QString, type);
        QFETCH(QString, says);
        const std::vector<SongRow> rows = {song(badPath, type, "坏的"),
                                           song(u"/music/s01/002.mp3"_s, u"mp3"_s, "好的")};
        NativePlayer* p = show(onlinePlay(programDir_.toStdString(), rows), rows);
        QVERIFY(p);
        QTRY_VERIFY_WITH_TIMEOUT(p->entryIndex() == 1 && sounds(p), kStartMs);
        QVERIFY2(p->message().startsWith(says), qPrintable(p->message()));
        QCOMPARE(p->title(), u"好的"_s);
        QTRY_VERIFY(faceText(view_->page()).contains(p->message()));
    }

    void loadedAsxPlays() {
        // A list the save action wrote, loaded back: its entries show their file names.
        const QString list = programDir_ + u"lists/我的 列表.asx"_s;
        QVERIFY(writeFile(list, QByteArray::fromStdString(
                                    asxText({song(u"/music/s01/032.wma"_s, u"wma"_s, "不用"),
                                             song(u"/music/s01/003.mp3"_s, u"mp3"_s, "不用")}))));
        const PageToShow page = loadedFilePage(list.toStdString());
        QVERIFY(!writePlayerFiles(programDir_.toStdString(), page.files));
        host_->setTitles({});
        view_->load(QUrl::fromLocalFile(programDir_ + QString::fromStdString(page.pageName)));
        QTRY_VERIFY_WITH_TIMEOUT(host_->players().size() == 1, kStartMs);
        NativePlayer* p = host_->players().first();
        QTRY_VERIFY_WITH_TIMEOUT(sounds(p), kStartMs);
        QCOMPARE(p->entryCount(), 2);
        QCOMPARE(p->title(), u"032.wma"_s);
    }

    // The face's controls reach the native player.
    void faceDrivesThePlayer() {
        const std::vector<SongRow> rows = {song(u"/music/s01/004.mp3"_s, u"mp3"_s, "甲"),
                                           song(u"/music/s01/005.mp3"_s, u"mp3"_s, "乙")};
        NativePlayer* p = show(onlinePlay(programDir_.toStdString(), rows), rows);
        QVERIFY(p);
        QTRY_VERIFY_WITH_TIMEOUT(sounds(p), kStartMs);
        QTRY_VERIFY(faceText(view_->page()).contains(u"甲"_s));
        QVERIFY(clickFace(view_->page(), u"next"_s));
        QTRY_VERIFY_WITH_TIMEOUT(p->entryIndex() == 1 && sounds(p), kStartMs);
        QVERIFY(clickFace(view_->page(), u"previous"_s));
        QTRY_VERIFY_WITH_TIMEOUT(p->entryIndex() == 0 && sounds(p), kStartMs);
        QVERIFY(clickFace(view_->page(), u"play"_s));
        QTRY_COMPARE(p->state(), State::Paused);
        const qint64 paused = p->position();
        bool moved = false;
        const QMetaObject::Connection watch =
            connect(p, &NativePlayer::positionChanged, this,
                    [&](qint64 at) { moved = moved || at != paused; });
        QVERIFY(!QTest::qWaitFor([&] { return moved; }, 400));  // fails as soon as it moves
        disconnect(watch);
        QVERIFY(clickFace(view_->page(), u"play"_s));
        QTRY_VERIFY_WITH_TIMEOUT(p->position() > paused, kStartMs);
        evaluate(view_->page(),
                 u"(function(){var v=document.querySelector('.mp-volume');"
                 "v.value=40;v.dispatchEvent(new Event('input'));})()"_s);
        QTRY_COMPARE(p->volume(), 40);
        QTRY_VERIFY(p->seekable());
        evaluate(view_->page(),
                 u"(function(){var s=document.querySelector('.mp-seek');"
                 "s.value=3000;s.dispatchEvent(new Event('change'));})()"_s);
        QTRY_VERIFY_WITH_TIMEOUT(p->position() >= 3000 || p->entryIndex() == 1, kStartMs);
        QVERIFY(clickFace(view_->page(), u"stop"_s));
        QTRY_COMPARE(p->state(), State::Stopped);
        QTRY_VERIFY(faceText(view_->page()).contains(u"0:00 / "_s));
    }

    // Starting one player pauses the other (the play panel and the card preview).
    void onlyOneSounds() {
        const std::vector<SongRow> rows = {song(u"/music/s01/006.mp3"_s, u"mp3"_s, "面板")};
        NativePlayer* panel = show(onlinePlay(programDir_.toStdString(), rows), rows);
        QVERIFY(panel);
        QTRY_VERIFY_WITH_TIMEOUT(sounds(panel), kStartMs);

        QWebEngineView preview;
        preview.resize(400, 120);
        preview.show();
        auto* previewHost = new PlayerPageHost(preview.page(), programDir_, coordinator_);
        // A card page: the player object names the song's own address.
        const QByteArray card = QByteArray::fromStdString(realPage("x"))
                                    .replace("file://x", service_url("/music/s01/016.rm"));
        QVERIFY(writeFile(programDir_ + u"card.html"_s, card));
        preview.load(QUrl::fromLocalFile(programDir_ + u"card.html"_s));
        QTRY_VERIFY_WITH_TIMEOUT(previewHost->players().size() == 1, kStartMs);
        NativePlayer* cardPlayer = previewHost->players().first();
        QTRY_VERIFY_WITH_TIMEOUT(sounds(cardPlayer), kStartMs);
        QCOMPARE(panel->state(), State::Paused);
        QCOMPARE(coordinator_.current(), cardPlayer);

        QVERIFY(clickFace(view_->page(), u"play"_s));
        QTRY_VERIFY_WITH_TIMEOUT(sounds(panel), kStartMs);
        QCOMPARE(cardPlayer->state(), State::Paused);
        QCOMPARE(coordinator_.current(), panel);
    }

    // Lists inside lists are opened up to three deep; deeper ones get a message.
    void nestedLists_data() {
        QTest::addColumn<int>("depth");  // lists on the way to the song, the target included
        QTest::addColumn<bool>("plays");
        QTest::newRow("one") << 1 << true;
        QTest::newRow("three, mixed kinds") << 3 << true;
        QTest::newRow("four") << 4 << false;
    }
    void nestedLists() {
        QFETCH(int, depth);
        QFETCH(bool, plays);
        const QString dir = root_.path() + u"/nested "_s + QString::number(depth) + u'/';
        QString entry = QString::fromUtf8(service_url("/music/s01/007.mp3"));
        for (int level = depth; level >= 1; --level) {
            const bool asx = level % 2 == 0;
            const QString file = dir + QString::number(level) + (asx ? u".asx"_s : u".rpm"_s);
            const QByteArray text =
                asx ? "<asx><entry><ref href=\"" + entry.toUtf8() + "\"/></entry></asx>"
                    : entry.toUtf8() + "\r\n";
            QVERIFY(writeFile(file, text));
            entry = level == 1 ? u"file://"_s + file : QFileInfo(file).fileName();
        }
        NativePlayer p;
        p.open(entry);
        if (plays) {
            QTRY_VERIFY_WITH_TIMEOUT(sounds(&p), kStartMs);
            QCOMPARE(p.title(), u"007.mp3"_s);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(p.state() == State::Stopped && !p.message().isEmpty(),
                                     kStartMs);
            QVERIFY2(p.message().contains(u"三层"_s), qPrintable(p.message()));
        }
    }

    // Lists fetched over http: relative entries, files of this computer, oversized lists.
    void networkLists_data() {
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<QString>("message");  // part of the message left; empty: none
        QTest::addColumn<int>("plays");        // the entry that sounds in the end; -1: none
        const QByteArray local = "file://" MELORIN_AUDIO_DIR "/sample.mp3\r\n";
        QTest::newRow("relative entry") << QByteArray("# comment\r\nsong.mp3\r\n") << "" << 0;
        QTest::newRow("a file of this computer")
            << local + "http://" + service_.host() + "/music/s01/008.mp3" << u"本机"_s << 0;
        QTest::newRow("oversized")
            << QByteArray(NativePlayer::kMaxListBytes + 10, 'x') << u"列表过大"_s << -1;
        QTest::newRow("no addresses")
            << QByteArray("\r\n# only a note\r\n") << u"没有可播放的地址"_s << -1;
    }
    void networkLists() {
        QFETCH(QByteArray, list);
        QFETCH(QString, message);
        QFETCH(int, plays);
        QFile sample(QStringLiteral(MELORIN_AUDIO_DIR "/sample.mp3"));
        QVERIFY(sample.open(QIODevice::ReadOnly));
        web_.serve("/lists/song.mp3", "audio/mpeg", sample.readAll());
        web_.serve("/lists/this.ram", "audio/x-pn-realaudio", list);
        NativePlayer p;
        p.open(QString::fromUtf8(web_.base() + "/lists/this.ram"));
        if (plays >= 0) {
            QTRY_VERIFY_WITH_TIMEOUT(p.entryIndex() == plays && sounds(&p), kStartMs);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(p.state() == State::Stopped, kStartMs);
        }
        if (message.isEmpty()) {
            QCOMPARE(p.message(), QString());
        } else {
            QVERIFY2(p.message().contains(message), qPrintable(p.message()));
        }
    }

    // Pages that are not Melorin's own page files get no bridge: their objects stay.
    void foreignPagesHaveNoBridge_data() {
        QTest::addColumn<QString>("where");
        QTest::newRow("page from http") << "http";
        QTest::newRow("same page outside the program folder") << "elsewhere";
        QTest::newRow("other file in the program folder") << "other";
    }
    void foreignPagesHaveNoBridge() {
        QFETCH(QString, where);
        const QByteArray page = QByteArray::fromStdString(realPage("x"))
                                    .replace("file://x", service_url("/music/s01/009.mp3"));
        QUrl url;
        if (where == u"http") {
            web_.serve("/1.html", "text/html", page);
            url = QUrl(QString::fromUtf8(web_.base() + "/1.html"));
        } else {
            const QString file = where == u"other" ? programDir_ + u"3.html"_s
                                                   : root_.path() + u"/elsewhere/1.html"_s;
            QVERIFY(writeFile(file, page));
            url = QUrl::fromLocalFile(file);
        }
        QSignalSpy loaded(view_.get(), &QWebEngineView::loadFinished);
        view_->load(url);
        QVERIFY(loaded.wait(kStartMs));
        QVERIFY(loaded.first().first().toBool());
        // What the page's channel offers, asked from the world the face runs in.
        evaluate(view_->page(),
                 u"(function(){if(typeof qt==='undefined'||!qt.webChannelTransport){"
                 "window.melorinProbe='';return;}new QWebChannel(qt.webChannelTransport,"
                 "function(c){window.melorinProbe=Object.keys(c.objects).join(',');});})()"_s,
                 QWebEngineScript::ApplicationWorld);
        const QString offered = u"typeof window.melorinProbe==='string'?window.melorinProbe:null"_s;
        QTRY_VERIFY(evaluate(view_->page(), offered, QWebEngineScript::ApplicationWorld).isValid());
        QCOMPARE(evaluate(view_->page(), offered, QWebEngineScript::ApplicationWorld).toString(),
                 QString());
        QCOMPARE(evaluate(view_->page(), u"document.getElementsByTagName('object').length"_s),
                 QVariant(1));
        QCOMPARE(faceText(view_->page()), QString());
        QSignalSpy attached(host_, &PlayerPageHost::playerAttached);
        QVERIFY(!attached.wait(300));  // fails as soon as the foreign page gets a player
        QVERIFY(host_->players().isEmpty());

        // The same browser then shows Melorin's own page with its player.
        const std::vector<SongRow> rows = {song(u"/music/s01/010.mp3"_s, u"mp3"_s, "自己的")};
        NativePlayer* p = show(onlinePlay(programDir_.toStdString(), rows), rows);
        QVERIFY(p);
        QTRY_VERIFY_WITH_TIMEOUT(sounds(p), kStartMs);
    }

    // Lists from the network that name lists and files of this computer, directly or two
    // lists further down: none of those is opened (a local list whose only entry is an address
    // that nobody else names would be asked for), and the list's own song plays.
    void networkListsStayOnTheNetwork_data() {
        QTest::addColumn<QStringList>("paths");  // the target first; each "path=body"
        const QString local = u"file://@PRIVATE@\r\n@PRIVATE@\r\nfile://@SAMPLE@\r\n"_s;
        QTest::newRow(".ram") << QStringList{u"/l.ram="_s + local + u"song.mp3"_s};
        QTest::newRow(".asx") << QStringList{
            u"/l.asx=<asx><entry><ref href=\"file://@PRIVATE@\"/></entry><entry><ref "
            "href=\"@PRIVATE@\"/><ref href=\"file://@SAMPLE@\"/><ref href=\"song.mp3\"/>"
            "</entry></asx>"_s};
        QTest::newRow("three deep, mixed kinds")
            << QStringList{u"/l.ram=d2.asx"_s, u"/d2.asx=<ref href=\"/d3.ram\"/>"_s,
                           u"/d3.ram="_s + local + u"song.mp3"_s};
    }
    void networkListsStayOnTheNetwork() {
        QFETCH(QStringList, paths);
        QHash<QByteArray, QByteArray> bodies{{"/song.mp3", sampleMp3()}};
        testing::PageServer server([&bodies](const QByteArray& target) {
            const auto it = bodies.constFind(target);
            if (it == bodies.constEnd()) return testing::PageServer::Answer{404, {}};
            return testing::PageServer::Answer{200, *it, "application/octet-stream"};
        });
        QVERIFY(server.listening());
        const QString privateList = root_.path() + u"/本机的 private.rpm"_s;
        QVERIFY(writeFile(privateList, server.url("/canary.mp3").toUtf8() + "\r\n"));
        for (const QString& p : paths) {
            QString body = p.section(u'=', 1);
            body.replace(u"@PRIVATE@"_s, privateList)
                .replace(u"@SAMPLE@"_s, QStringLiteral(MELORIN_AUDIO_DIR "/sample.mp3"));
            bodies.insert(p.section(u'=', 0, 0).toUtf8(), body.toUtf8());
        }
        QStringList played;
        NativePlayer p;
        connect(&p, &NativePlayer::changed, &p, [&] {
            if (!played.contains(p.entryAddress())) played << p.entryAddress();
        });
        p.open(server.url(paths.first().section(u'=', 0, 0).toUtf8().constData()));
        QTRY_VERIFY_WITH_TIMEOUT(sounds(&p), kStartMs);
        QCOMPARE(p.entryAddress(), server.url("/song.mp3"));
        QVERIFY2(p.message().contains(u"本机"_s), qPrintable(p.message()));
        for (const QString& address : std::as_const(played))
            QVERIFY2(address.startsWith(u"http://"_s), qPrintable(address));
        QVERIFY(!server.targets.contains("/canary.mp3"));
    }

    // A list that names itself thousands of times, and lists too big to read many of: one
    // play reads a bounded number of lists and then stops trying.
    void hostileListTreesAreBounded_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("mostFetches");
        QTest::newRow("includes itself 7,000 times")
            << QByteArray("self.ram\r\n") << 7000 << NativePlayer::kMaxListsPerPlay;
        const int bigLines = 40000;  // 480 KB a list
        QTest::newRow("lists of 480 KB")
            << QByteArray("self.ram  \r\n") << bigLines
            << static_cast<int>(NativePlayer::kMaxTreeBytes / (12 * bigLines)) + 2;
    }
    void hostileListTreesAreBounded() {
        QFETCH(QByteArray, line);
        QFETCH(int, lines);
        QFETCH(int, mostFetches);
        const QByteArray list = line.repeated(lines);
        testing::PageServer server([&list](const QByteArray&) {
            return testing::PageServer::Answer{200, list, "audio/x-pn-realaudio"};
        });
        QVERIFY(server.listening());
        NativePlayer p;
        p.open(server.url("/self.ram"));
        QTRY_VERIFY_WITH_TIMEOUT(p.state() == State::Stopped, 60000);
        QVERIFY2(server.targets.size() <= mostFetches,
                 qPrintable(QString::number(server.targets.size())));
        QCOMPARE(p.listsOpened(), server.targets.size());
        QVERIFY2(p.message().contains(u"不再打开"_s), qPrintable(p.message()));
    }

    // Play-list files in program folders whose GBK names are also UTF-8 (一千, 千千), in
    // UTF-16 and in GBK, and a list and a song named by GBK bytes that are not UTF-8: the
    // page names each by its bytes and the player opens what it names.
    void namesAndEncodings_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QByteArray>("listName");  // the bytes of its name
        QTest::addColumn<QByteArray>("list");      // "@SONG@": the service's song
        QStringEncoder gbk("GBK");
        QTest::newRow("一千, a UTF-16 list")
            << u"一千"_s << u"一千.asx"_s.toUtf8()
            << utf16Le(u"<asx><entry><ref href=\"@SONG@\"/></entry></asx>"_s);
        QTest::newRow("千千, a GBK list") << u"千千"_s << u"千千.rpm"_s.toUtf8()
                                          << QByteArray(gbk.encode(u"# 千千的歌\r\n@SONG@\r\n"_s));
        QTest::newRow("names that are not UTF-8")
            << u"旧的"_s << QByteArray("\xBE\xC9.rpm") << QByteArray("\xB8\xE8.mp3\r\n");
    }
    void namesAndEncodings() {
        QFETCH(QString, folder);
        QFETCH(QByteArray, listName);
        QFETCH(QByteArray, list);
        const QString dir = root_.path() + u'/' + folder + u'/';
        QVERIFY(QDir().mkpath(dir));
        const QByteArray dirBytes = QFile::encodeName(dir);
        list.replace("@SONG@", service_url("/music/s01/011.mp3"));
        // A UTF-16 list holds the address in UTF-16.
        if (list.startsWith("\xFF\xFE")) {
            QString text = QString::fromUtf16(
                reinterpret_cast<const char16_t*>(list.constData() + 2), (list.size() - 2) / 2);
            list = utf16Le(
                text.replace(u"@SONG@"_s, QString::fromUtf8(service_url("/music/s01/011.mp3"))));
        }
        QVERIFY(writeBytesAt(dirBytes + listName, list));
        QVERIFY(writeBytesAt(dirBytes + "\xB8\xE8.mp3", sampleMp3()));
        const PageToShow page = loadedFilePage((dirBytes + listName).toStdString());
        QVERIFY(!writePlayerFiles(dir.toStdString(), page.files));

        QWebEngineView view;
        view.resize(640, 160);
        view.show();
        auto* host = new PlayerPageHost(view.page(), dir, coordinator_);
        view.load(QUrl::fromLocalFile(dir + QString::fromStdString(page.pageName)));
        QTRY_VERIFY_WITH_TIMEOUT(host->players().size() == 1, kStartMs);
        NativePlayer* p = host->players().first();
        QTRY_VERIFY_WITH_TIMEOUT(sounds(p), kStartMs);
        QCOMPARE(p->entryCount(), 1);
    }

private:
    QByteArray service_url(const char* path) const { return "http://" + service_.host() + path; }

    SongRow song(const QString& path, const QString& type, const std::string& title) const {
        return {core::RowShape::File,
                "1",
                0,
                title,
                service_url(path.toUtf8().constData()).toStdString(),
                "3.5 M",
                type.toStdString()};
    }

    // Writes the step's files, hands the rows' titles to the host and shows the page, as the
    // window's "在线播放" does; the page's first player.
    NativePlayer* show(const OnlinePlayStep& step, const std::vector<SongRow>& rows) {
        if (!step.page) return nullptr;
        if (auto error = writePlayerFiles(programDir_.toStdString(), step.page->files)) {
            qWarning("%s", error->c_str());
            return nullptr;
        }
        host_->setTitles(rows);
        view_->load(QUrl::fromLocalFile(programDir_ + QString::fromStdString(step.page->pageName)));
        if (!QTest::qWaitFor([this] { return host_->players().size() == 1; }, kStartMs))
            return nullptr;
        return host_->players().first();
    }

    testing::ServiceRun service_;
    testing::TinyHttp web_;
    QTemporaryDir root_;
    QString programDir_;
    PlaybackCoordinator coordinator_;
    std::unique_ptr<QWebEngineView> view_;
    PlayerPageHost* host_ = nullptr;
};

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestPlayerPlayback test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_player_playback.moc"
