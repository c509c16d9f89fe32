#include "app/core/screenfit.h"

namespace melorin {

FitResult fitToScreen(const FitInput& in) {
    FitResult r;
    r.windowWidth = in.windowWidth;
    r.windowHeight = in.windowHeight;
    r.heightAfterStep1 = in.windowHeight;
    r.widthAfterStep2 = in.windowWidth;
    // Only the width decides; a 1024-wide screen of any height keeps the design size.
    if (in.screenWidth == 1024 || in.screenWidth <= 0) return r;

    r.scaled = true;
    r.controls = Ratio{in.screenWidth, 1024};
    r.heightAfterStep1 = static_cast<int>(static_cast<long long>(in.screenHeight) * in.windowHeight / 768);
    r.widthAfterStep2 = static_cast<int>(static_cast<long long>(in.screenWidth) * in.windowWidth / 1024);
    const Ratio& k = r.controls;
    r.windowWidth = k.apply(in.panel2Width) + k.apply(in.listView1Width) + 10;
    r.windowHeight = k.apply(in.listView1Height) + k.apply(in.playPanelHeight) + k.apply(in.playListHeight);
    return r;
}

}  // namespace melorin
