// The lists' row models without a window: what each row shape shows in each column, appending
// and replacing rows with their save paths, the header icon, and the progress rows the board
// has reported.

#include <QPixmap>
#include <QSignalSpy>
#include <QtTest>

#include "app/progressmodel.h"
#include "app/songrowmodel.h"
#include "app/startup.h"
#include "tests/app/guitestmain.h"

using melorin::ProgressModel;
using melorin::SongRowModel;
using melorin::core::RowShape;
using melorin::core::SongRow;
namespace download = melorin::download;

namespace {

const QStringList kQueueColumns = {QString(),
                                   QStringLiteral("歌曲名"),
                                   QStringLiteral("下载地址"),
                                   QStringLiteral("大小"),
                                   QStringLiteral("类型"),
                                   QStringLiteral("保存地址")};

const SongRow kFile{RowShape::File, "7", 1, "月下听风", "http://h/a.mp3", "3.5M", "mp3"};
const SongRow kEntry = melorin::core::listEntry("8", "沈墨川", "singer/3.html");
const SongRow kLine = melorin::core::fileLine("<ref href = \"http://h/a.mp3\"/>");

QVector<QIcon> kindIcons() {
    QVector<QIcon> icons;
    for (int i = 0; i < 6; ++i) {
        QPixmap p(16, 16);
        p.fill(QColor::fromHsv(i * 60, 200, 200));
        icons.push_back(QIcon(p));
    }
    return icons;
}

download::DownloadEvent added(int queueRow, const std::string& title) {
    download::ProgressRowAdded e;
    e.queueRow = queueRow;
    e.job.title = title;
    return e;
}

}  // namespace

class TestRowModels : public QObject {
    Q_OBJECT
private slots:
    void cellsByShape_data();
    void cellsByShape();
    void iconsOnlyInTheFirstColumn();
    void everyKindShowsItsOwnIcon_data();
    void everyKindShowsItsOwnIcon();
    void appendKeepsSavePathsWithTheirRows();
    void outOfRangeReadsAreEmpty();
    void progressRowsFollowTheBoard();
};

void TestRowModels::cellsByShape_data() {
    QTest::addColumn<SongRow>("row");
    QTest::addColumn<QStringList>("cells");  // columns 0 to 4
    QTest::newRow("file") << kFile
                          << QStringList{QStringLiteral("7"), QStringLiteral("月下听风"),
                                         QStringLiteral("http://h/a.mp3"), QStringLiteral("3.5M"),
                                         QStringLiteral("mp3")};
    // A list entry's remainder is in the address column; it has no size or type.
    QTest::newRow("list entry") << kEntry
                                << QStringList{QStringLiteral("8"), QStringLiteral("沈墨川"),
                                               QStringLiteral("singer/3.html"), QString(),
                                               QString()};
    // A play-list file line is its caption only, whatever else the row holds.
    SongRow line = kLine;
    line.title = "not shown";
    QTest::newRow("file line") << line
                               << QStringList{QStringLiteral("<ref href = \"http://h/a.mp3\"/>"),
                                              QString(), QString(), QString(), QString()};
}

void TestRowModels::cellsByShape() {
    QFETCH(SongRow, row);
    QFETCH(QStringList, cells);
    const QVector<QIcon> icons = kindIcons();
    SongRowModel model(kQueueColumns, &icons, nullptr);
    model.setRows({row}, {"/m/a.mp3"});
    for (int c = 0; c < cells.size(); ++c) {
        QCOMPARE(melorin::songRowCell(row, c), cells[c]);
        QCOMPARE(model.data(model.index(0, c), Qt::DisplayRole).toString(), cells[c]);
    }
    QCOMPARE(model.text(0, 5), QStringLiteral("/m/a.mp3"));
    QCOMPARE(model.row(0), row);
}

void TestRowModels::iconsOnlyInTheFirstColumn() {
    const QVector<QIcon> icons = kindIcons();
    SongRowModel model(kQueueColumns, &icons, nullptr);
    SongRow beyond = kFile;
    beyond.icon = 6;  // no kind has this index
    model.setRows({kFile, beyond});
    QVERIFY(model.data(model.index(0, 0), Qt::DecorationRole).canConvert<QIcon>());
    QVERIFY(!model.data(model.index(0, 1), Qt::DecorationRole).isValid());
    QVERIFY(!model.data(model.index(1, 0), Qt::DecorationRole).isValid());
    // The header's icon is the kind the result rows were found as.
    QSignalSpy header(&model, &QAbstractItemModel::headerDataChanged);
    QCOMPARE(model.headerIcon(), 0);  // what link rows take before any request set it...
    QVERIFY(!model.headerData(0, Qt::Horizontal, Qt::DecorationRole).isValid());  // ...unshown
    model.setHeaderIcon(0);
    QVERIFY(model.headerData(0, Qt::Horizontal, Qt::DecorationRole).isValid());
    model.setHeaderIcon(6);
    QCOMPARE(header.count(), 2);
    QVERIFY(!model.headerData(0, Qt::Horizontal, Qt::DecorationRole).isValid());
    model.setHeaderIcon(2);
    QCOMPARE(model.headerIcon(), 2);
    QVERIFY(model.headerData(0, Qt::Horizontal, Qt::DecorationRole).isValid());
    QCOMPARE(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), kQueueColumns[1]);
}

void TestRowModels::everyKindShowsItsOwnIcon_data() {
    // The desktop's icons, as the window loads them; a row's icon is its kind's.
    QTest::addColumn<int>("kind");
    QTest::newRow("MP3") << 0;
    QTest::newRow("RM") << 1;
    QTest::newRow("WMA") << 2;
    QTest::newRow("ASF") << 3;
    QTest::newRow("RAM") << 4;
    QTest::newRow("FLASH") << 5;
}

void TestRowModels::everyKindShowsItsOwnIcon() {
    QFETCH(int, kind);
    // The program's icon theme where a desktop keeps it (the offscreen platform names none).
    QIcon::setThemeSearchPaths({QStringLiteral("/usr/share/icons")});
    melorin::configureApplication(*qApp);
    const QVector<QIcon> icons = melorin::loadKindIcons();
    QCOMPARE(icons.size(), 6);
    SongRowModel model(kQueueColumns, &icons, nullptr);
    SongRow row = kFile;
    row.icon = kind;
    model.setRows({row});
    const auto shown = model.data(model.index(0, 0), Qt::DecorationRole).value<QIcon>();
    QVERIFY(!shown.isNull());
    QCOMPARE(shown.pixmap(16, 16).toImage(), icons[kind].pixmap(16, 16).toImage());
    // FLASH items are no MP3 files: their icon is not the music note.
    if (kind == 5) QVERIFY(shown.pixmap(16, 16).toImage() != icons[0].pixmap(16, 16).toImage());
}

void TestRowModels::appendKeepsSavePathsWithTheirRows() {
    SongRowModel model(kQueueColumns, nullptr, nullptr);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    model.appendRows({kFile}, {"/m/1.mp3"});
    model.appendRows({});  // nothing to tell the view
    model.appendRows({kFile, kFile}, {"/m/2.mp3", "/m/3.mp3"});
    QCOMPARE(inserted.count(), 2);
    QCOMPARE(inserted.at(1).at(1).toInt(), 1);
    QCOMPARE(inserted.at(1).at(2).toInt(), 2);
    QCOMPARE(model.size(), 3);
    QCOMPARE(model.savePath(2), "/m/3.mp3");

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.setSavePath(1, "/n/2.mp3");
    QCOMPARE(model.text(1, 5), QStringLiteral("/n/2.mp3"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex(), model.index(1, 5));
    // Rows without a path given show none.
    model.appendRows({kEntry});
    QCOMPARE(model.text(3, 5), QString());
    model.clear();
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.savePath(0), "");
}

void TestRowModels::outOfRangeReadsAreEmpty() {
    SongRowModel model({QString(), QStringLiteral("歌手名")}, nullptr, nullptr);
    model.setRows({kFile, kEntry});
    QCOMPARE(model.columnCount(), 2);
    QCOMPARE(model.text(0, 2), QString());  // past the columns this list has
    QCOMPARE(model.text(-1, 0), QString());
    QCOMPARE(model.text(2, 0), QString());
    QCOMPARE(model.row(2), SongRow{});
    QCOMPARE(model.rowsAt({1, 5, -1, 0}), (std::vector<SongRow>{kEntry, kFile}));
    model.setSavePath(0, "/m/x");  // no column for it: kept, nothing shown
    QCOMPARE(model.savePath(0), "/m/x");
}

void TestRowModels::progressRowsFollowTheBoard() {
    download::ProgressBoard board([] { return std::chrono::steady_clock::time_point{}; },
                                  [] { return std::string("D"); });
    ProgressModel model(nullptr);
    model.show({});  // no board yet: nothing to show
    QCOMPARE(model.rowCount(), 0);
    model.setBoard(board);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    // Rows the window has not taken yet are not shown.
    auto changes = board.apply({added(4, "甲"), added(5, "乙")});
    QCOMPARE(model.rowCount(), 0);
    model.show(changes);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(model.text(1, 0), QStringLiteral("乙"));
    QCOMPARE(model.text(1, 1), QStringLiteral("正在下载"));
    QCOMPARE(model.text(1, 2), QStringLiteral("0"));
    QCOMPARE(model.text(1, 3), QStringLiteral("5"));

    model.show(board.apply({download::RowStatus{0, 4, download::ProgressState::Failed}}));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(model.text(0, 1), QStringLiteral("下载失败"));
    QCOMPARE(model.text(2, 0), QString());
    QCOMPARE(model.headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(),
             QStringLiteral("相应序列"));
}

MELORIN_GUI_TEST_MAIN(TestRowModels)
#include "test_rowmodels.moc"
