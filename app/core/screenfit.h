#pragma once

// How the main window fits itself to the screen at start-up. The design is made for a
// 1024-pixel-wide screen; any other width scales every control by width/1024 (integer,
// truncating), after which the window's outer size is derived from a few scaled controls.

namespace melorin {

struct Ratio {
    int num = 1;
    int den = 1;
    [[nodiscard]] int apply(int v) const { return static_cast<int>(static_cast<long long>(v) * num / den); }
    [[nodiscard]] bool isIdentity() const { return num == den; }
};

struct FitInput {
    int screenWidth = 1024;
    int screenHeight = 768;
    int windowWidth = 0;   // outer size, frame included
    int windowHeight = 0;
    // Design sizes of the controls the final size is derived from.
    int panel2Width = 0;
    int listView1Width = 0;
    int listView1Height = 0;
    int playPanelHeight = 0;
    int playListHeight = 0;
};

struct FitResult {
    bool scaled = false;
    Ratio controls;           // applied to positions, sizes and fonts of every control
    int heightAfterStep1 = 0; // screen height * window height / 768, before the final size
    int widthAfterStep2 = 0;
    int windowWidth = 0;      // final outer size
    int windowHeight = 0;
};

[[nodiscard]] FitResult fitToScreen(const FitInput& in);

}  // namespace melorin
