#pragma once

// How the main window fits itself to the screen at start-up. The design is made for a
// 1024 x 768 screen; the scale is the smaller of the available width over 1024 and the available
// height over 768, so the window always lies inside the available area whatever the screen's
// shape. Where the design size fits, the scale is never below 1.

namespace melorin::core {

struct Ratio {
    int num = 1;
    int den = 1;
    [[nodiscard]] int apply(int v) const {
        return static_cast<int>(static_cast<long long>(v) * num / den);
    }
    [[nodiscard]] double factor() const { return static_cast<double>(num) / den; }
    [[nodiscard]] bool isIdentity() const { return num == den; }
};

struct FitInput {
    // The screen's available area: the screen less its panels and docks.
    int availableWidth = 1024;
    int availableHeight = 768;
    int windowWidth = 0;  // design outer size, frame included
    int windowHeight = 0;
    // Design sizes the final size is derived from: the width from two controls, the height
    // from the client area and the frame (its caption bar scales, its border does not).
    int panel2Width = 0;
    int listView1Width = 0;
    int clientHeight = 0;
    int captionHeight = 0;
    int frameBorder = 0;
};

struct FitResult {
    bool scaled = false;
    Ratio controls;       // applied to positions, sizes and fonts of every control
    int windowWidth = 0;  // final outer size
    int windowHeight = 0;
};

// Unscaled: the design size. Scaled: width = Panel2 + ListView1 + 10, height = the client area
// and the caption bar scaled, and the frame's two borders, so that the scaled client fills the
// window without a gap; each size scaled (and truncated) on its own.
[[nodiscard]] FitResult fitToScreen(const FitInput& in);

}  // namespace melorin::core
