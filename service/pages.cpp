#include "service/pages.h"

#include <algorithm>
#include <cstdio>

#include "service/text.h"

namespace melorin::service {

namespace {

constexpr std::string_view kSiteName = "Melorin 音乐搜索（演示服务）";
constexpr std::string_view kCountMarker = "百度为您找到相关结果";

std::string line(std::string_view html) {
    std::string s = "<div>";
    s += html;
    s += "</div>\n";
    return s;
}

std::string link(std::string_view href, std::string_view text) {
    return "<a href=\"" + htmlEscape(href) + "\">" + htmlEscape(text) + "</a>";
}

std::string wordParam(std::string_view word) {
    return percentEncode(toGbk(word));
}

std::string lmText(std::optional<Kind> kind) {
    return kind ? std::to_string(static_cast<int>(*kind)) : std::string("-1");
}

std::string firstPageUrl(std::string_view host, std::string_view word, std::optional<Kind> kind) {
    return "http://" + std::string(host) +
           "/m?tn=baidump3&ct=134217728&rn=&word=" + wordParam(word) + "&lm=" + lmText(kind);
}

// The follow-up page address in the form Melorin builds itself; Melorin learns the client
// address from the "&ip=" ... "&cl=" part of these links.
std::string nextPageUrl(const PageContext& ctx, std::string_view word, std::optional<Kind> kind,
                        int offset) {
    return "http://" + ctx.host + "/m?lm=" + lmText(kind) +
           "&ct=134217728&tn=baidump3&word=" + wordParam(word) + "&pn=" + std::to_string(offset) +
           "&ip=" + ctx.clientIp + "&cl=3&z=0";
}

std::string albumUrl(std::string_view host, std::string_view album) {
    return "http://" + std::string(host) + "/m?tn=baidump3&ct=134217728&word=" + wordParam(album) +
           "&lm=-1&f=al";
}

// A list-page entry that starts a search over every kind.
std::string searchEntryUrl(std::string_view host, std::string_view word) {
    return "http://" + std::string(host) +
           "/m?rn=&tn=baidump3&ct=134217728&word=" + wordParam(word) + "&lm=-1";
}

std::string singerUrl(std::string_view host, int singer) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "/singer/%02d.html", singer);
    return "http://" + std::string(host) + buf;
}

std::string flashUrl(std::string_view host, const Song& song, int version) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "/flash/%03d-%d.html", song.id, version);
    return "http://" + std::string(host) + buf;
}

std::string flashFirstUrl(std::string_view host, std::string_view word) {
    return "http://" + std::string(host) +
           "/f?tn=flash&sort=time&rn=10&pn=0&cl=3&f=8&word=" + wordParam(word) + "&ct=33554432";
}

std::string flashNextUrl(std::string_view host, std::string_view word, int offset) {
    return "http://" + std::string(host) + "/f?lm=0&ct=33554432&tn=flash&word=" + wordParam(word) +
           "&pn=" + std::to_string(offset);
}

std::string kindLinks(std::string_view host, std::string_view word) {
    static constexpr std::string_view names[] = {"MP3", "RM", "WMA", "ASF", "RAM"};
    std::string s;
    for (int k = 0; k < kKindCount; ++k) {
        s += link(firstPageUrl(host, word, static_cast<Kind>(k)), names[k]) + " ";
    }
    return s + link(flashFirstUrl(host, word), "FLASH");
}

std::string countLine(std::size_t total) {
    return line(std::string(kCountMarker) + std::to_string(total) + "篇");
}

int displayWidthPages(std::size_t total, int perPage) {
    return static_cast<int>((total + static_cast<std::size_t>(perPage) - 1) /
                            static_cast<std::size_t>(perPage));
}

}  // namespace

std::string redirectPrefix(std::string_view host) {
    return "http://" + std::string(host) + "/r?url=";
}

std::string songAddress(std::string_view host, const Song& song, int source) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "/music/s%02d/%03d.", source, song.id);
    return "http://" + std::string(host) + buf + std::string(kindExtension(song.kind));
}

std::optional<SongFile> parseSongPath(std::string_view path) {
    // "/music/s" NN "/" III "." ext
    constexpr std::string_view head = "/music/s";
    if (path.substr(0, head.size()) != head) return std::nullopt;
    path.remove_prefix(head.size());
    const auto digits = [](std::string_view s) {
        return !s.empty() &&
               std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    const auto slash = path.find('/');
    const auto dot = path.rfind('.');
    if (slash != 2 || dot == std::string_view::npos || dot != slash + 4) return std::nullopt;
    const auto sourceText = path.substr(0, 2);
    const auto idText = path.substr(3, 3);
    if (!digits(sourceText) || !digits(idText)) return std::nullopt;
    const int source = std::stoi(std::string(sourceText));
    const int id = std::stoi(std::string(idText));
    if (source < 1 || source > kSourcesPerSong || id >= static_cast<int>(songs().size()))
        return std::nullopt;
    const Song& song = songs()[static_cast<std::size_t>(id)];
    if (kindFromExtension(path.substr(dot + 1)) != song.kind) return std::nullopt;
    return SongFile{&song, source};
}

std::string htmlDocument(std::string_view title, std::string_view bodyLines) {
    std::string s =
        "<!DOCTYPE html>\n<html><head>\n"
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">\n<title>";
    s += htmlEscape(title);
    s += "</title>\n</head><body>\n";
    s += bodyLines;
    s += "</body></html>\n";
    return s;
}

std::string resultPage(const PageContext& ctx, const SearchQuery& q) {
    const auto matches =
        findSongs(q.word, q.kind, q.albumOnly ? MatchField::AlbumOnly : MatchField::Any);
    const std::size_t total = matches.size() * kSourcesPerSong;
    const std::size_t first = static_cast<std::size_t>(std::max(q.offset, 0));
    const std::size_t end = std::min(total, first + kResultsPerPage);

    std::string body = line(std::string(kSiteName));
    body += line(kindLinks(ctx.host, q.word));
    body += countLine(total);
    body += line("序号 曲名 演唱 专辑 风格 大小 格式");
    const std::string prefix = redirectPrefix(ctx.host);
    for (std::size_t r = first; r < end; ++r) {
        const Song& song = *matches[r % matches.size()];
        const int source = static_cast<int>(r / matches.size()) + 1;
        // The line must end in the size and the type: Melorin reads both from its last bytes.
        body +=
            line(std::to_string(r + 1) + " " +
                 link(prefix + songAddress(ctx.host, song, source), song.title) + " " +
                 htmlEscape(song.singer->name) + " 《" + htmlEscape(song.singer->album) + "》 " +
                 std::string(song.style) + " " + song.size + std::string(kindExtension(song.kind)));
    }

    // Page links; the first one is always there so the client address is on every page.
    std::string pages = link(nextPageUrl(ctx, q.word, q.kind, 0), "首页");
    const int pageCount = std::min(displayWidthPages(total, kResultsPerPage), 20);
    for (int p = 1; p <= pageCount; ++p) {
        pages += " " + link(nextPageUrl(ctx, q.word, q.kind, (p - 1) * kResultsPerPage),
                            std::to_string(p));
    }
    if (end < total) {
        pages +=
            " " + link(nextPageUrl(ctx, q.word, q.kind, static_cast<int>(first) + kResultsPerPage),
                       "下一页");
    }
    body += line("结果页： " + pages);

    // Albums of the matching songs, for Melorin's album list.
    std::vector<std::string_view> albums;
    for (const Song* song : matches) {
        if (std::find(albums.begin(), albums.end(), song->singer->album) == albums.end())
            albums.push_back(song->singer->album);
    }
    std::string albumLine = "相关专辑：";
    for (std::string_view album : albums) albumLine += " " + link(albumUrl(ctx.host, album), album);
    body += line(albumLine);
    body += line("您搜索的是：" + htmlEscape(q.word));
    body += line("本站曲目均为虚构，仅供 Melorin 演示与测试");
    return htmlDocument("Melorin 音乐搜索", body);
}

std::string flashPage(const PageContext& ctx, const std::string& word, int offset) {
    const auto matches = findSongs(word, std::nullopt);
    const std::size_t total = matches.size() * kFlashVersions;
    const std::size_t first = static_cast<std::size_t>(std::max(offset, 0));
    const std::size_t end = std::min(total, first + kFlashPerPage);

    // Melorin looks for FLASH items from line 10 up to the fifth line from the end: ten
    // lines of head and at least four of foot, none of them naming both author and size.
    std::string body = line(std::string(kSiteName));
    body += line(kindLinks(ctx.host, word));
    body += line("FLASH 动画搜索");
    body += line("您搜索的是：" + htmlEscape(word));
    body += countLine(total);
    body += line("按时间排序");
    body += line("每页十条");
    body += line("—————");
    body += line("动画 / 制作 / 文件");
    body += line("—————");
    for (std::size_t r = first; r < end; ++r) {
        const Song& song = *matches[r % matches.size()];
        const int version = static_cast<int>(r / matches.size());
        body += line(link(flashUrl(ctx.host, song, version), song.title) + "[" +
                     std::string(flashVersionTag(version)) + "] 作者：" +
                     std::string(flashVersionAuthor(version)) + " 大小：" + song.size);
    }
    body += line("—————");
    std::string pages;
    if (first > 0) {
        pages +=
            link(flashNextUrl(ctx.host, word, std::max<int>(0, offset - kFlashPerPage)), "上一页") +
            " ";
    }
    if (end < total) pages += link(flashNextUrl(ctx.host, word, offset + kFlashPerPage), "下一页");
    body += line("翻页： " + pages);
    body += line("本站动画均为虚构");
    body += line("仅供 Melorin 演示与测试");
    return htmlDocument("Melorin FLASH 搜索", body);
}

std::string chartPage(const PageContext& ctx, Chart chart) {
    std::string body = line(std::string(kSiteName));
    int n = 0;
    if (chart == Chart::Songs) {
        body += line("歌曲排行榜");
        const auto& all = songs();
        for (std::size_t i = 0; i < 30; ++i) {
            const Song& song = all[(i * 17) % all.size()];
            body += line(std::to_string(++n) + " " +
                         link(searchEntryUrl(ctx.host, song.title), song.title) + " " +
                         htmlEscape(song.singer->name));
        }
    } else {
        const bool male = chart == Chart::MaleSingers;
        body += line(male ? "男歌手排行榜" : "女歌手排行榜");
        for (const Singer& singer : singers()) {
            if (singer.male != male) continue;
            body += line(std::to_string(++n) + " " +
                         link(searchEntryUrl(ctx.host, singer.name), singer.name));
        }
    }
    body += line(link("http://" + ctx.host + "/", "返回首页"));
    return htmlDocument("Melorin 排行榜", body);
}

std::string singerIndexPage(const PageContext& ctx) {
    std::string body = line(std::string(kSiteName));
    body += line("全部歌手");
    const auto& all = singers();
    for (std::size_t i = 0; i < all.size(); ++i) {
        body += line(link(singerUrl(ctx.host, static_cast<int>(i)), all[i].name) +
                     (all[i].male ? " 男" : " 女"));
    }
    body += line(link("http://" + ctx.host + "/", "返回首页"));
    return htmlDocument("Melorin 歌手", body);
}

std::string singerPage(const PageContext& ctx, int singer) {
    const auto& all = singers();
    if (singer < 0 || singer >= static_cast<int>(all.size())) return {};
    const Singer& s = all[static_cast<std::size_t>(singer)];
    std::string body = line(std::string(kSiteName));
    body += line("歌手：" + htmlEscape(s.name));
    body += line("专辑：" + link(albumUrl(ctx.host, s.album), s.album));
    for (const Song& song : songs()) {
        if (song.singer != &s) continue;
        body += line(link(searchEntryUrl(ctx.host, song.title), song.title) + " " +
                     std::string(kindExtension(song.kind)));
    }
    body += line(link("http://" + ctx.host + "/", "返回首页"));
    return htmlDocument("Melorin 歌手 " + std::string(s.name), body);
}

std::string flashItemPage(const PageContext& ctx, const Song& song, int version) {
    std::string body = line(std::string(kSiteName));
    body += line(htmlEscape(song.title) + " [" + std::string(flashVersionTag(version)) + "]");
    body += line("作者：" + std::string(flashVersionAuthor(version)));
    const std::string audio = songAddress(ctx.host, song, 1);
    body += line("配乐：" + link(audio, song.title) + " " + htmlEscape(song.singer->name));
    return htmlDocument(song.title, body);
}

std::string homePage(const PageContext& ctx) {
    const std::string h = "http://" + ctx.host;
    std::string body = line(std::string(kSiteName));
    body += line("搜索示例：" + link(firstPageUrl(ctx.host, "歌", Kind::Mp3), "歌 (MP3)") + " " +
                 link(flashFirstUrl(ctx.host, "歌"), "歌 (FLASH)"));
    body += line("排行榜：" + link(h + "/ngeshou.html", "男歌手") + " " +
                 link(h + "/ygeshou.html", "女歌手") + " " + link(h + "/mp3.html", "歌曲"));
    body += line(link(h + "/singer/singers.html", "全部歌手") + " " +
                 link(h + "/help.html", "使用帮助"));
    body += line("本站曲目均为虚构，仅供 Melorin 演示与测试");
    return htmlDocument("Melorin 演示服务", body);
}

std::string helpPage(const PageContext& ctx) {
    // Hand-written rather than built line by line: the point of this page is its untidiness.
    std::string page = R"page(<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">
<html><head>
<meta http-equiv="Content-Type" content="text/html; charset=gbk">
<title>Melorin 音乐搜索 - 使用帮助</title>
<style type="text/css">
  .tip { color: #c00 }   /* <div>不是正文</div> */
</style>
<script type="text/javascript">
  // 这段脚本不改动页面
  var banner = "<a href='/m?word=脚本'>脚本里的链接</a></div>";
  function same() { return 1 < 2 && 3 > 2; }
</script>
</head>
<body bgcolor=#ffffff>
<!-- 页首 <a href="/hidden">注释里的链接</a> -->
<table width="100%" border=0 cellpadding=0><tr><td>
  <table><tr>
    <td><a href="/"><b>Melorin</b> 首页</a></td>
    <td>&nbsp;|&nbsp;</td>
    <td><a href=help.html#top>使用&nbsp;帮助</a></td>
  </tr></table>
</td><td align=right>
  <a href="./mp3.html">歌曲排行</a> &middot; <a href="singer/../singer/singers.html">全部歌手</a>
</td></tr>
<tr><td colspan=2>
   <table border=1>
   <caption>常见问题</caption>
   <tr><th>问题</th><th>回答</th></tr>
   <tr><td>怎样搜索？</td><td>在搜索框里输入  歌手   或
       歌名，再按“搜索”。<br>支持 MP3、RM &amp; WMA 等格式。</td></tr>
   <tr><td>符号？</td><td><table><tr><td>a&lt;b</td><td>&quot;引号&quot;</td></tr>
     <tr><td>&#20013;&#x6587;</td><td></td></tr></table></td></tr>
   </table>
</td></tr></table>
<table>表格外的字<tr><td>格</td></tr></table>
<p>   第一段：前后的空白      会被合并，	制表符也是。   </p>
<p>第二段<span> 里 </span> <b> 粗体 </b><i>斜体</i>紧挨着
<p>没有结束标记的一段
<div>行内的<br>换行<br><br>两次换行</div>
<div style="display:none">隐藏的文字 <a href="/m?word=%B8%E8&lm=0">隐藏的链接</a></div>
<div hidden>也隐藏</div>
<span style="visibility:hidden">看不见</span>
<pre>  预排  格式
	保留 空白  </pre>
<ul>
  <li>列表一
  <li>列表二 <a href="//HOST/ngeshou.html">男歌手</a></li>
  <li><a href="HTTP://Demo.Melorin.INVALID:80/ygeshou.html?x=1&amp;y=2">女歌手</a>
</ul>
<noscript>请打开脚本</noscript>
<p>链接：<a href="?word=%B8%E8&lm=0&tn=baidump3&ct=134217728">问号开头</a>
<a href="/m?word=歌&lm=0">中文查询</a>
<a href=" /r?url=http://HOST/music/s01/000.mp3 ">前后有空格</a>
<a href="mailto:demo@melorin.invalid">写信</a>
<a href="javascript:void(0)">脚本链接</a>
<a href="#bottom">页尾</a>
<a href="/a b/c d.html">带空格</a>
<a href="\singer\01.html">反斜杠</a>
<a><b>没有地址</b></a>
<a href="/singer/02.html"><img src="/none.png" alt="图"> 带图 <br>两行</a>
</p>
<map name="m"><area href="/mp3.html" alt="排行"></map>
<div>全角　空格与&nbsp;&nbsp;不换行空格 &copy 2024 &#x1F3B5;</div>
<h3>更多 <font color=red>格式</font></h3><hr>
<div>末尾换行<br></div><div>下一块<br/>再一行</br>结束</div>
<div style="white-space:pre-line">  保留换行的
   一段   文字  </div>
<div>点<button> 这个 按钮 </button>继续 <select><option>选项一<option selected>选项二</select>
<textarea>文本框里的字</textarea> 文<img src="/none.png"> 字</div>
<details><summary>摘要</summary>收起的内容</details>
<ol><li>一<li>二</ol><dl><dt>术语<dd>解释</dl>
<marquee>滚动 的 文字</marquee>
<table><tr><td nowrap>  不折行  </td><td>&nbsp;</td></tr><tr><td></td></tr></table>
<a href="/block">链接外<div>链接里的块</div>链接内</a>
<div style="visibility:hidden">藏起来的<span style="visibility:visible">露出来的</span>字</div>
<div>价钱 &#x80;5 &amp 税<span style="display:block">单独一行</span>尾巴 <a href="../../up.html">上两级</a></div>
<center>版权所有 &copy; Melorin 演示服务</center>
</body></html>
)page";
    for (std::size_t at = page.find("HOST"); at != std::string::npos;
         at = page.find("HOST", at + ctx.host.size()))
        page.replace(at, 4, ctx.host);
    return page;
}

std::string errorPage(int status, std::string_view message) {
    std::string body = line(std::string(kSiteName));
    body += line("错误 " + std::to_string(status));
    body += line(htmlEscape(message));
    body += line("您请求的页面不存在或暂时无法访问。请检查地址后重试，或返回首页重新搜索。");
    body += line(
        "The page you asked for is not here. Check the address or go back and search "
        "again.");
    return htmlDocument("Error " + std::to_string(status), body);
}

}  // namespace melorin::service
