#pragma once

class QApplication;
class QWidget;

namespace melorin::ui {

// The two skins. Each control names the one that draws it: "sky" draws the frame, bars, panels
// and buttons; "paper" draws lists, edit boxes, drop-down lists, memos and progress bars.
enum class Skin { Sky, Paper };

void assignSkin(QWidget* widget, Skin skin);
// Loads both skins' style sheets (compressed in the program's resources) into the application.
void applySkins(QApplication& app);

}  // namespace melorin::ui
