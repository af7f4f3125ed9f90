#include "platform/htmlview/HtmlDocument.h"
#include "platform/htmlview/PageScript.h"
#include "platform/htmlview/PageTarget.h"

#include <gtest/gtest.h>

namespace {

// Nesting depth of an element tree, counted without recursion.
int Depth(const HtmlNode& root) {
    int deepest = 0;
    std::vector<std::pair<const HtmlNode*, int>> stack{{&root, 0}};
    while (!stack.empty()) {
        auto [node, depth] = stack.back();
        stack.pop_back();
        deepest = std::max(deepest, depth);
        for (const auto& child : node->children) {
            stack.push_back({child.get(), depth + 1});
        }
    }
    return deepest;
}

TEST(HtmlDocument, InnerHtmlOfAnElementByIdRoundTrips) {
    struct Case {
        const wchar_t* html;
        const wchar_t* expected;  // null: the same text back
    } cases[] = {
        {L"<PRE>abc</PRE>", nullptr},
        {L"\x52D5\x753B &amp; <B>\x30BF\x30B0</B><BR>next", nullptr},
        {L"<A href=\"velaplayer:info%20-move\">go</A>", nullptr},
        {L"a &lt; b &gt; c", nullptr},
        {L"", nullptr},
        {L"<pre>x</pre>", L"<PRE>x</PRE>"},          // tags come back in upper case
        {L"<p>one<p>two", L"<P>one</P><P>two</P>"},  // implied ends written out
        {L"<img src=a.jpg>", L"<IMG src=\"a.jpg\">"},
        {L"<b>unclosed", L"<B>unclosed</B>"},
    };
    for (const Case& c : cases) {
        HtmlDocument document;
        document.Parse(L"<html><body><p>before</p><div id=\"exchange\">old</div><div id=\"exchange\">second</div></body></html>");
        HtmlNode* exchange = document.FindById(L"exchange");
        ASSERT_NE(exchange, nullptr);
        HtmlDocument::SetInnerHtml(*exchange, c.html);
        EXPECT_EQ(HtmlDocument::InnerHtml(*document.FindById(L"exchange")), c.expected ? c.expected : c.html) << c.html;
        EXPECT_EQ(HtmlDocument::InnerHtml(*exchange->parent->children[2]), L"second") << "only the first is written";
    }
    HtmlDocument document;
    document.Parse(L"<div id=Exchange>x</div>");
    EXPECT_EQ(document.FindById(L"exchange"), nullptr) << "ids are compared exactly";
}

TEST(HtmlDocument, BrokenAndHostileInputNeverBreaksTheTree) {
    const std::wstring deep(100000, L'x');
    std::wstring nested;
    for (int i = 0; i < 50000; ++i) {
        nested += L"<div><b>";
    }
    struct Case {
        std::wstring html;
        const wchar_t* bodyText;  // inner HTML of the body, or null to check only that it parses
    } cases[] = {
        {L"a < b and c<3", L"a &lt; b and c&lt;3"},
        {L"<<<>>>", L"&lt;&lt;&lt;&gt;&gt;&gt;"},
        {L"<b>bold<i>both</b>after", L"<B>bold<I>both</I></B>after"},
        {L"</td></b></html>text", L"text"},
        {L"<ul><li>one<li>two</ul>", L"<UL><LI>one</LI><LI>two</LI></UL>"},
        {L"<table><tr><td>1<td>2<tr><td>3</table>", L"<TABLE><TR><TD>1</TD><TD>2</TD></TR><TR><TD>3</TD></TR></TABLE>"},
        {L"<p>a<div>b</div>", L"<P>a</P><DIV>b</DIV>"},
        {L"<!-- never closed <b>x</b>", L""},
        {L"<a href='never closed>text", L"<A href=\"never closed&gt;text\"></A>"},
        {L"<a href=\"" + deep + L"\">x</a>", nullptr},
        {L"<" + deep, nullptr},
        {L"<script>if (a<b) document.write('</p>')</script>after", L"<SCRIPT>if (a<b) document.write('</p>')</SCRIPT>after"},
        {L"<script>never closed", L"<SCRIPT>never closed</SCRIPT>"},
        {L"&#xFFFFFFFFFF; &#0; &#12354; &bogus; &amp", L"\xFFFD \xFFFD \x3042 &amp;bogus; &amp;amp"},
        {L"<div a=1 a=2 b c='3'>", L"<DIV a=\"1\" b=\"\" c=\"3\"></DIV>"},
        {nested, nullptr},
        {std::wstring(L"\0<b>\0</b>", 9), nullptr},
    };
    for (const Case& c : cases) {
        HtmlDocument document;
        document.Parse(c.html);
        EXPECT_LE(Depth(document.Root()), HtmlDocument::kMaxDepth + 2) << c.html.substr(0, 40);
        if (c.bodyText) {
            EXPECT_EQ(HtmlDocument::InnerHtml(document.Body()), c.bodyText) << c.html.substr(0, 40);
        }
        HtmlDocument::InnerHtml(document.Root());  // serialising the deepest tree allowed must work too
    }
}

TEST(HtmlDocument, PageBytesAreDecodedByMarkDeclarationOrContent) {
    struct Case {
        std::string bytes;
        std::wstring text;
    } cases[] = {
        // As the page builder writes its page: UTF-16LE with the byte-order mark.
        {std::string("\xFF\xFE<\0p\0>\0\xD5\x52\x3B\x75", 12), L"<p>\x52D5\x753B"},
        {"\xEF\xBB\xBF<p>\xE5\x8B\x95", L"<p>\x52D5"},
        {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\x93\xAE\x89\xE6",
         L"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\x52D5\x753B"},
        {"<meta charset='utf-8'>\xE7\x94\xBB", L"<meta charset='utf-8'>\x753B"},
        {"<p>\xE5\x8B\x95\xE7\x94\xBB</p>", L"<p>\x52D5\x753B</p>"},  // valid UTF-8, nothing declared
        {"<p>\x93\xAE\x89\xE6</p>", L"<p>\x52D5\x753B</p>"},          // else the system code page (932 here)
        {"", L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodePageBytes(c.bytes), c.text) << c.bytes;
    }
    EXPECT_EQ(CodePageOfCharset(L"SHIFT_JIS"), 932u);
    EXPECT_EQ(CodePageOfCharset(L"x-unknown"), 0u);
}

TEST(PageScript, TheProgramsExchangeScriptAddsTheElementAfterTheBody) {
    const std::wstring script =
        L"document.body.insertAdjacentHTML('AfterEnd', '<div id=\\'exchange\\' style=\\'display:none;\\'></div>');";
    for (const std::wstring& text : {script, L"try{" + script + L"}catch(e){}"}) {
        HtmlDocument document;
        document.Parse(L"<html><body><p>page</p></body></html>");
        EXPECT_TRUE(IsScriptWellFormed(text));
        EXPECT_EQ(ApplyPageScript(document, text), 1);
        HtmlNode* exchange = document.FindById(L"exchange");
        ASSERT_NE(exchange, nullptr);
        EXPECT_EQ(exchange->parent->tag, L"html");
        EXPECT_EQ(exchange->Attribute(L"style"), L"display:none;");
    }
    HtmlDocument bare;
    bare.Parse(L"only text");
    EXPECT_EQ(ApplyPageScript(bare, script), 1) << "a page without a body gets it at its end";
    EXPECT_NE(bare.FindById(L"exchange"), nullptr);
    EXPECT_EQ(ApplyPageScript(bare, L"document.body.insertAdjacentHTML('Nowhere', '<p id=x>');"), 0);
}

TEST(PageScript, ScriptsThatWouldNotParseAreRecognised) {
    struct Case {
        const wchar_t* text;
        bool wellFormed;
    } cases[] = {
        {L"vp.onNotify(\"postComment:result:true\");", true},
        {L"vp.onReceiveComment(12,345,6)", true},
        {L"try{vp.onChangeMediaState(\"Running\");}catch(e){}", true},
        {L"vp.onPlayCM(\"C:\\\\cm\\\\a.swf\");", true},
        {L"alert(')') // a comment with ( in it", true},
        {L"vp.onNotify(\"never closed);", false},
        {L"vp.onNotify(\"x\";", false},
        {L"f())", false},
        {L"{ [ } ]", false},
        {L"/* open comment", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsScriptWellFormed(c.text), c.wellFormed) << c.text;
    }
}

TEST(PageTarget, LinksAreMadeAbsoluteAgainstThePage) {
    struct Case {
        const wchar_t* base;
        const wchar_t* href;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\vp\\videoinfo\\temp.html", L"velaplayer:info%20-move", L"velaplayer:info%20-move"},
        {L"C:\\vp\\videoinfo\\temp.html", L"style.css", L"C:\\vp\\videoinfo\\style.css"},
        {L"C:\\vp\\videoinfo\\temp.html", L"img/a.png", L"C:\\vp\\videoinfo\\img\\a.png"},
        {L"C:\\vp\\videoinfo\\temp.html", L"D:\\other.jpg", L"D:\\other.jpg"},
        {L"C:\\vp\\videoinfo\\temp.html", L"/root.html", L"C:\\root.html"},
        {L"file:///C:/vp/page%20one.html", L"b.html", L"C:\\vp\\b.html"},
        {L"http://www.example.jp/watch/sm9", L"tag/abc", L"http://www.example.jp/watch/tag/abc"},
        {L"http://www.example.jp/watch/sm9", L"/tag/abc", L"http://www.example.jp/tag/abc"},
        {L"http://www.example.jp", L"x", L"http://www.example.jp/x"},
        {L"https://www.example.jp/a", L"//cdn.example.jp/i.png", L"https://cdn.example.jp/i.png"},
        {L"about:blank", L"http://x.jp/", L"http://x.jp/"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ResolvePageTarget(c.base, c.href), c.expected) << c.base << L" + " << c.href;
    }
    EXPECT_EQ(FilePathOfTarget(L"file:///C:/a%20b/%E5%8B%95.html"), L"C:\\a b\\\x52D5.html");
    EXPECT_EQ(FilePathOfTarget(L"C:\\x\\temp.html"), L"C:\\x\\temp.html");
    EXPECT_EQ(FilePathOfTarget(L"http://x.jp/"), L"");
    EXPECT_EQ(FilePathOfTarget(L"about:blank"), L"");
}

}  // namespace
