#include "service/catalogue.h"

#include <array>
#include <cstdio>

namespace melorin::service {

namespace {

// Fifteen titles per kind, in Kind order. No title is part of any other text a page shows
// before its own line (the tests check this), so a title finds its own line.
constexpr std::array<std::string_view, 75> kTitles = {
    // mp3
    "月下听风",
    "青石小巷",
    "远山的回声",
    "纸鸢飞过",
    "半城烟雨",
    "萤火森林",
    "晚安北方",
    "海边的信",
    "落叶归途",
    "星光渡口",
    "风吹麦浪时",
    "旧城旧事",
    "蓝色邮筒",
    "南窗夜话",
    "雪落无声",
    // rm
    "梧桐街角",
    "青梅竹影",
    "湖心小舟",
    "铁轨尽头",
    "灯塔守望者",
    "夏日汽水",
    "云端漫步",
    "一路向南风",
    "老唱片",
    "山谷里的钟",
    "秋千架下",
    "白鸽广场",
    "银杏信笺",
    "沙漠玫瑰园",
    "归燕",
    // wma
    "迷途的鲸",
    "琉璃灯火",
    "春眠不觉",
    "红砖墙外",
    "橘子海",
    "竹林深处",
    "晨曦微光",
    "流浪的诗",
    "冬日暖阳",
    "河畔人家",
    "飞鸟与鱼",
    "夜航船",
    "风铃草",
    "镜中花",
    "草原牧曲",
    // asf
    "长街灯影",
    "松间明月",
    "渔火微澜",
    "雨打芭蕉叶",
    "石板路",
    "孤星夜行",
    "樱花信使",
    "时光列车",
    "水墨江南岸",
    "青瓦白墙",
    "蝉鸣午后",
    "星河长梦",
    "古道西行",
    "月光码头",
    "雾里看山",
    // ram
    "碧水长流",
    "北窗听雪",
    "野花小径",
    "桃源深处",
    "梅雨季节",
    "紫藤花架",
    "天边的云",
    "候鸟南飞",
    "烛光晚餐",
    "初雪之夜",
    "灯下读书",
    "山海之间",
    "远行的船",
    "清晨的露",
    "枫叶小屋",
};

// Every style ends in "歌曲", so the single character "歌" matches the whole catalogue.
constexpr std::array<std::string_view, 5> kStyles = {"流行歌曲", "民谣歌曲", "摇滚歌曲", "抒情歌曲",
                                                     "校园歌曲"};

std::string nominalSize(int id) {
    char buf[16];
    if (id % 4 == 3) {
        std::snprintf(buf, sizeof buf, "%d K", 320 + (id * 37) % 680);
    } else {
        const int tenths = 15 + (id * 53) % 84;  // 1.5 to 9.8
        std::snprintf(buf, sizeof buf, "%d.%d M", tenths / 10, tenths % 10);
    }
    return buf;
}

std::vector<Song> buildSongs() {
    std::vector<Song> out;
    const auto& s = singers();
    for (int id = 0; id < static_cast<int>(kTitles.size()); ++id) {
        out.push_back(Song{id, static_cast<Kind>(id / 15), kTitles[id], &s[id % s.size()],
                           kStyles[(id * 7) % kStyles.size()], nominalSize(id)});
    }
    return out;
}

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

std::string_view trimmed(std::string_view s) {
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

}  // namespace

std::string_view kindExtension(Kind kind) {
    static constexpr std::array<std::string_view, kKindCount> ext = {"mp3", "rm", "wma", "asf",
                                                                     "ram"};
    return ext[static_cast<int>(kind)];
}

std::optional<Kind> kindFromExtension(std::string_view ext) {
    for (int k = 0; k < kKindCount; ++k) {
        if (kindExtension(static_cast<Kind>(k)) == ext) return static_cast<Kind>(k);
    }
    return std::nullopt;
}

const std::vector<Singer>& singers() {
    static const std::vector<Singer> all = {
        {"沈墨川", true, "听风集"},    {"苏晚晴", false, "山水谣"},  {"顾远舟", true, "城南旧梦"},
        {"林若溪", false, "星空日记"}, {"陆青崖", true, "远方来信"}, {"夏雨桐", false, "四季如歌"},
        {"许星河", true, "白昼之门"},  {"安小蔓", false, "潮汐"},    {"韩松涛", true, "纸上光阴"},
        {"柳絮儿", false, "晴天手记"}, {"白石溪", true, "木心小调"}, {"唐芷萱", false, "微光集"},
        {"江野鹤", true, "夜行者"},    {"叶清婉", false, "旅人书"},  {"秦望舒", true, "故园"},
    };
    return all;
}

const std::vector<Song>& songs() {
    static const std::vector<Song> all = buildSongs();
    return all;
}

std::string_view flashVersionTag(int version) {
    return version == 0 ? "动画MV" : "卡通版";
}

std::string_view flashVersionAuthor(int version) {
    return version == 0 ? "闪客阿木" : "动画小筑";
}

std::vector<const Song*> findSongs(std::string_view word, std::optional<Kind> kind,
                                   MatchField field) {
    std::vector<const Song*> out;
    word = trimmed(word);
    if (word.empty()) return out;
    for (const Song& song : songs()) {
        if (kind && song.kind != *kind) continue;
        const bool hit = field == MatchField::AlbumOnly
                             ? contains(song.singer->album, word)
                             : contains(song.title, word) || contains(song.singer->name, word) ||
                                   contains(song.singer->album, word) || contains(song.style, word);
        if (hit) out.push_back(&song);
    }
    return out;
}

}  // namespace melorin::service
