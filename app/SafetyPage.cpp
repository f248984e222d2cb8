// The page "安全性チェック": the verdict, the authentication results and the
// warning signs of the loaded message. The texts come from the core, UTF-8.
#include <QBrush>
#include <QColor>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTextEdit>
#include <QVBoxLayout>

#include "app/Display.h"
#include "app/MainWindow.h"
#include "views/pipeline.h"

namespace tarvo {

namespace {

QString Utf8(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// Background and text colours of the verdict line.
QString VerdictStyle(TLevel level) {
  switch (level) {
    case TLevel::Info: return QStringLiteral("background:#2e7d32; color:white;");
    case TLevel::Warn: return QStringLiteral("background:#f9a825; color:black;");
    case TLevel::Bad: return QStringLiteral("background:#c62828; color:white;");
  }
  return {};
}

const char* LevelMark(TLevel level) {
  switch (level) {
    case TLevel::Info: return "参考";
    case TLevel::Warn: return "注意";
    case TLevel::Bad: return "危険";
  }
  return "";
}

const char* LevelColour(TLevel level) {
  switch (level) {
    case TLevel::Info: return "#555555";
    case TLevel::Warn: return "#a66f00";
    case TLevel::Bad: return "#c62828";
  }
  return "black";
}

// A list of four columns, the last stretched, the others as wide as their text.
QTableWidget* NewResultList(const char* name, const QStringList& captions) {
  auto* list = new QTableWidget(0, 4);
  list->setObjectName(QString::fromLatin1(name));
  list->setHorizontalHeaderLabels(captions);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setTabKeyNavigation(false);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->verticalHeader()->hide();
  list->verticalHeader()->setDefaultSectionSize(18);
  list->setWordWrap(false);
  list->horizontalHeader()->setStretchLastSection(true);
  list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  for (int c : {0, 1, 2}) list->horizontalHeader()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
  return list;
}

}  // namespace

QWidget* TMainWindow::BuildSafetyPage() {
  Label10 = new QLabel;
  Label10->setObjectName(QStringLiteral("Label10"));
  Label10->setWordWrap(true);
  Label10->setTextFormat(Qt::PlainText);
  Label10->setMargin(4);
  Label10->setTextInteractionFlags(Qt::TextSelectableByMouse);
  ListView3 = NewResultList(
      "ListView3", {QStringLiteral("項目"), QStringLiteral("結果"), QStringLiteral("ドメイン"), QStringLiteral("説明")});
  Memo7 = new QTextEdit;
  Memo7->setObjectName(QStringLiteral("Memo7"));
  Memo7->setReadOnly(true);
  Memo7->setTabChangesFocus(true);  // Tab goes on to the next control
  FilterList = NewResultList(
      "FilterList", {QStringLiteral("フィルタ"), QStringLiteral("欄"), QStringLiteral("側"), QStringLiteral("判定")});
  FilterList->setSelectionMode(QAbstractItemView::SingleSelection);
  FilterFields = new QPlainTextEdit;
  FilterFields->setObjectName(QStringLiteral("FilterFields"));
  FilterFields->setReadOnly(true);
  FilterFields->setTabChangesFocus(true);
  connect(FilterList, &QTableWidget::itemSelectionChanged, this, [this] { ShowFilterFields(); });
  auto* filterTitle = new QLabel(QStringLiteral("受信側フィルタの判定"));
  filterTitle->setObjectName(QStringLiteral("FilterTitle"));
  filterTitle->setStyleSheet(QStringLiteral("font-weight:bold;"));
  filterTitle->setMargin(2);
  Label11 = new QLabel(QStringLiteral(
      "※ DKIM 署名そのもの (b=) を確かめるには送信元の公開鍵 (DNS) が必要なため、ここでは確かめていません。"
      "本文のハッシュ (bh=) だけをこのメールの本文と照らし合わせています。"));
  Label11->setObjectName(QStringLiteral("Label11"));
  Label11->setWordWrap(true);
  Label11->setMargin(2);

  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("SafetySheet"));
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(Label10);
  layout->addWidget(ListView3, 1);
  layout->addWidget(filterTitle);
  layout->addWidget(FilterList, 1);
  layout->addWidget(FilterFields, 1);
  layout->addWidget(Memo7, 1);
  layout->addWidget(Label11);
  RenderSafety(TMailViews{}, false);
  return page;
}

void TMainWindow::RenderSafety(const TMailViews& views, bool loaded) {
  if (!loaded) {
    Label10->setText(QStringLiteral("メールを開くと、差出人が本物かどうかの確認結果をここに表示します。"));
    Label10->setStyleSheet({});
    ListView3->setRowCount(0);
    FilterList->setRowCount(0);
    FilterFields->clear();
    FilterFields->setPlaceholderText({});
    Memo7->clear();
    return;
  }
  // The banner says where its level comes from; a message no receiver
  // judged is neither good nor bad, and has no colour.
  const TBanner banner = VerdictBanner(views.Authentication, views.Findings);
  Label10->setText(Utf8(banner.Sentence) + QStringLiteral("\n") + Utf8(banner.Source));
  Label10->setStyleSheet((banner.Neutral ? QStringLiteral("background:#e0e0e0; color:black;") : VerdictStyle(banner.Level)) +
                         QStringLiteral("font-weight:bold;"));

  const std::vector<TSafetyRow> rows = AuthenticationRows(views.Authentication);
  ListView3->setRowCount(static_cast<int>(rows.size()));
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::string* cells[] = {&rows[r].Item, &rows[r].Result, &rows[r].Domain, &rows[r].Explanation};
    for (int c = 0; c < 4; ++c) {
      auto* item = new QTableWidgetItem(Utf8(*cells[c]));
      item->setToolTip(PlainToolTip(item->text()));
      ListView3->setItem(static_cast<int>(r), c, item);
    }
  }

  // One row per stamp: the filter, the field, whose it is, its verdict.
  FilterList->setRowCount(static_cast<int>(views.Filters.size()));
  for (std::size_t r = 0; r < views.Filters.size(); ++r) {
    const TFilterStamp& s = views.Filters[r];
    const std::string verdict = s.Verdict ? s.Verdict->Text : std::string("（判定は書かれていません）");
    const QString cells[] = {Utf8(s.Family), QString::fromLatin1(s.Header.data(), static_cast<qsizetype>(s.Header.size())),
                             QString::fromUtf8(FilterSideText(s.Side)), Utf8(verdict)};
    for (int c = 0; c < 4; ++c) {
      auto* item = new QTableWidgetItem(cells[c]);
      item->setToolTip(PlainToolTip(item->text()));
      if (c == 3 && s.Verdict && s.Side == TFilterSide::Receiver)
        item->setForeground(QBrush(QColor(QString::fromLatin1(LevelColour(s.Verdict->Level)))));
      FilterList->setItem(static_cast<int>(r), c, item);
    }
  }
  FilterFields->clear();
  // An empty list says so, rather than looking like one not filled yet.
  FilterFields->setPlaceholderText(views.Filters.empty()
                                       ? QStringLiteral("このメールには受信側フィルタの判定が書かれていません。")
                                       : QStringLiteral("行を選ぶと、その判定の項目と意味をここに表示します。"));

  QString html;
  if (views.Findings.empty()) html = QStringLiteral("<p>警告の兆候は見つかりませんでした。</p>");
  for (const TFinding& f : views.Findings) {
    html += QStringLiteral("<p style='margin:2px 0'><b style='color:%1'>[%2]</b> %3<br>"
                           "<span style='color:#444'>&nbsp;&nbsp;値: %4</span></p>")
                .arg(QString::fromLatin1(LevelColour(f.Level)), QString::fromUtf8(LevelMark(f.Level)),
                     Utf8(f.Text).toHtmlEscaped(), Utf8(f.Detail).toHtmlEscaped());
  }
  Memo7->setHtml(html);
}

void TMainWindow::ShowFilterFields() {
  FilterFields->clear();
  const QModelIndexList selected = FilterList->selectionModel()->selectedRows();
  if (selected.isEmpty()) return;
  const auto row = static_cast<std::size_t>(selected.front().row());
  if (row >= filters_.size()) return;
  const TFilterStamp& s = filters_[row];
  std::string text;
  for (const std::string& line : FilterExplanationLines(s, {})) {
    if (line.rfind("---", 0) == 0) continue;
    text += line + "\n";
  }
  FilterFields->setPlainText(Utf8(text));
}

}  // namespace tarvo
