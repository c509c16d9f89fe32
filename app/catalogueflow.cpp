// The music catalogues' searches in the main window: a page over plain HTTP, then its items (a
// few at once), their rows appended in the page's order as they come in, then the next page;
// every end says in the status bar how it went. The engines read the answers; this only
// fetches what they ask for and moves rows into the list.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <algorithm>

#include "app/controls.h"
#include "app/mainwindow.h"
#include "app/songrowmodel.h"
#include "app/webbrowser.h"
#include "core/httpget.h"
#include "search/cataloguetext.h"
#include "ui/uiport.h"

namespace melorin {

void TForm1::fetchCataloguePage(const std::string& address) {
    // The default engine's page may still be loading when the catalogue is chosen.
    resultView_.WebBrowser1->Stop();
    catalogueSearch.running = true;
    catalogueSearch.items = search::ItemOrder();
    WebBrowser1ProgressChange(0, 1);
    catalogueHttp_->get(address,
                        [this](const core::GetAnswer& answer) { cataloguePageArrived(answer); });
}

void TForm1::cataloguePageArrived(const core::GetAnswer& answer) {
    const search::Engine& e = engine();
    if (!answer.ok()) {
        endCatalogueSearch(search::failureLine(e.shortName(), answer),
                           answer.failure == core::GetFailure::Unreachable);
        return;
    }
    const search::PageReading read = e.readPage(searchSession.state, {answer.body}, listContext());
    if (read.failure) {
        endCatalogueSearch(*read.failure);
        return;
    }
    search::ResultPageRead page = read.page;
    std::vector<core::SongRow> rows = std::move(page.rows);
    page.rows.clear();
    showPageRead(page);
    if (!appendCatalogueRows(std::move(rows))) return;
    if (read.items.empty()) {
        WebBrowser1ProgressChange(1, 1);
        continueCatalogueSearch(page.requestNextPage);
        return;
    }
    catalogueSearch.items = search::ItemOrder(read.items.size());
    catalogueSearch.pageGoesOn = page.requestNextPage;
    WebBrowser1ProgressChange(0, static_cast<int>(read.items.size()));
    for (std::size_t i = 0; i < read.items.size(); ++i) {
        const search::ItemRef& item = read.items[i];
        catalogueHttp_->get(item.address, [this, i, item](const core::GetAnswer& a) {
            catalogueItemArrived(i, item, a);
        });
    }
}

void TForm1::catalogueItemArrived(std::size_t index, const search::ItemRef& item,
                                  const core::GetAnswer& answer) {
    const search::Engine& e = engine();
    CatalogueSearch& run = catalogueSearch;
    if (!answer.ok()) {
        // Without a network the other items fare no better; one item's bad answer spoils
        // only that item.
        if (answer.failure == core::GetFailure::Unreachable ||
            answer.failure == core::GetFailure::TimedOut) {
            endCatalogueSearch(search::failureLine(e.shortName(), answer),
                               answer.failure == core::GetFailure::Unreachable);
            return;
        }
        ++run.unreadItems;
        run.items.put(index, {});
    } else {
        search::ItemReading read = e.readItem(item, {answer.body}, listContext());
        if (!read.readable) ++run.unreadItems;
        run.items.put(index, std::move(read.rows));
    }
    if (!appendCatalogueRows(run.items.takeReady())) return;
    WebBrowser1ProgressChange(static_cast<int>(run.items.arrived()),
                              static_cast<int>(run.items.size()));
    if (run.items.complete()) continueCatalogueSearch(run.pageGoesOn && run.items.anyRows());
}

bool TForm1::appendCatalogueRows(std::vector<core::SongRow> rows) {
    const int room = search::kCatalogueRowLimit - resultRows_->size();
    const bool full = static_cast<int>(rows.size()) >= room;
    if (full) rows.resize(static_cast<std::size_t>(std::max(room, 0)));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rows[i].caption = std::to_string(static_cast<std::size_t>(resultRows_->size()) + i + 1);
    }
    appendResults(rows);
    searchSession.state.searchRowCount = resultRows_->size();
    if (full) {
        endCatalogueSearch(search::endLine(engine().shortName(), search::SearchEnd::RowLimit,
                                           resultRows_->size(), catalogueSearch.unreadItems));
    }
    return !full;
}

void TForm1::continueCatalogueSearch(bool pageAddedRows) {
    const search::Engine& e = engine();
    const search::Request next =
        pageAddedRows ? e.nextPage(searchSession.state, searchBar_.Edit1->text().toStdString(),
                                   searchBar_.SeSkinComboBox1->currentIndex())
                      : search::Request{};
    if (!next.address) {
        endCatalogueSearch(search::endLine(e.shortName(), search::SearchEnd::Done,
                                           resultRows_->size(), catalogueSearch.unreadItems));
        return;
    }
    runRequest(next);
}

void TForm1::endCatalogueSearch(const std::string& line, bool noNetwork) {
    catalogueHttp_->cancelAll();
    catalogueSearch.running = false;
    controls::setBarValue(searchBar_.SeSkinProgressBar6, searchBar_.SeSkinProgressBar6->maximum());
    // A catalogue that tells no total shows how many rows it gave.
    if (!searchSession.countShown) {
        searchBar_.resultlabel->setText(QStringLiteral(" 搜索结果  %1").arg(resultRows_->size()));
        searchSession.countShown = true;
    }
    showSearchStatus(line);
    if (noNetwork) ui_.showMessage(this, QString::fromStdString(line));
}

void TForm1::showSearchStatus(const std::string& line) {
    statusBar_.searchStatus->setText(QString::fromStdString(line));
}

void TForm1::stopAllSearches() {
    resultView_.WebBrowser1->Stop();
    resultView_.WebBrowser2->Stop();
    catalogueHttp_->cancelAll();
    catalogueSearch = {};
}

}  // namespace melorin
