// The card editor's rules: tag buttons and colour/font picks on the two boxes with the focus
// rules, the colour box's texts, the picture dialog's folder.
#include <QTest>
#include <set>

#include "card/colours.h"
#include "card/editrules.h"
#include "card/picture.h"

using namespace melorin::card;

namespace {

// "ab[cd]e" marks a selection, "ab|cde" the caret; offsets are bytes of the UTF-8 text.
BoxText marked(const QString& text) {
    const std::string s = text.toStdString();
    BoxText box;
    for (const char c : s) {
        if (c == '[' || c == '|') box.selection.start = box.text.size();
        if (c == ']') box.selection.length = box.text.size() - box.selection.start;
        if (c != '[' && c != ']' && c != '|') box.text += c;
    }
    return box;
}

QString render(const BoxText& box) {
    std::string s = box.text;
    if (box.selection.length == 0) {
        s.insert(box.selection.start, "|");
    } else {
        s.insert(box.selection.start + box.selection.length, "]");
        s.insert(box.selection.start, "[");
    }
    return QString::fromStdString(s);
}

std::string fontTag() {
    return fontOpeningTag(colourText("clRed", {}), "@文泉驿微米黑");
}

}  // namespace

class TestCardEdit : public QObject {
    Q_OBJECT
private slots:
    void edits_data() {
        QTest::addColumn<QString>("action");  // a tag button's name, or "font"
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("focus");
        QTest::addColumn<QString>("wantContent");  // unchanged: as given, markers included
        QTest::addColumn<QString>("wantTitle");
        QTest::addColumn<bool>("wantMessage");
        // "%F" in a wanted text stands for the font tag.
        const auto row = [](const char* name, const char* action, const char* content,
                            const char* title, Focus focus, const char* wantContent,
                            const char* wantTitle, bool message) {
            const QString font = QString::fromStdString(fontTag());
            const auto text = [&](const char* t) {
                return QString::fromUtf8(t).replace(QStringLiteral("%F"), font);
            };
            QTest::newRow(name) << text(action) << text(content) << text(title) << int(focus)
                                << text(wantContent) << text(wantTitle) << message;
        };
        using F = Focus;
        // clang-format off
        row("content selection, content focus", "h1btn",
            "你好[世界]！", "标题", F::Content, "你好<h1>世界</h1>|！", "标题", false);
        row("marquee tag", "htmlrunbtn",
            "[跑]", "标题", F::Content, "<br><marquee>跑</marquee>|", "标题", false);
        row("content selection, title focus: nothing, title selection ignored", "strongbtn",
            "a[b]c", "[标题]", F::Title, "a[b]c", "[标题]", false);
        row("content selection, focus elsewhere: nothing", "ibtn",
            "a[b]c", "标题", F::Elsewhere, "a[b]c", "标题", false);
        row("centre wraps content under title focus", "centrebtn",
            "[内容]", "[标]题", F::Title, "<center>内容</center>|", "[标]题", false);
        row("centre wraps content, focus elsewhere", "centrebtn",
            "x[内容]", "标题", F::Elsewhere, "x<center>内容</center>|", "标题", false);
        row("no selection anywhere: message", "ubtn",
            "内|容", "标题|", F::Content, "内|容", "标题|", true);
        row("centre without selection: message", "centrebtn",
            "|", "|", F::Elsewhere, "|", "|", true);
        // The title becomes exactly the wrapped selection.
        row("title selection, title focus", "h1btn",
            "内容|", "新年[快乐]吧", F::Title, "内容|", "<h1>快乐</h1>|", false);
        row("last word of a two-word title", "h1btn",
            "|", "Happy [Birthday]", F::Title, "|", "<h1>Birthday</h1>|", false);
        row("title selection, content focus: nothing", "bigbtn",
            "内容|", "[标题]", F::Content, "内容|", "[标题]", false);
        row("centre wraps title, focus elsewhere", "centrebtn",
            "|", "[标题]", F::Elsewhere, "|", "<center>标题</center>|", false);
        row("font on content, any focus", "font",
            "祝[福]", "[标题]", F::Title, "祝%F福</font>|", "[标题]", false);
        row("font on title when content has none", "font",
            "祝福|", "a[标]b", F::Content, "祝福|", "%F标</font>|", false);
        row("font without selection: nothing, no message", "font",
            "祝福|", "标题|", F::Content, "祝福|", "标题|", false);
        // clang-format on
    }
    void edits() {
        QFETCH(QString, action);
        QFETCH(QString, content);
        QFETCH(QString, title);
        QFETCH(int, focus);
        QFETCH(QString, wantContent);
        QFETCH(QString, wantTitle);
        QFETCH(bool, wantMessage);
        const EditorBoxes boxes{marked(content), marked(title), Focus(focus)};
        EditOutcome outcome;
        if (action == u"font") {
            outcome = pickFont(fontTag(), boxes);
        } else {
            const Tag* tag = tagOfButton(action.toStdString());
            QVERIFY(tag);
            outcome = pressTag(*tag, boxes);
        }
        QCOMPARE(QString::fromStdString(outcome.message),
                 wantMessage ? QStringLiteral("请选择相应内容后再点击本按钮！") : QString());
        QString gotContent = content, gotTitle = title;
        if (outcome.wrap) {
            const Wrap& w = *outcome.wrap;
            const BoxText& before = w.box == Box::Content ? boxes.content : boxes.title;
            // The replacement and the box afterwards tell the same story.
            std::string applied = before.text;
            applied.replace(w.replaced.start, w.replaced.length, w.replacement);
            QCOMPARE(w.after.text, applied);
            (w.box == Box::Content ? gotContent : gotTitle) = render(w.after);
        }
        QCOMPARE(gotContent, wantContent);
        QCOMPARE(gotTitle, wantTitle);
    }

    void wrapLeavesNoSelection() {
        EditorBoxes boxes{marked(QStringLiteral("[你好]")), marked(QStringLiteral("标题")),
                          Focus::Content};
        const EditOutcome first = pressTag(*tagOfButton("h3btn"), boxes);
        QVERIFY(first.wrap);
        boxes.content = first.wrap->after;
        const EditOutcome second = pressTag(*tagOfButton("h3btn"), boxes);
        QVERIFY(!second.wrap);
        QCOMPARE(second.message, std::string(kSelectFirstMessage));
    }

    void selectionOutsideTheTextIsCutToIt() {
        // "歌" is three bytes; a selection from its middle to far past the end takes it whole.
        EditorBoxes boxes{{"a歌", {2, 99}}, {"标题", {}}, Focus::Content};
        const EditOutcome out = pressTag(*tagOfButton("h2btn"), boxes);
        QVERIFY(out.wrap);
        QCOMPARE(out.wrap->after.text, std::string("a<h2>歌</h2>"));
        boxes.content.selection = {50, 3};
        QCOMPARE(pressTag(*tagOfButton("h2btn"), boxes).message, std::string(kSelectFirstMessage));
    }

    void fontTagFromBothBoxes() {
        QCOMPARE(fontOpeningTag(colourText("clTeal", {}), "@SimSun"),
                 std::string("<font color=#008080 face='@SimSun'>"));
    }

    void fixedColours_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        const char* const fixed[][2] = {
            {"clBlack", "000000"}, {"clMaroon", "800000"},     {"clGreen", "008000"},
            {"clOlive", "808000"}, {"clNavy", "000080"},       {"clPurple", "800080"},
            {"clTeal", "008080"},  {"clGray", "808080"},       {"clSilver", "C0C0C0"},
            {"clRed", "FF0000"},   {"clLime", "00FF00"},       {"clYellow", "FFFF00"},
            {"clBlue", "0000FF"},  {"clFuchsia", "FF00FF"},    {"clAqua", "00FFFF"},
            {"clWhite", "FFFFFF"}, {"clMoneyGreen", "C0DCC0"}, {"clSkyBlue", "A6CAF0"},
            {"clCream", "FFFBF0"}, {"clMedGray", "A0A0A4"}};
        int i = 0;
        for (const auto& [name, text] : fixed) {
            QTest::newRow(name) << i++ << QString::fromLatin1(name) << QString::fromLatin1(text);
        }
    }
    void fixedColours() {
        QFETCH(int, index);
        QFETCH(QString, name);
        QFETCH(QString, text);
        QCOMPARE(QString::fromUtf8(colourEntries()[std::size_t(index)].name), name);
        // A lookup that would give something else proves fixed colours never ask the desktop.
        const ElementColours desktop = [](DisplayElement) { return Rgb{1, 2, 3}; };
        QCOMPARE(QString::fromStdString(colourText(name.toStdString(), desktop)), text);
    }

    void displayElementColours() {
        // Each of the 27 elements once, under 49 distinct names; the two entries without a
        // colour, and names the box does not hold, give black.
        std::set<int> elements;
        std::set<std::string_view> names;
        for (const ColourEntry& entry : colourEntries()) {
            names.insert(entry.name);
            if (entry.source == ColourEntry::Source::Element) elements.insert(int(entry.element));
        }
        QCOMPARE(int(elements.size()), kDisplayElementCount);
        QCOMPARE(names.size(), std::size_t(49));
        const ElementColours lookup = [](DisplayElement e) {
            return e == DisplayElement::BtnFace ? Rgb{0xEF, 0xEB, 0xE7} : Rgb{1, 2, 3};
        };
        QCOMPARE(colourText("clBtnFace", lookup), std::string("EFEBE7"));
        for (const char* black : {"clNone", "clDefault", "clSomething"}) {
            QCOMPARE(colourText(black, lookup), std::string("000000"));
        }
    }

    void pictureFolderBesideTheProgram() {
        QCOMPARE(pictureFolder("/opt/melorin/"), std::string("/opt/melorin/pic/"));
    }
};

QTEST_GUILESS_MAIN(TestCardEdit)
#include "test_card_edit.moc"
