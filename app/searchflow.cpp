// The search handlers of the main window: requests, completed pages, progress, stop, refresh and
// the actions on the result list. The rules live in the search library; these only move data
// between the controls and it.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <vector>

#include "app/browsercomponent.h"
#include "app/controls.h"
#include "app/mainwindow.h"
#include "app/songrowmodel.h"
#include "core/httpget.h"
#include "core/webaddress.h"
#include "search/cataloguetext.h"
#include "search/pages.h"
#include "ui/reportview.h"
#include "ui/uiport.h"

namespace melorin {

namespace {
const QString kCountLabelInitial = QStringLiteral("搜索结果为:");
const QString kNoNetwork = QStringLiteral("请检查网络连接!");

QUrl wireUrl(const std::string& address) {
    return QUrl::fromEncoded(QByteArray::fromStdString(address));
}

std::vector<search::PageLink> pageLinks(const PageDocument& doc) {
    std::vector<search::PageLink> links;
    links.reserve(static_cast<std::size_t>(doc.links.size()));
    for (const PageLink& l : doc.links)
        links.push_back({l.href.toStdString(), l.innerText.toStdString()});
    return links;
}
}  // namespace

void TForm1::connectSearchFlow() {
    connect(searchBar_.Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(resultView_.Button7, &QPushButton::clicked, this, &TForm1::Button7Click);
    connect(resultView_.Button9, &QPushButton::clicked, this, &TForm1::Button9Click);
    connect(searchBar_.SeSkinComboBox1, &QComboBox::currentIndexChanged, this,
            &TForm1::SeSkinComboBox1Change);
    connect(searchBar_.SeSkinComboBox2, &QComboBox::currentIndexChanged, this,
            &TForm1::SeSkinComboBox2Change);
    connect(searchBar_.manlistbtn, &QToolButton::clicked, this, &TForm1::manlistbtnClick);
    connect(searchBar_.womanlistbtn, &QToolButton::clicked, this, &TForm1::womanlistbtnClick);
    connect(searchBar_.musiclist, &QToolButton::clicked, this, &TForm1::musiclistClick);
    connect(searchBar_.singerlistbtn, &QToolButton::clicked, this, &TForm1::singerlistbtnClick);
    connect(searchBar_.SeSkinSpeedButton1, &QToolButton::clicked, this, &TForm1::menubtnClick);
    connect(searchBar_.stopbtn, &QToolButton::clicked, this, &TForm1::stopbtnClick);
    connect(searchBar_.SeSkinSpeedButton2, &QToolButton::clicked, this,
            &TForm1::SeSkinSpeedButton2Click);
    connect(resultView_.WebBrowser1, &BrowserComponent::DocumentComplete, this,
            &TForm1::WebBrowser1DocumentComplete);
    connect(resultView_.WebBrowser2, &BrowserComponent::DocumentComplete, this,
            &TForm1::WebBrowser2DocumentComplete);
    connect(resultView_.WebBrowser1, &BrowserComponent::ProgressChange, this,
            &TForm1::WebBrowser1ProgressChange);
    connect(resultView_.WebBrowser2, &BrowserComponent::ProgressChange, this,
            &TForm1::WebBrowser1ProgressChange);
    connect(resultView_.ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected) {
                if (selectingAllResults_) return;
                for (const QModelIndex& index : selected.indexes()) {
                    if (index.column() != 0) continue;
                    // A list entry starts a search that clears the list: nothing after it counts.
                    if (ListView1SelectItem(resultView_.ListView1->modelRow(index))) return;
                }
            });
    resultView_.ListView1->viewport()->installEventFilter(this);
}

void TForm1::runRequest(const search::Request& r) {
    searchSession.state = r.state;
    if (r.focusSearchBox) searchBar_.Edit1->setFocus();
    if (r.clearList) clearResults();
    if (r.resetCountLabel) {
        searchBar_.resultlabel->setText(kCountLabelInitial);
        searchSession.countShown = false;
    }
    if (r.headerIcon) resultRows_->setHeaderIcon(*r.headerIcon);
    if (r.clearList) {
        // The catalogue search before this one ends here; its answers no longer count.
        catalogueHttp_->cancelAll();
        catalogueSearch = {};
        showSearchStatus({});
    }
    if (r.statusLine) showSearchStatus(*r.statusLine);
    if (!r.address) return;
    if (r.browser == search::Browser::Results && engine().transport() == search::Transport::Http) {
        fetchCataloguePage(*r.address);
        return;
    }
    BrowserComponent* browser =
        r.browser == search::Browser::Results ? resultView_.WebBrowser1 : resultView_.WebBrowser2;
    browser->setVisible(false);
    browser->Navigate(wireUrl(*r.address));
    browser->setVisible(false);
}

void TForm1::Button1Click() {
    runRequest(engine().search(searchSession.state, searchBar_.Edit1->text().toStdString(),
                               searchBar_.SeSkinComboBox1->currentIndex()));
}

void TForm1::Button9Click() {
    runRequest(engine().nextPage(searchSession.state, searchBar_.Edit1->text().toStdString(),
                                 searchBar_.SeSkinComboBox1->currentIndex()));
}

void TForm1::SeSkinComboBox1Change() {
    // A kind chosen with text in the search box searches again, with the engine chosen.
    if (searchBar_.SeSkinComboBox1->currentText().isEmpty() || searchBar_.Edit1->text().isEmpty())
        return;
    Button1Click();
}

const search::Engine& TForm1::engine() const {
    const int i =
        searchBar_.SeSkinComboBox2 == nullptr ? 0 : searchBar_.SeSkinComboBox2->currentIndex();
    return *engines_[i >= 0 && i < static_cast<int>(engines_.size()) ? static_cast<std::size_t>(i)
                                                                     : 0];
}

void TForm1::SeSkinComboBox2Change() {
    // The box is narrower than the catalogues' names: a tip names the engine when it is cut.
    QStyleOptionComboBox box;
    box.initFrom(searchBar_.SeSkinComboBox2);
    const QRect field = searchBar_.SeSkinComboBox2->style()->subControlRect(
        QStyle::CC_ComboBox, &box, QStyle::SC_ComboBoxEditField, searchBar_.SeSkinComboBox2);
    const QString name = searchBar_.SeSkinComboBox2->currentText();
    const bool cut =
        searchBar_.SeSkinComboBox2->fontMetrics().horizontalAdvance(name) > field.width();
    searchBar_.SeSkinComboBox2->setToolTip(cut ? name : QString());
    // The search of the engine chosen before ends; a search box with text searches again.
    stopAllSearches();
    showSearchStatus({});
    if (searchBar_.Edit1->text().isEmpty()) return;
    Button1Click();
}

bool TForm1::listPagesOffered() {
    if (engine().hasListPages()) return true;
    showSearchStatus(search::listPagesLine());
    return false;
}

void TForm1::manlistbtnClick() {
    if (!listPagesOffered()) return;
    runRequest(search::listPageRequest(hosts_, searchSession.state, search::ListPage::MaleSingers));
}
void TForm1::womanlistbtnClick() {
    if (!listPagesOffered()) return;
    runRequest(
        search::listPageRequest(hosts_, searchSession.state, search::ListPage::FemaleSingers));
}
void TForm1::musiclistClick() {
    if (!listPagesOffered()) return;
    runRequest(search::listPageRequest(hosts_, searchSession.state, search::ListPage::Songs));
}
void TForm1::singerlistbtnClick() {
    if (!listPagesOffered()) return;
    runRequest(search::listPageRequest(hosts_, searchSession.state, search::ListPage::AllSingers));
}
void TForm1::menubtnClick() {
    if (!listPagesOffered()) return;
    runRequest(search::albumRequest(hosts_, searchSession.state,
                                    searchBar_.Edit1->text().toStdString(),
                                    searchBar_.SeSkinComboBox1->currentIndex()));
}

void TForm1::WebBrowser1DocumentComplete() {
    // A page still on its way when another engine was chosen belongs to no search.
    if (engine().transport() != search::Transport::Browser) return;
    resultView_.Memo1->clear();
    const PageDocument* doc = resultView_.WebBrowser1->Document();
    if (doc == nullptr) {
        ui_.showMessage(this, kNoNetwork);
        return;
    }
    resultView_.Memo1->setPlainText(doc->bodyText);
    Button7Click();
}

void TForm1::Button7Click() {
    const PageDocument* doc = resultView_.WebBrowser1->Document();
    if (doc == nullptr) return;
    const std::vector<search::PageLink> links = pageLinks(*doc);
    const std::string body = resultView_.Memo1->toPlainText().toStdString();
    const search::PageReading read =
        engine().readPage(searchSession.state, {body, links}, listContext());
    showPageRead(read.page);
    if (read.page.requestNextPage) Button9Click();
}

search::ListContext TForm1::listContext() const {
    search::ListContext list;
    list.kindIndex = searchBar_.SeSkinComboBox1->currentIndex();
    list.headerIcon = resultRows_->headerIcon();
    list.rowsBefore = static_cast<std::size_t>(resultRows_->size());
    list.knownAddresses = &searchSession.knownAddresses;
    list.countShown = searchSession.countShown;
    list.ipShown = searchSession.ipShown;
    return list;
}

void TForm1::showPageRead(const search::ResultPageRead& out) {
    appendResults(out.rows);
    searchSession.state = out.state;
    if (out.countLabel) {
        const QString label = QString::fromStdString(*out.countLabel);
        searchBar_.resultlabel->setText(label);
        // A page without a count leaves the initial text: the next page tries again.
        searchSession.countShown = label != kCountLabelInitial;
    }
    if (out.captionSuffix) {
        setWindowTitle(windowTitle() + QString::fromStdString(*out.captionSuffix));
        searchSession.ipShown = true;
    }
}

void TForm1::WebBrowser2DocumentComplete() {
    if (!engine().hasListPages()) return;  // loaded for the engine chosen before
    const PageDocument* doc = resultView_.WebBrowser2->Document();
    if (doc == nullptr) {
        ui_.showMessage(this, kNoNetwork);
        return;
    }
    const std::vector<search::PageLink> links = pageLinks(*doc);
    appendResults(
        search::readListPage(hosts_, links, static_cast<std::size_t>(resultRows_->size())));
}

void TForm1::appendResults(const std::vector<core::SongRow>& rows) {
    if (rows.empty()) return;
    const int firstNew = resultRows_->size();
    for (const core::SongRow& r : rows) searchSession.knownAddresses.insert(r.address);
    resultRows_->appendRows(rows);
    // Measured once the chain's next request is on its way: the widths then cost no time
    // between two pages of a search.
    if (!resultsToFit_) {
        QTimer::singleShot(0, this, [this] {
            const int from = resultsToFit_.value_or(0);
            resultsToFit_.reset();
            resultView_.ListView1->fitColumnsToRows(from);
        });
    }
    resultsToFit_ = std::min(resultsToFit_.value_or(firstNew), firstNew);
}

void TForm1::clearResults() {
    unsortResults();
    resultRows_->clear();
    searchSession.knownAddresses.clear();
    // A new result set gets columns of its own: an earlier list's long addresses do not push
    // "大小" and "类型" out of view.
    resultView_.ListView1->fitColumns();
}

void TForm1::WebBrowser1ProgressChange(int progress, int maximum) {
    searchBar_.SeSkinProgressBar6->setMaximum(maximum);
    controls::setBarValue(searchBar_.SeSkinProgressBar6, progress);
}

void TForm1::stopbtnClick() {
    searchSession.state.searchStopped = true;
    resultView_.WebBrowser1->Stop();
    if (catalogueSearch.running) {
        endCatalogueSearch(search::endLine(engine().shortName(), search::SearchEnd::Stopped,
                                           resultRows_->size(), catalogueSearch.unreadItems));
    }
}

void TForm1::SeSkinSpeedButton2Click() {
    clearResults();
    searchBar_.Button1->click();
}

bool TForm1::ListView1SelectItem(int row) {
    const core::SongRow r = resultRows_->row(row);
    if (r.shape != core::RowShape::ListEntry) return false;
    searchBar_.Edit1->setText(QString::fromStdString(r.title));
    // The search clears the list, which would delete the row whose selection is still being
    // reported; it runs as soon as that notification has returned.
    QMetaObject::invokeMethod(searchBar_.Button1, &QPushButton::click, Qt::QueuedConnection);
    return true;
}

void TForm1::ListView1DblClick() {
    const QList<int> selected = resultView_.ListView1->selectedRowIndexes();
    if (selected.isEmpty()) return;
    const QString address = QString::fromStdString(resultRows_->row(selected.first()).address);
    // The address comes from a page: anything but a web address is refused, and said so.
    if (!core::isWebAddress(address.toStdString())) {
        logDownload(QString::fromStdString(core::notOpenedLine(address.toStdString())));
        return;
    }
    ui_.openAddress(address);
}

}  // namespace melorin
