// The search handlers of the main window: requests, completed pages, progress, stop, refresh and
// the actions on the result list. The rules live in the search library; these only move data
// between the controls and it.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <unordered_set>
#include <vector>

#include "app/mainwindow.h"
#include "app/webbrowser.h"
#include "core/webaddress.h"
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
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(Button7, &QPushButton::clicked, this, &TForm1::Button7Click);
    connect(Button9, &QPushButton::clicked, this, &TForm1::Button9Click);
    connect(SeSkinComboBox1, &QComboBox::currentIndexChanged, this, &TForm1::SeSkinComboBox1Change);
    connect(manlistbtn, &QToolButton::clicked, this, &TForm1::manlistbtnClick);
    connect(womanlistbtn, &QToolButton::clicked, this, &TForm1::womanlistbtnClick);
    connect(musiclist, &QToolButton::clicked, this, &TForm1::musiclistClick);
    connect(singerlistbtn, &QToolButton::clicked, this, &TForm1::singerlistbtnClick);
    connect(SeSkinSpeedButton1, &QToolButton::clicked, this, &TForm1::menubtnClick);
    connect(stopbtn, &QToolButton::clicked, this, &TForm1::stopbtnClick);
    connect(SeSkinSpeedButton2, &QToolButton::clicked, this, &TForm1::SeSkinSpeedButton2Click);
    connect(WebBrowser1, &WebBrowser::DocumentComplete, this, &TForm1::WebBrowser1DocumentComplete);
    connect(WebBrowser2, &WebBrowser::DocumentComplete, this, &TForm1::WebBrowser2DocumentComplete);
    connect(WebBrowser1, &WebBrowser::ProgressChange, this, &TForm1::WebBrowser1ProgressChange);
    connect(WebBrowser2, &WebBrowser::ProgressChange, this, &TForm1::WebBrowser1ProgressChange);
    connect(ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected) {
                for (const QModelIndex& index : selected.indexes()) {
                    if (index.column() != 0) continue;
                    // A list entry starts a search that clears the list: nothing after it counts.
                    if (ListView1SelectItem(index.row())) return;
                }
            });
    ListView1->viewport()->installEventFilter(this);
}

search::SearchState TForm1::searchState() const {
    return {SearchPage, SearchRowCount, SearchStopped, LocalIp.toStdString()};
}

void TForm1::takeSearchState(const search::SearchState& s) {
    SearchPage = s.searchPage;
    SearchRowCount = s.searchRowCount;
    SearchStopped = s.searchStopped;
    LocalIp = QString::fromStdString(s.localIp);
}

void TForm1::runRequest(const search::Request& r) {
    takeSearchState(r.state);
    if (r.focusSearchBox) Edit1->setFocus();
    if (r.clearList) ListView1->clearRows();
    if (r.resetCountLabel) resultlabel->setText(kCountLabelInitial);
    if (r.headerIcon) ListView1->setHeaderImageIndex(*r.headerIcon);
    if (!r.address) return;
    WebBrowser* browser = r.browser == search::Browser::Results ? WebBrowser1 : WebBrowser2;
    browser->setVisible(false);
    browser->Navigate(wireUrl(*r.address));
    browser->setVisible(false);
}

void TForm1::Button1Click() {
    runRequest(search::searchRequest(hosts_, searchState(), Edit1->text().toStdString(),
                                     SeSkinComboBox1->currentIndex()));
}

void TForm1::Button9Click() {
    runRequest(search::nextPageRequest(hosts_, searchState(), Edit1->text().toStdString(),
                                       SeSkinComboBox1->currentIndex()));
}

void TForm1::SeSkinComboBox1Change() {
    if (SeSkinComboBox1->currentText().isEmpty()) return;
    runRequest(search::typeChangedRequest(hosts_, searchState(), Edit1->text().toStdString(),
                                          SeSkinComboBox1->currentIndex()));
}

void TForm1::manlistbtnClick() {
    runRequest(search::listPageRequest(hosts_, searchState(), search::ListPage::MaleSingers));
}
void TForm1::womanlistbtnClick() {
    runRequest(search::listPageRequest(hosts_, searchState(), search::ListPage::FemaleSingers));
}
void TForm1::musiclistClick() {
    runRequest(search::listPageRequest(hosts_, searchState(), search::ListPage::Songs));
}
void TForm1::singerlistbtnClick() {
    runRequest(search::listPageRequest(hosts_, searchState(), search::ListPage::AllSingers));
}
void TForm1::menubtnClick() {
    runRequest(search::albumRequest(hosts_, searchState(), Edit1->text().toStdString(),
                                    SeSkinComboBox1->currentIndex()));
}

void TForm1::WebBrowser1DocumentComplete() {
    Memo1->clear();
    const PageDocument* doc = WebBrowser1->Document();
    if (doc == nullptr) {
        ui_.showMessage(this, kNoNetwork);
        return;
    }
    Memo1->setPlainText(doc->bodyText);
    Button7Click();
}

void TForm1::Button7Click() {
    const PageDocument* doc = WebBrowser1->Document();
    if (doc == nullptr) return;
    const std::vector<search::PageLink> links = pageLinks(*doc);
    const std::string body = Memo1->toPlainText().toStdString();
    std::unordered_set<std::string> known;
    for (int i = 0; i < ListView1->rowCount(); ++i)
        known.insert(ListView1->subItem(i, 1).toStdString());

    search::ListContext list;
    list.kindIndex = SeSkinComboBox1->currentIndex();
    list.headerIcon = ListView1->headerImageIndex();
    list.rowsBefore = static_cast<std::size_t>(ListView1->rowCount());
    list.knownAddresses = &known;
    list.countShown = resultlabel->text() != kCountLabelInitial;
    list.ipShown = windowTitle().contains(QStringLiteral("本机ip为"));
    const search::ResultPageRead out =
        search::readResultPage(hosts_, searchState(), {links, body}, list);

    const int firstNew = ListView1->rowCount();
    for (const core::SongRow& r : out.rows) {
        ListView1->appendRow({QString::fromStdString(r.caption),
                              r.icon,
                              {QString::fromStdString(r.title), QString::fromStdString(r.address),
                               QString::fromStdString(r.size), QString::fromStdString(r.type)}});
    }
    if (!out.rows.empty()) ListView1->fitColumnsToRows(firstNew);
    takeSearchState(out.state);
    if (out.countLabel) resultlabel->setText(QString::fromStdString(*out.countLabel));
    if (out.captionSuffix)
        setWindowTitle(windowTitle() + QString::fromStdString(*out.captionSuffix));
    if (out.requestNextPage) Button9Click();
}

void TForm1::WebBrowser2DocumentComplete() {
    const PageDocument* doc = WebBrowser2->Document();
    if (doc == nullptr) {
        ui_.showMessage(this, kNoNetwork);
        return;
    }
    const std::vector<search::PageLink> links = pageLinks(*doc);
    const int firstNew = ListView1->rowCount();
    const auto entries = search::readListPage(hosts_, links, static_cast<std::size_t>(firstNew));
    for (const core::SongRow& e : entries) {
        ListView1->appendRow(
            {QString::fromStdString(e.caption),
             0,
             {QString::fromStdString(e.title), QString::fromStdString(e.address)}});
    }
    if (!entries.empty()) ListView1->fitColumnsToRows(firstNew);
}

void TForm1::WebBrowser1ProgressChange(int progress, int maximum) {
    SeSkinProgressBar6->setMaximum(maximum);
    SeSkinProgressBar6->setValue(progress);
}

void TForm1::stopbtnClick() {
    SearchStopped = true;
    WebBrowser1->Stop();
}

void TForm1::SeSkinSpeedButton2Click() {
    ListView1->clearRows();
    Button1->click();
}

bool TForm1::ListView1SelectItem(int row) {
    const ui::ListRow r = ListView1->row(row);
    if (r.subItems.size() >= 3) return false;
    Edit1->setText(r.subItems.value(0));
    // The search clears the list, which would delete the row whose selection is still being
    // reported; it runs as soon as that notification has returned.
    QMetaObject::invokeMethod(Button1, &QPushButton::click, Qt::QueuedConnection);
    return true;
}

void TForm1::ListView1DblClick() {
    const QList<int> selected = ListView1->selectedRowIndexes();
    if (selected.isEmpty()) return;
    const QString address = ListView1->subItem(selected.first(), 1);
    // The address comes from a page: anything but a web address is refused, and said so.
    if (!core::isWebAddress(address.toStdString())) {
        downinimemo->appendPlainText(
            QString::fromStdString(core::notOpenedLine(address.toStdString())));
        return;
    }
    ui_.openAddress(address);
}

}  // namespace melorin
