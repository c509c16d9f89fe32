#include "core/screenfit.h"

namespace melorin::core {

namespace {
constexpr int kDesignScreenWidth = 1024;
constexpr int kDesignScreenHeight = 768;
}  // namespace

FitResult fitToScreen(const FitInput& in) {
    FitResult r;
    r.windowWidth = in.windowWidth;
    r.windowHeight = in.windowHeight;
    if (in.availableWidth <= 0 || in.availableHeight <= 0) return r;

    // The smaller ratio, compared without rounding: w / 1024 <= h / 768.
    const bool widthDecides = static_cast<long long>(in.availableWidth) * kDesignScreenHeight <=
                              static_cast<long long>(in.availableHeight) * kDesignScreenWidth;
    Ratio k = widthDecides ? Ratio{in.availableWidth, kDesignScreenWidth}
                           : Ratio{in.availableHeight, kDesignScreenHeight};
    const bool designFits =
        in.windowWidth <= in.availableWidth && in.windowHeight <= in.availableHeight;
    if (k.num < k.den && designFits) k = Ratio{};
    if (k.isIdentity()) return r;

    r.scaled = true;
    r.controls = k;
    r.windowWidth = k.apply(in.panel2Width) + k.apply(in.listView1Width) + 10;
    r.windowHeight = k.apply(in.clientHeight) + k.apply(in.captionHeight) + 2 * in.frameBorder;
    return r;
}

}  // namespace melorin::core
