#pragma once

class QApplication;
class QWidget;

namespace melorin::ui {

// The two skins. Each control names the one that draws it: "sky" draws the frame, bars, panels
// and buttons; "paper" draws lists, edit boxes, drop-down lists, memos and progress bars.
enum class Skin { Sky, Paper };

void assignSkin(QWidget* widget, Skin skin);
// The skins' bold texts (captions, the default and the view buttons). Set on the widget's font,
// not in the style sheets, whose font rules would keep the text at one size.
void makeBold(QWidget* widget);
// Loads both skins' style sheets (compressed in the program's resources) into the application.
void applySkins(QApplication& app);

}  // namespace melorin::ui
