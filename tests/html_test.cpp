// The HTML parser's two uses: the page for the browser and the link check,
// and the private folder the page goes into.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/errors.h"
#include "base/privatedir.h"
#include "mail/html.h"
#include "tests/run_tarvo.h"
#include "tests/temp_dir.h"

using namespace tarvo;
namespace fs = std::filesystem;

namespace {

bool Has(const std::string& s, std::string_view sub) { return s.find(sub) != std::string::npos; }

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST(SafeHtmlPage, RemovesWhatRunsOrLoads) {
  struct Case {
    const char* html;
    std::vector<const char*> gone, kept;
  };
  const Case cases[] = {
      {"<script>alert(1)</script><p>a</p>", {"<script", "alert"}, {"<p>a</p>"}},
      {"<p onclick=\"x()\" title=t>a</p>", {"onclick"}, {"<p title=\"t\">a</p>"}},
      {"<a href=\"&#106;avascript:alert(1)\">j</a><a href=\" vb\tscript:x\">v</a><a href=\"data:text/html,x\">d</a>",
       {"script:", "data:text"}, {"<a>j</a>", "<a>v</a>", "<a>d</a>"}},
      {"<a href=\"//evil.example/\">p</a>", {"evil.example"}, {"<a>p</a>"}},
      {"<a href=\"&#104;ttps://x.example/\">t</a>", {}, {"<a href=\"https://x.example/\" rel=\"noopener noreferrer\">t</a>"}},
      {"<iframe srcdoc=\"&lt;script&gt;\"></iframe><frameset><frame src=x></frameset>", {"iframe", "srcdoc", "frame"}, {}},
      {"<form action=\"http://f.example/\"><input name=pw><button formaction=x>go</button></form>",
       {"<form", "action", "f.example"}, {"<input name=\"pw\">", ">go</button>"}},
      {"<base href=\"http://b.example/\"><meta http-equiv=refresh content=\"0;url=http://r.example/\">",
       {"b.example", "r.example", "refresh"}, {}},
      {"<object data=o.swf></object><embed src=e.swf><svg><script>x</script></svg><math><mi>y</mi></math>",
       {"<object", "<embed", "o.swf", "e.swf", "<svg", "<script"}, {}},
      {"<img src=\"http://pixel.example/p.gif\" width=1><img src=\"//p2.example/q.gif\">",
       {"<img"}, {"外部の画像（読み込みません）: http://pixel.example/p.gif", "//p2.example/q.gif"}},
      {"<link rel=stylesheet href=\"http://css.example/s.css\"><p>x</p>", {"<link"}, {"外部のスタイルシート"}},
      {"<style>@import url(http://i.example/); p{color:red} q{background:\\75rl(http://u.example/)}</style>"
       "<div style=\"background:URL(http://s.example/)\">d</div>",
       {"import url(", ":\\75rl(", ":URL(http"}, {"p{color:red}", ":\\\\75rl(", "blocked-URL(", ">d</div>"}},
      {"<!--[if IE]><script src=c.js></script><![endif]--><p>after</p>", {"c.js", "<!--"}, {"<p>after</p>"}},
      {"<img src=\"data:image/png;base64,AAAA\" alt=a><img src=\"data:image/svg+xml,<svg/onload=x>\">",
       {"src=\"data:image/svg"}, {"<img alt=\"a\" src=\"data:image/png;base64,AAAA\">", "外部の画像"}},
      // Text is never touched, whatever it says.
      {"<p>HTTPS http-equiv &lt;script&gt;</p>", {"<script"}, {"<p>HTTPS http-equiv &lt;script&gt;</p>"}},
  };
  for (const Case& c : cases) {
    const std::string page = SafeHtmlPage(c.html);
    SCOPED_TRACE(c.html);
    EXPECT_TRUE(page.starts_with("\xEF\xBB\xBF<!DOCTYPE html>")) << page;
    EXPECT_TRUE(Has(page, "content=\"default-src 'none'; img-src data:; style-src 'unsafe-inline'\"")) << page;
    const std::string body = page.substr(page.find("<meta name=\"referrer\""));
    for (const char* g : c.gone) EXPECT_FALSE(Has(body, g)) << g << "\n" << page;
    for (const char* k : c.kept) EXPECT_TRUE(Has(body, k)) << k << "\n" << page;
  }
}

TEST(SafeHtmlPage, DisarmsLinkTargetsOnlyAndInlinesCidImages) {
  THtmlPageOptions options;
  options.DisarmLinks = true;
  options.CidImages = [](std::string_view id) -> std::optional<std::string> {
    if (id == "logo%40bank.example") return "data:image/png;base64,iVBO";
    return std::nullopt;
  };
  const std::string page = SafeHtmlPage(
      "<a href=\"https://bank.example/\">https://bank.example/</a><a href=mailto:a@b.example>mail http</a>"
      "<img src=\"cid:logo%40bank.example\"><img src=cid:other>",
      options);
  EXPECT_TRUE(Has(page, "<a href=\"dummys://bank.example/\" rel=\"noopener noreferrer\">https://bank.example/</a>")) << page;
  EXPECT_TRUE(Has(page, "href=\"dummy-mailto:a@b.example\" rel=\"noopener noreferrer\">mail http</a>")) << page;
  EXPECT_TRUE(Has(page, "<img src=\"data:image/png;base64,iVBO\">")) << page;
  EXPECT_TRUE(Has(page, "添付の画像が見つかりません: cid:other")) << page;
}

TEST(SafeHtmlPage, HostileShapesStayFastAndSafe) {
  const auto timed = [](const std::string& html) {
    const auto t0 = std::chrono::steady_clock::now();
    const std::string page = SafeHtmlPage(html);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(20));
    return page;
  };
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<div>";
  const std::string page = timed(deep + "<script>x</script>");
  EXPECT_TRUE(Has(page, "文字のまま表示します")) << page.substr(0, 400);
  EXPECT_FALSE(Has(page, "<div>"));
  EXPECT_FALSE(Has(page, "<script>"));
  std::string attrs;
  for (int i = 0; i < 100000; ++i) attrs += "<a ";
  EXPECT_FALSE(Has(timed(attrs + "><script>y</script>"), "<script"));
}

TEST(HtmlLinks, ReadsEveryLinkWhateverComesBefore) {
  const std::string lie = "<a href=\"http://evil.example/\">https://bank.example/</a>";
  std::string deep;
  for (int i = 0; i < 20000; ++i) deep += "<div><b>";
  std::string attrs;
  for (int i = 0; i < 20000; ++i) attrs += "<a ";
  for (const std::string& before : {std::string("x\0y", 3), std::string(33u << 20, 'x'), deep, attrs + ">"}) {
    const auto links = HtmlLinks(before + lie);
    ASSERT_FALSE(links.empty()) << before.size();
    EXPECT_EQ(links.back().Href, "http://evil.example/");
    EXPECT_EQ(links.back().Text, "https://bank.example/");
  }
}

TEST(PrivateDir, OwnFolderNewFilesNoLinksRemovedAtTheEnd) {
  tarvo::testing::TTempDir temp;
  std::string folder, file;
  {
    TPrivateDir dir(temp.Path().string());
    folder = dir.Path();
    struct stat st{};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    file = dir.Write("message", ".html", "<p>x</p>");
    EXPECT_EQ(ReadAll(file), "<p>x</p>");
    EXPECT_NE(dir.Write("message", ".html", "y"), file);
    // A planted link is never followed, an existing file never replaced.
    const std::string target = (temp.Path() / "target").string();
    tarvo::testing::WriteFile(target, "keep");
    ASSERT_EQ(::symlink(target.c_str(), (folder + "/link").c_str()), 0);
    EXPECT_THROW(WriteNewFile(folder + "/link", "over"), EFCreateError);
    EXPECT_THROW(WriteNewFile(file, "over"), EFCreateError);
    EXPECT_EQ(ReadAll(target), "keep");
    ::unlink((folder + "/link").c_str());
  }
  EXPECT_FALSE(fs::exists(file));
  EXPECT_FALSE(fs::exists(folder));
}

TEST(SaveHtml, WritesTheSafePageOfAMessageOnce) {
  tarvo::testing::TTempDir temp;
  const std::string eml = std::string(TARVO_SOURCE_DIR) + "/tests/data/hostile/html-attack.eml";
  const fs::path out = temp / "page.html";
  ASSERT_EQ(tarvo::testing::RunTarvo("--save-html " + eml + " " + out.string()).code, 0);
  const std::string page = ReadAll(out);
  for (const char* gone : {"<script", "onload", "onerror", "onclick", "<iframe", "<form", "<base", "<object", "<embed",
                           "<svg", "<video", "javascript:", "vbscript:", "data:text", "proto.evil", "refresh"})
    EXPECT_FALSE(Has(page, gone)) << gone;
  EXPECT_TRUE(Has(page, "<img alt=\"logo\" src=\"data:image/png;base64,iVBORw0KGgo")) << page;
  EXPECT_TRUE(Has(page, "HTTPS でログインしてください (http-equiv は文字のまま)"));
  // An existing file is never written over.
  EXPECT_EQ(tarvo::testing::RunTarvo("--save-html " + eml + " " + out.string()).code, 1);
}

TEST(SaveHtml, LoadsHiddenInAttributesAndStylesAreGone) {
  tarvo::testing::TTempDir temp;
  const std::string eml = std::string(TARVO_SOURCE_DIR) + "/tests/data/hostile/html-loads.eml";
  const fs::path out = temp / "page.html";
  ASSERT_EQ(tarvo::testing::RunTarvo("--save-html " + eml + " " + out.string()).code, 0);
  const std::string page = ReadAll(out);
  for (const char* gone : {"<img src=\"http", "srcset", "ping=", "<link", "background=\"", "<portal", "<use", "<audio",
                           "<source", "<track", "xlink:href", "type=\"module\"", "default-src *", " url(http"})
    EXPECT_FALSE(Has(page, gone)) << gone;
  EXPECT_TRUE(Has(page, "<p class=\"a\">セール</p>"));
}
