#include "card/tags.h"

#include <algorithm>
#include <array>

namespace melorin::card {
namespace {

constexpr std::array<Tag, 10> kTags{{
    {"htmlrunbtn", "跑", "跑马灯效果", "<br><marquee>", "</marquee>", true},
    {"h1btn", "1", "一号字", "<h1>", "</h1>", true},
    {"h2btn", "2", "二号字", "<h2>", "</h2>", true},
    {"h3btn", "3", "三号字", "<h3>", "</h3>", true},
    {"h4btn", "4", "四号字", "<h4>", "</h4>", true},
    {"bigbtn", "大", "增大", "<big>", "</big>", true},
    {"strongbtn", "重", "加粗", "<strong>", "</strong>", true},
    {"ibtn", "斜", "斜体", "<i>", "</i>", true},
    {"ubtn", "底", "底纹", "<u>", "</u>", true},
    {"centrebtn", "中", "居中", "<center>", "</center>", false},
}};

}  // namespace

std::span<const Tag> tags() {
    return kTags;
}

const Tag* tagOfButton(std::string_view button) {
    const auto* it = std::find_if(kTags.begin(), kTags.end(),
                                  [button](const Tag& t) { return t.button == button; });
    return it == kTags.end() ? nullptr : &*it;
}

}  // namespace melorin::card
