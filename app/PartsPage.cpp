// The attachments page: the parts of the loaded mail with their fingerprints,
// saving into a folder the user picks, and a text part's text on the page.
// Nothing here opens a part with another program.
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <filesystem>

#include "app/Application.h"
#include "app/Display.h"
#include "app/MainWindow.h"

namespace tarvo {

namespace {

constexpr int kPartRowHeight = 17;
constexpr int kDetailsHeight = 70;
constexpr int kButtonStripHeight = 29;

QString Utf8(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QString SizeText(std::uint64_t n) {
  QString digits = QString::number(n);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(i, QLatin1Char(','));
  return digits;
}

// The parts list: one row per part, nothing editable.
QTableWidget* NewPartsList() {
  auto* list = new QTableWidget(0, 9);
  list->setObjectName(QStringLiteral("ListView4"));
  list->setHorizontalHeaderLabels({QStringLiteral("No"), QStringLiteral("ファイル名"), QStringLiteral("種類"),
                                   QStringLiteral("配置"), QStringLiteral("文字コード"), QStringLiteral("転送エンコード"),
                                   QStringLiteral("サイズ"), QStringLiteral("SHA-256"), QStringLiteral("警告")});
  list->setShowGrid(true);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setTabKeyNavigation(false);  // Tab goes on to the next control
  list->setWordWrap(false);
  list->verticalHeader()->hide();
  list->verticalHeader()->setDefaultSectionSize(kPartRowHeight);
  QHeaderView* header = list->horizontalHeader();
  header->setSectionsClickable(false);
  header->setHighlightSections(false);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setFixedHeight(kPartRowHeight + 2);
  const int widths[] = {30, 240, 160, 72, 86, 90, 72, 120, 300};
  for (int i = 0; i < 9; ++i) list->setColumnWidth(i, widths[i]);
  // Shown name, type, size and warning first, the digests after; the
  // columns keep their numbers.
  header->moveSection(6, 3);  // サイズ
  header->moveSection(8, 4);  // 警告
  list->setTextElideMode(Qt::ElideMiddle);
  return list;
}

// A memo the user reads but does not edit; it never wraps, and Tab moves on.
QPlainTextEdit* NewReadOnlyMemo(const char* name) {
  auto* memo = new QPlainTextEdit;
  memo->setObjectName(QString::fromLatin1(name));
  memo->setReadOnly(true);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo->setTabChangesFocus(true);
  return memo;
}

}  // namespace

QWidget* TMainWindow::BuildPartsPage() {
  ListView4 = NewPartsList();
  ListView4->viewport()->installEventFilter(this);
  RememberColumnWidths(*ListView4, QStringLiteral("parts"));

  Memo8 = NewReadOnlyMemo("Memo8");  // the selected part's fingerprints and warning
  Memo8->setFixedHeight(kDetailsHeight);
  Memo9 = NewReadOnlyMemo("Memo9");  // a text part's text, on double-click
  Memo9->setPlaceholderText(QStringLiteral("テキストの部分をダブルクリックすると、ここに内容を表示します"));

  auto* strip = new QWidget;
  strip->setObjectName(QStringLiteral("Panel2"));
  strip->setFixedHeight(kButtonStripHeight);
  auto* stripLayout = new QHBoxLayout(strip);
  stripLayout->setContentsMargins(8, 4, 8, 4);
  Button12 = new QPushButton(QStringLiteral("名前を付けて保存…"));
  Button12->setObjectName(QStringLiteral("Button12"));
  Button12->setToolTip(QStringLiteral("選んだ部分を、名前を付けて保存します (Ctrl+S)"));
  Button13 = new QPushButton(QStringLiteral("すべて保存…"));
  Button13->setObjectName(QStringLiteral("Button13"));
  Button13->setToolTip(QStringLiteral("名前の付いた部分をすべて、選んだフォルダーに保存します"));
  for (QPushButton* b : {Button12, Button13}) {
    b->setMinimumWidth(120);
    stripLayout->addWidget(b);
  }
  stripLayout->addStretch(1);

  connect(Button12, &QPushButton::clicked, this, [this] { RunGuarded([this] { Button12Click(); }); });
  connect(Button13, &QPushButton::clicked, this, [this] { RunGuarded([this] { Button13Click(); }); });
  connect(ListView4, &QTableWidget::itemSelectionChanged, this, [this] { RunGuarded([this] { ListView4Change(); }); });
  connect(ListView4, &QTableWidget::cellDoubleClicked, this,
          [this](int row, int) { RunGuarded([this, row] { ListView4DblClick(row); }); });

  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("PartsSheet"));
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(ListView4, 3);
  layout->addWidget(Memo8);
  layout->addWidget(strip);
  layout->addWidget(Memo9, 2);
  PartsSheet = page;
  return page;
}

void TMainWindow::RenderParts(TMailParts parts) {
  parts_ = std::move(parts);
  Memo9->clear();
  Memo8->clear();
  ListView4->setUpdatesEnabled(false);
  ListView4->clearSelection();
  ListView4->setRowCount(0);
  rowParts_.clear();
  std::size_t rows = parts_.size();
  for (const TMailPart& p : parts_) rows += p.Archive.Entries.size();
  ListView4->setRowCount(static_cast<int>(rows));
  const auto put = [this](int row, int column, const QString& text, const QString& tip, bool warned) {
    auto* item = new QTableWidgetItem(text);
    item->setToolTip(PlainToolTip(tip));
    if (column == 6) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (warned) item->setForeground(QColor(0xC0, 0, 0));
    ListView4->setItem(row, column, item);
  };
  int row = 0;
  for (std::size_t r = 0; r < parts_.size(); ++r, ++row) {
    const TMailPart& p = parts_[r];
    rowParts_.push_back(r);
    // A part of an attached message is indented under it; a reference
    // names the remote file it points to, which the part does not hold.
    const QString name = QString(2 * p.Depth, QLatin1Char(' ')) +
                         (p.ContentType == "message/external-body"
                              ? QStringLiteral("(外部参照 %1) %2").arg(Utf8(p.AccessType), Utf8(p.RemoteName))
                              : Utf8(p.Name));
    const QString cells[] = {Utf8(p.Number),           name,               StoredToDisplay(p.ContentType),
                             Utf8(p.Disposition),      StoredToDisplay(p.Charset), StoredToDisplay(p.Encoding),
                             SizeText(p.Size),         Utf8(p.Sha256),     Utf8(p.Warning)};
    const QString digests = QStringLiteral("MD5: %1\nSHA-1: %2\nSHA-256: %3").arg(Utf8(p.Md5), Utf8(p.Sha1), Utf8(p.Sha256));
    const QString warned = p.Warning.empty() ? QString() : Utf8(p.Warning) + QStringLiteral("\n");
    // The whole cell first, as a cut one does not show it.
    for (int c = 0; c < 9; ++c) put(row, c, cells[c], warned + cells[c] + QStringLiteral("\n") + digests, !p.Warning.empty());
    // The archive's entries, one row each under it.
    for (const TArchiveEntry& e : p.Archive.Entries) {
      ++row;
      rowParts_.push_back(r);
      const QString name = QStringLiteral("  └ ") + Utf8(e.Name);
      const QString size = e.Size >= 0 ? SizeText(static_cast<std::uint64_t>(e.Size)) : QStringLiteral("?");
      const QString warning = Utf8(e.Warning);
      const QString cells2[] = {QString(), name, QStringLiteral("(圧縮ファイルの中身)"), QString(), QString(), QString(), size,
                                QString(), warning};
      for (int c = 0; c < 9; ++c) put(row, c, cells2[c], Utf8(e.Name) + (warning.isEmpty() ? QString() : QStringLiteral("\n") + warning), !e.Warning.empty());
    }
  }
  ListView4->setUpdatesEnabled(true);
  FitPartColumns();
}

void TMainWindow::FitPartColumns() {
  // The digest and the MIME details give way first, then the name and the
  // type (cut in the middle: an extension stays), last No, size and warning.
  FitColumns(*ListView4, QStringLiteral("parts"), {{1, 2}, {0, 6, 8}});
}

const TMailPart* TMainWindow::SelectedPart() const {
  const QModelIndexList rows = ListView4->selectionModel()->selectedRows();
  if (rows.isEmpty()) return nullptr;
  const int row = rows.front().row();
  return row >= 0 && row < static_cast<int>(rowParts_.size()) ? &parts_[rowParts_[static_cast<std::size_t>(row)]] : nullptr;
}

void TMainWindow::ListView4Change() {
  Memo8->clear();
  const TMailPart* p = SelectedPart();
  if (!p) return;
  QString text = QStringLiteral("MD5: %1\nSHA-1: %2\nSHA-256: %3").arg(Utf8(p->Md5), Utf8(p->Sha1), Utf8(p->Sha256));
  if (!p->Warning.empty()) text += QStringLiteral("\n警告: ") + Utf8(p->Warning);
  Memo8->setPlainText(text);
}

void TMainWindow::ListView4DblClick(int row) {
  if (row < 0 || row >= static_cast<int>(rowParts_.size())) return;
  const TMailPart& p = parts_[rowParts_[static_cast<std::size_t>(row)]];
  if (!IsTextPart(p)) {
    Memo9->setPlainText(QStringLiteral("この部分はテキストではないため表示しません（%1）。保存して中身を確かめてください。")
                            .arg(StoredToDisplay(p.ContentType)));
    return;
  }
  SetMemoLines(*Memo9, PartTextLines(p), TTextKind::Decoded);
}

QString TMainWindow::ChooseSaveFolder() {
  if (saveFolderChooser_) return saveFolderChooser_();
  QFileDialog dialog(this, QStringLiteral("保存先のフォルダーを選んでください"));
  dialog.setObjectName(QStringLiteral("SaveDialog1"));
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front();
}

TMainWindow::TOverwriteAnswer TMainWindow::AskOverwrite(const QString& path) {
  if (overwriteAsker_) return overwriteAsker_(path);
  QMessageBox box(QMessageBox::Question, QStringLiteral("Tarvo"),
                  QStringLiteral("「%1」はすでにあります。上書きしますか？").arg(path), QMessageBox::NoButton, this);
  QPushButton* overwrite = box.addButton(QStringLiteral("上書きする"), QMessageBox::DestructiveRole);
  QPushButton* rename = box.addButton(QStringLiteral("別の名前で保存"), QMessageBox::AcceptRole);
  box.addButton(QStringLiteral("保存しない"), QMessageBox::RejectRole);
  box.setTextFormat(Qt::PlainText);  // the path holds the part's name
  box.setDefaultButton(rename);
  box.exec();
  if (box.clickedButton() == overwrite) return TOverwriteAnswer::Overwrite;
  if (box.clickedButton() == rename) return TOverwriteAnswer::Rename;
  return TOverwriteAnswer::Skip;
}

// One part into the folder; a clash is the user's call. The file layer's
// create error goes on to the error box.
void TMainWindow::SavePart(const TMailPart& part, const std::string& folder) {
  const std::string name = SafeSaveName(part.Name, part.Index, part.ContentType);
  TSaveTarget target = SaveTargetIn(folder, name);
  bool overwrite = false;
  if (target.Exists) {
    switch (AskOverwrite(Utf8(target.Path))) {
      case TOverwriteAnswer::Overwrite: overwrite = true; break;
      case TOverwriteAnswer::Rename: target = SaveTargetIn(folder, FreeSaveName(folder, name)); break;
      case TOverwriteAnswer::Skip: return;
    }
  }
  SavePartFile(target.Path, part.Bytes(), overwrite);
  Memo8->appendPlainText(QStringLiteral("保存しました: ") + Utf8(target.Path));
}

void TMainWindow::Button12Click() {
  const TMailPart* p = SelectedPart();
  if (!p) {
    ShowErrorMessage(QStringLiteral("保存する部分を一覧から選んでください"));
    return;
  }
  const QString suggested = Utf8(SafeSaveName(p->Name, p->Index, p->ContentType));
  QString path;
  if (saveFileChooser_) {
    path = saveFileChooser_(suggested);
  } else {
    // The dialog itself asks before a file is replaced.
    QFileDialog dialog(this, QStringLiteral("名前を付けて保存"));
    dialog.setObjectName(QStringLiteral("SaveAsDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.selectFile(suggested);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) path = dialog.selectedFiles().front();
  }
  if (path.isEmpty()) return;
  SavePartAs(*p, path);
}

void TMainWindow::SavePartAs(const TMailPart& part, const QString& path) {
  const std::string target = QFile::encodeName(path).toStdString();
  std::error_code ec;
  const bool exists = std::filesystem::symlink_status(target, ec).type() != std::filesystem::file_type::not_found;
  // A file chooser of our own (the tests') has not asked yet.
  if (exists && saveFileChooser_ && AskOverwrite(path) != TOverwriteAnswer::Overwrite) return;
  SavePartFile(target, part.Bytes(), exists);
  Memo8->appendPlainText(QStringLiteral("保存しました: ") + path);
}

void TMainWindow::Button13Click() {
  if (std::none_of(parts_.begin(), parts_.end(), [](const TMailPart& p) { return !p.Name.empty(); })) {
    ShowErrorMessage(QStringLiteral("名前の付いた添付ファイルはありません"));
    return;
  }
  const QString folder = ChooseSaveFolder();
  if (folder.isEmpty()) return;
  Memo8->clear();
  for (const TMailPart& p : parts_)
    if (!p.Name.empty()) SavePart(p, QFile::encodeName(folder).toStdString());
}

}  // namespace tarvo
