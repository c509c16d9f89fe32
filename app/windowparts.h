#pragma once

// The main window's controls, a struct a view, under their form names. The window keeps them
// private; app/README.md maps each control to its handler, flow file and library calls.

#include <QVector>

#include "app/controls.h"  // declares the control classes the views hold

namespace melorin {
class BrowserComponent;
class WebBrowser;

// Panel1 across the top: engine and kind boxes, the search box and its buttons, and the tool
// bar with the search progress, the list-page buttons and the count label.
struct SearchBar {
    QFrame* Panel1 = nullptr;
    QComboBox* SeSkinComboBox2 = nullptr;  // the engine
    QComboBox* SeSkinComboBox1 = nullptr;  // the kind: MP3 … FLASH
    QLineEdit* Edit1 = nullptr;
    QPushButton* Button1 = nullptr;  // "搜索", the window's default button
    QPushButton* SeSkinButton1 = nullptr;
    QWidget* SeSkinToolBar1 = nullptr;
    QLabel* SeSkinLabel1 = nullptr;
    QProgressBar* SeSkinProgressBar6 = nullptr;
    QToolButton* SeSkinSpeedButton2 = nullptr;
    QToolButton* stopbtn = nullptr;
    QToolButton* manlistbtn = nullptr;
    QToolButton* womanlistbtn = nullptr;
    QToolButton* SeSkinSpeedButton1 = nullptr;
    QToolButton* musiclist = nullptr;
    QToolButton* singerlistbtn = nullptr;
    QLabel* resultlabel = nullptr;
};

// Panel2 down the left: the three view buttons, and the two hidden boxes that hold the
// connections per file and in all.
struct FunctionPanel {
    QFrame* Panel2 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;
    QPushButton* Button5 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* threedit = nullptr;
};

// The result list, and what fills it unseen: the two search browsers (result pages, list
// pages, read without a browser engine), the page text memo and the two hidden buttons that
// read a page and ask for the next.
struct ResultView {
    ui::ReportView* ListView1 = nullptr;
    BrowserComponent* WebBrowser1 = nullptr;
    BrowserComponent* WebBrowser2 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* Button7 = nullptr;
    QPushButton* Button9 = nullptr;
};

// SeSkinPanel1 under the result list: the buttons that move selected results to the three
// lists, the play list with its buttons, and the player page with its loading label.
struct PlayPanel {
    QFrame* SeSkinPanel1 = nullptr;
    QWidget* SeSkinToolBar3 = nullptr;
    QToolButton* dragplaybtn = nullptr;
    QToolButton* dragdownbtn = nullptr;
    QToolButton* dragcardbtn = nullptr;
    QToolButton* playdelbtn = nullptr;
    QToolButton* playclear = nullptr;
    QToolButton* playsavebtn = nullptr;
    QToolButton* playloadbtn = nullptr;
    QToolButton* playnowbtn = nullptr;  // never shown
    QPushButton* SeSkinButton4 = nullptr;
    ui::ReportView* playListView = nullptr;
    WebBrowser* WebBrowser3 = nullptr;
    QLabel* SeSkinLabel4 = nullptr;
};

// Iesetpanel, the download view: the queue and its buttons, the log, the progress list and
// the five worker bars.
struct DownloadView {
    QFrame* Iesetpanel = nullptr;
    ui::ReportView* downloadlistview = nullptr;
    QPushButton* downbtn = nullptr;
    QPushButton* delbtn = nullptr;
    QPushButton* delallbtn = nullptr;
    QPushButton* SeSkinButton3 = nullptr;
    QPlainTextEdit* downinimemo = nullptr;
    QLabel* SeSkinLabel2 = nullptr;
    ui::ReportView* downloadnow = nullptr;
    QVector<QProgressBar*> workerBars;  // SeSkinProgressBar1 to SeSkinProgressBar5
};

// setpanel, the card view: the card list, the preview, the title and text boxes with the
// editor's tool bar, and the page buttons.
struct CardView {
    QFrame* setpanel = nullptr;
    ui::ReportView* cardlistview = nullptr;
    QPushButton* cancelbtn = nullptr;
    WebBrowser* WebBrowser4 = nullptr;
    QFrame* SeSkinPanel2 = nullptr;
    QLineEdit* nameedit = nullptr;
    QPlainTextEdit* iememo = nullptr;
    QWidget* SeSkinToolBar2 = nullptr;
    QToolButton* htmlrunbtn = nullptr;
    QToolButton* h1btn = nullptr;
    QToolButton* h2btn = nullptr;
    QToolButton* h3btn = nullptr;
    QToolButton* h4btn = nullptr;
    QToolButton* bigbtn = nullptr;
    QToolButton* strongbtn = nullptr;
    QToolButton* ibtn = nullptr;
    QToolButton* ubtn = nullptr;
    QToolButton* centrebtn = nullptr;
    QToolButton* picbtn = nullptr;
    QToolButton* backbtn = nullptr;
    QComboBox* colorcombox = nullptr;
    QComboBox* fontsizecombox = nullptr;
    QPushButton* previewbtn = nullptr;
    QPushButton* cardsurebtn = nullptr;  // never shown
    QPushButton* iesetbtn = nullptr;
};

// SeSkinStatusBar1 along the bottom: four text panels, the pass's progress once a pass has
// begun, then how a catalogue search went.
struct StatusBar {
    QFrame* SeSkinStatusBar1 = nullptr;
    QVector<QLabel*> statusPanels;
    QLabel* passStatus = nullptr;  // the download pass's files and percent, beside them
    QLabel* searchStatus = nullptr;
};

}  // namespace melorin
