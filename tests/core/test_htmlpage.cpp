// Reading a page without a browser engine: which encoding its bytes are read in, the text of
// its body by the browser's innerText rules, and its links' addresses as `href` gives them.
// The same pages through the engine are compared in tests/app/test_fetchingbrowser.cpp; these
// tables hold the rules one case at a time, with what the engine gives in the expected column.
#include <QStringEncoder>
#include <QtTest>

#include "core/htmlpage.h"
#include "core/linkaddress.h"
#include "core/markupguard.h"
#include "core/pagecharset.h"

using melorin::core::decodePage;
using melorin::core::readPage;
using melorin::core::resolveLink;

namespace {

QByteArray gbk(const QString& text) {
    QStringEncoder encoder("GBK");
    return encoder.encode(text);
}

const QUrl kPage(QStringLiteral("http://127.0.0.1:8360/dir/page.html?q=1#top"));

}  // namespace

class TestHtmlPage : public QObject {
    Q_OBJECT
private slots:
    void encoding_data();
    void encoding();
    void bodyText_data();
    void bodyText();
    void links();
    void linkAddress_data();
    void linkAddress();
    void deepNestingStaysReadable();
};

void TestHtmlPage::encoding_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QString>("text");
    const QByteArray song = gbk(QStringLiteral("歌"));
    const QByteArray meta = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">";
    QTest::newRow("header names gbk") << song << QByteArray("text/html; charset=GBK")
                                      << QByteArray("GB18030") << QStringLiteral("歌");
    QTest::newRow("header before meta")
        << "<meta charset=utf-8>" + song << QByteArray("text/html;charset=\"gb2312\"")
        << QByteArray("GB18030") << QStringLiteral("<meta charset=utf-8>歌");
    QTest::newRow("meta http-equiv") << meta + song << QByteArray("text/html")
                                     << QByteArray("GB18030") << QString::fromUtf8(meta + "歌");
    QTest::newRow("meta charset after a tag with '>' in quotes")
        << "<p title='a>b'><meta charset=\"x-gbk\">" + song << QByteArray() << QByteArray("GB18030")
        << QStringLiteral("<p title='a>b'><meta charset=\"x-gbk\">歌");
    QTest::newRow("meta inside a comment is no meta")
        << "<!-- <meta charset=gbk> -->" + QByteArray("\xE6\xAD\x8C") << QByteArray()
        << QByteArray("UTF-8") << QStringLiteral("<!-- <meta charset=gbk> -->歌");
    QTest::newRow("meta past 1024 bytes is not looked at")
        << QByteArray(1024, ' ') + "<meta charset=gbk>" + QByteArray("\xE6\xAD\x8C") << QByteArray()
        << QByteArray("UTF-8") << QString(1024, u' ') + QStringLiteral("<meta charset=gbk>歌");
    QTest::newRow("a byte-order mark wins")
        << QByteArray("\xEF\xBB\xBF\xE6\xAD\x8C") << QByteArray("text/html; charset=gbk")
        << QByteArray("UTF-8") << QStringLiteral("歌");
    QTest::newRow("utf-16 by its mark") << QByteArray("\xFF\xFE\x4C\x6B", 4) << QByteArray()
                                        << QByteArray("UTF-16LE") << QStringLiteral("歌");
    QTest::newRow("meta cannot say utf-16")
        << QByteArray("<meta charset=utf-16>\xE6\xAD\x8C") << QByteArray() << QByteArray("UTF-8")
        << QStringLiteral("<meta charset=utf-16>歌");
    QTest::newRow("latin-1 means windows-1252")
        << QByteArray("\x80") << QByteArray("text/html; charset=ISO-8859-1")
        << QByteArray("windows-1252") << QStringLiteral("€");
    QTest::newRow("unknown label: valid utf-8")
        << QByteArray("\xE6\xAD\x8C") << QByteArray("text/html; charset=nonsense")
        << QByteArray("UTF-8") << QStringLiteral("歌");
    QTest::newRow("no label, not utf-8: gbk")
        << song << QByteArray() << QByteArray("GB18030") << QStringLiteral("歌");
}

void TestHtmlPage::encoding() {
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, encoding);
    QFETCH(QString, text);
    const melorin::core::DecodedPage page = decodePage(bytes, contentType);
    QCOMPARE(page.encoding, encoding);
    QCOMPARE(page.text, text);
}

void TestHtmlPage::bodyText_data() {
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("text");
    const auto row = [](const char* name, const char* html, const char* text) {
        QTest::newRow(name) << QString::fromUtf8(html) << QString::fromUtf8(text);
    };
    row("blanks collapse across elements", "<div> a <b> b </b>  <i>c</i> </div>", "a b c");
    row("blocks on lines, paragraphs apart", "x<div>y</div><p>p</p>z", "x\ny\n\np\n\nz");
    row("br breaks, blanks around it go", "<div>a <br> b<br></div><div>c</div>", "a\nb\n\nc");
    row("table cells by tabs, rows by lines",
        "<table> <tr> <td>1</td> <td>2</td> </tr> <tr><td>3</td></tr> </table>", "1\t2\n3");
    row("nested table inside a cell: a block of its own",
        "<table><tr><td>a</td><td><table><tr><td>b</td><td>c</td></tr></table></td></tr></table>",
        "a\t\nb\tc");
    row("hidden: attribute, display, head, script, style, noscript, template",
        "<head><title>t</title><style>s{}</style></head><body><div hidden>h</div>"
        "<span style='DISPLAY : none !important'>n</span><script>x=1</script>"
        "<noscript>ns</noscript><template>tp</template>shown",
        "shown");
    row("invisible text still takes its blank",
        "a<span style='visibility:hidden'> x <b style='visibility:visible'>y</b></span> b", "ay b");
    row("preformatted text keeps its blanks", "<pre>\n a  b\n\tc </pre>", " a  b\n\tc ");
    row("pre-line keeps line breaks only", "<div style='white-space:pre-line'> a  b \n c</div>",
        "a b\nc");
    row("a closed details shows its summary", "<details><summary>s</summary>d</details>", "s");
    row("a drop-down list gives every option",
        "a <select><option> one  1 </option><optgroup><option>two</optgroup></select> b",
        "a \none 1\ntwo\n b");
    row("entities and a broken one", "&lt;&amp;&gt; &copy 1&nbsp;2 &#x4E2D;&bogus;",
        "<&> © 1\u00A02 中&bogus;");
    row("text outside a table cell comes before the table",
        "<table>out<tr><td>in</td></tr></table>", "out\nin");
    row("text at a form's end stays in the form", "<center>c</center>d<form>f</form>e",
        "c\nd\nf\ne");
    row("a paragraph ending in <br>", "<p>a<br></p><p>b</p>", "a\n\n\nb");
    row("images and inputs take no text but keep blanks", "x<img alt=y>z <input> w", "xz  w");
    row("empty body", "", "");
}

void TestHtmlPage::bodyText() {
    QFETCH(QString, html);
    QFETCH(QString, text);
    const melorin::core::PageDocument doc =
        readPage(html.toUtf8(), "text/html; charset=utf-8", kPage);
    QCOMPARE(doc.bodyText, text);
    QCOMPARE(doc.url, kPage);
}

void TestHtmlPage::links() {
    // document.links: every <a> and <area> with an href, in the document's order; a link not
    // shown gives its text content; a <base> moves every relative link; template contents and
    // drawings are not part of the document's links.
    const QByteArray html =
        "<head><base href='/other/'></head><body>"
        "<a href='x.html'> one\n <b>two</b> </a>"
        "<div hidden><a href='/h'>  hidden\n text </a></div>"
        "<a name=anchor>no href</a><map><area href='area.html'></map>"
        "<template><a href='/t'>t</a></template><svg><a href='/s'>s</a></svg>"
        "<a href=''>self</a>";
    const melorin::core::PageDocument doc = readPage(html, "text/html", kPage);
    const QStringList hrefs = {
        QStringLiteral("http://127.0.0.1:8360/other/x.html"),
        QStringLiteral("http://127.0.0.1:8360/h"),
        QStringLiteral("http://127.0.0.1:8360/other/area.html"),
        QStringLiteral("http://127.0.0.1:8360/other/"),
    };
    const QStringList texts = {QStringLiteral("one two "), QStringLiteral("  hidden\n text "),
                               QString(), QStringLiteral("self")};
    QCOMPARE(doc.links.size(), hrefs.size());
    for (qsizetype i = 0; i < hrefs.size(); ++i) {
        QCOMPARE(doc.links[i].href, hrefs[i]);
        QCOMPARE(doc.links[i].innerText, texts[i]);
    }
    // A plain text answer is its text, with nothing read as markup.
    const melorin::core::PageDocument plain =
        readPage("<a href='/x'>a</a>\n", "text/plain; charset=utf-8", kPage);
    QCOMPARE(plain.bodyText, QStringLiteral("<a href='/x'>a</a>\n"));
    QVERIFY(plain.links.isEmpty());
}

void TestHtmlPage::linkAddress_data() {
    QTest::addColumn<QString>("href");
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QString>("address");
    const QByteArray utf8 = "UTF-8";
    const QByteArray gb = "GB18030";
    const auto row = [](const char* name, const char* href, const QByteArray& enc,
                        const char* address) {
        QTest::newRow(name) << QString::fromUtf8(href) << enc << QString::fromUtf8(address);
    };
    // Against http://127.0.0.1:8360/dir/page.html?q=1#top
    row("relative file", "a.html", utf8, "http://127.0.0.1:8360/dir/a.html");
    row("dot segments", "./x/../../b/./c", utf8, "http://127.0.0.1:8360/b/c");
    row("above the root", "../../../up.html", utf8, "http://127.0.0.1:8360/up.html");
    row("encoded dot segments", "%2e%2E/x", utf8, "http://127.0.0.1:8360/x");
    row("query only", "?w=2", utf8, "http://127.0.0.1:8360/dir/page.html?w=2");
    row("fragment only", "#end", utf8, "http://127.0.0.1:8360/dir/page.html?q=1#end");
    row("empty", "", utf8, "http://127.0.0.1:8360/dir/page.html?q=1");
    row("host-relative", "//Other.Example:80/p", utf8, "http://other.example/p");
    row("absolute, upper case, default port", "HTTP://Host.Example:80", utf8,
        "http://host.example/");
    row("https keeps another port", "https://h.example:8443/a?b#c", utf8,
        "https://h.example:8443/a?b#c");
    row("backslashes are slashes", "\\singer\\01.html", utf8,
        "http://127.0.0.1:8360/singer/01.html");
    row("blanks around go, inside are encoded", " \t/a b/c\"d.html?x y#z w\n", utf8,
        "http://127.0.0.1:8360/a%20b/c%22d.html?x%20y#z%20w");
    row("path in utf-8, query in the page's encoding", "/歌/?w=歌", gb,
        "http://127.0.0.1:8360/%E6%AD%8C/?w=%B8%E8");
    row("a character the page's encoding lacks", "?w=\u263A", QByteArray("windows-1252"),
        "http://127.0.0.1:8360/dir/page.html?w=%26%239786%3B");
    row("utf-8 page: query in utf-8", "?w=\u263A", utf8,
        "http://127.0.0.1:8360/dir/page.html?w=%E2%98%BA");
    row("existing escapes stay", "/a%20b?c=%B8%E8", gb, "http://127.0.0.1:8360/a%20b?c=%B8%E8");
    row("same scheme without slashes is relative", "http:x.html", utf8,
        "http://127.0.0.1:8360/dir/x.html");
    row("other schemes as they stand", "JavaScript:void(0)", utf8, "javascript:void(0)");
    row("mailto", "mailto:a@b.example", utf8, "mailto:a@b.example");
    row("a local file", "file:///etc/passwd", utf8, "file:///etc/passwd");
    row("international host", "http://例子.example/", utf8, "http://xn--fsqu00a.example/");
    row("no host: the first segment is", "http:///x", utf8, "http://x/");
    row("odd characters in path, query and fragment", "/{x}|^`y?a|b^'<#c|^`", utf8,
        "http://127.0.0.1:8360/%7Bx%7D%7C%5E%60y?a|b^%27%3C#c|^%60");
    row("bad port: left as it stands", "http://h.example:99999/", utf8, "http://h.example:99999/");
}

void TestHtmlPage::linkAddress() {
    QFETCH(QString, href);
    QFETCH(QByteArray, encoding);
    QFETCH(QString, address);
    const std::string resolved =
        resolveLink(href.toStdString(), kPage.toEncoded().toStdString(), encoding);
    QCOMPARE(QString::fromStdString(resolved), address);
}

void TestHtmlPage::deepNestingStaysReadable() {
    // Markup within the limit is not touched.
    const std::string tidy = "<div><b a='>'>x</b><script>'<div>'</script><p><p></div>";
    QCOMPARE(melorin::core::guardedMarkup(tidy, 2), tidy);
    // Past the limit the start tags and their end tags go and the text stays.
    QCOMPARE(melorin::core::guardedMarkup("<i><b><u>x</u></b>y</i>", 1), std::string("<i>xy</i>"));
    // A page nested 200,000 deep (a hostile one) reads in moments, every word of it kept.
    QByteArray html;
    for (int i = 0; i < 200000; ++i) html += "<div><b>";
    html += "bottom";
    const melorin::core::PageDocument doc = readPage(html, "text/html", kPage);
    QCOMPARE(doc.bodyText, QStringLiteral("bottom"));
}

QTEST_GUILESS_MAIN(TestHtmlPage)
#include "test_htmlpage.moc"
