#pragma once

// The main window as its tests and benchmarks see it from inside: the controls of each view, the
// state it keeps, its models and the libraries' objects it holds. TForm1 keeps all of them
// private; this is its one friend. Write `inside(form).play.dragplaybtn`.

#include <QIcon>
#include <QString>
#include <QStringList>
#include <QVector>
#include <vector>

#include "app/mainwindow.h"
#include "app/windowparts.h"
#include "core/songrow.h"

namespace melorin::testing {

class WindowInside {
public:
    explicit WindowInside(TForm1& form)
        : bar(form.searchBar_),
          functions(form.functionPanel_),
          results(form.resultView_),
          play(form.playPanel_),
          downloads(form.downloadView_),
          card(form.cardView_),
          status(form.statusBar_),
          ProgramDir(form.ProgramDir),
          SaveFolder(form.SaveFolder),
          CardPicture(form.CardPicture),
          OpenDialog1InitialDir(form.OpenDialog1InitialDir),
          searchSession(form.searchSession),
          catalogueSearch(form.catalogueSearch),
          retargetRows(form.retargetRows),
          ImageList1(form.ImageList1),
          PlayList(form.PlayList),
          cardList(form.cardList),
          DownloadLog(form.DownloadLog),
          form_(form) {}

    SearchBar& bar;
    FunctionPanel& functions;
    ResultView& results;
    PlayPanel& play;
    DownloadView& downloads;
    CardView& card;
    StatusBar& status;

    QString& ProgramDir;
    QString& SaveFolder;
    QString& CardPicture;
    QString& OpenDialog1InitialDir;
    SearchSession& searchSession;
    CatalogueSearch& catalogueSearch;
    bool& retargetRows;
    QVector<QIcon>& ImageList1;
    std::vector<core::SongRow>& PlayList;
    std::vector<core::SongRow>& cardList;
    QStringList& DownloadLog;

    [[nodiscard]] TForm2* Form2() const { return form_.Form2; }
    [[nodiscard]] ui::Ticker& Timer1() const { return *form_.Timer1; }
    [[nodiscard]] ui::Ticker& eventPump() const { return form_.eventPump(); }
    [[nodiscard]] SongRowModel& resultRows() const { return form_.resultRows(); }
    [[nodiscard]] SongRowModel& queueRows() const { return form_.queueRows(); }
    [[nodiscard]] SongRowModel& playRows() const { return form_.playRows(); }
    [[nodiscard]] SongRowModel& cardRows() const { return form_.cardRows(); }
    [[nodiscard]] const ProgressModel& progressRows() const { return form_.progressRows(); }
    [[nodiscard]] download::Downloader& downloader() const { return form_.downloader(); }
    [[nodiscard]] const download::ProgressBoard& progressBoard() const {
        return form_.progressBoard();
    }
    [[nodiscard]] player::PlaybackCoordinator& playback() const { return form_.playback(); }
    [[nodiscard]] const search::Engine& engine() const { return form_.engine(); }
    [[nodiscard]] const search::Hosts& serviceHosts() const { return form_.serviceHosts(); }
    // Shows the play list after a test has set it, as the window's own actions do.
    void showPlayList() const { form_.showPlayList(); }

private:
    TForm1& form_;
};

}  // namespace melorin::testing

namespace melorin {

// Beside TForm1, so that `inside(form)` needs no using-declaration.
inline testing::WindowInside inside(TForm1& form) {
    return testing::WindowInside(form);
}

}  // namespace melorin
