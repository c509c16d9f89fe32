#pragma once

// The save-folder chooser `TForm2`: a small window with a folder tree, an edit box for the path
// and "确定". Created hidden at start-up and only shown and hidden afterwards; never modal, so
// the main window stays usable. What "确定" does with the path is the main window's business
// (TForm1::applyChosenFolder): new rows' folder, or the selected rows' save paths.

#include <QPointer>

#include "core/screenfit.h"
#include "ui/skinframe.h"

class QFileSystemModel;
class QLineEdit;
class QModelIndex;
class QPushButton;
class QTreeView;

namespace melorin {

class TForm1;

class TForm2 : public ui::SkinnedWindow {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 158;
    static constexpr int kClientHeight = 264;

    // Attaches itself to the main window, which shows it from its two folder buttons.
    explicit TForm2(TForm1& owner);
    ~TForm2() override;

    // Shows the window in the centre of the desktop without waiting for it.
    void showChooser();
    // The main window is going away: nothing to report to any more.
    void detach() { owner_ = nullptr; }
    // Grows with the main window when it is fitted to a larger screen.
    void scaleWindow(core::Ratio scale);

    QTreeView* ShellTreeView1 = nullptr;
    QFileSystemModel* folders = nullptr;
    QLineEdit* pathedit = nullptr;
    QPushButton* pathbtn = nullptr;

public slots:
    // A mouse click in the tree: its folder's full path goes into pathedit.
    void ShellTreeView1Click(const QModelIndex& index);
    void pathbtnClick();

private:
    QPointer<TForm1> owner_;
};

}  // namespace melorin
