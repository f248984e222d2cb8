// The page "文字コード変換": a Shift-JIS string to JIS, EUC-JP or base64 and
// back, and its digests. The controls sit at fixed places in the page.
#include <QColor>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>

#include <limits>

#include "app/Application.h"
#include "app/Display.h"
#include "app/MainWindow.h"
#include "hash/Workbench.h"

namespace tarvo {

namespace {

const QColor kMoneyGreen(192, 220, 192);
const QColor kSkyBlue(166, 202, 240);

QLineEdit* NewEdit(QWidget* page, const char* name, QRect place, const QColor* background = nullptr) {
  auto* edit = new QLineEdit(page);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setGeometry(place);
  edit->setMaxLength(std::numeric_limits<int>::max());  // no limit of its own, as on the system's edit box
  if (background) {
    QPalette p = edit->palette();
    p.setColor(QPalette::Base, *background);
    edit->setPalette(p);
  }
  return edit;
}

QPushButton* NewButton(QWidget* page, const char* name, const QString& caption, QRect place) {
  auto* button = new QPushButton(caption, page);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(place);
  return button;
}

}  // namespace

QWidget* TMainWindow::BuildToolsPage() {
  TabSheet9 = new QWidget;
  TabSheet9->setObjectName(QStringLiteral("TabSheet9"));
  QWidget* page = TabSheet9;
  // Created in tab order.
  Label1 = new QLabel(QStringLiteral("SJIS"), page);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(24, 11, 24, 12);
  Edit1 = NewEdit(page, "Edit1", {64, 8, 497, 20});
  Edit1->setToolTip(QStringLiteral("入力文字は SJIS を指定して下さい"));
  Button1 = NewButton(page, "Button1", QStringLiteral("JIS"), {8, 32, 49, 20});
  Edit2 = NewEdit(page, "Edit2", {64, 32, 441, 20}, &kMoneyGreen);
  Button3 = NewButton(page, "Button3", QStringLiteral("SJIS"), {512, 32, 49, 20});
  Button4 = NewButton(page, "Button4", QStringLiteral("EUC"), {8, 56, 49, 20});
  Edit3 = NewEdit(page, "Edit3", {64, 56, 441, 20}, &kMoneyGreen);
  Button5 = NewButton(page, "Button5", QStringLiteral("SJIS"), {512, 56, 49, 20});
  Button6 = NewButton(page, "Button6", QStringLiteral("Base64"), {8, 80, 49, 20});
  Edit4 = NewEdit(page, "Edit4", {64, 80, 441, 20}, &kMoneyGreen);
  Button7 = NewButton(page, "Button7", QStringLiteral("SJIS"), {512, 80, 49, 20});
  Button8 = NewButton(page, "Button8", QStringLiteral("MD5"), {8, 104, 49, 20});
  Edit5 = NewEdit(page, "Edit5", {64, 104, 441, 20}, &kSkyBlue);
  Button9 = NewButton(page, "Button9", QStringLiteral("SHA-1"), {8, 128, 49, 20});
  Edit6 = NewEdit(page, "Edit6", {64, 128, 441, 20}, &kSkyBlue);
  Button10 = NewButton(page, "Button10", QStringLiteral("Upcase"), {512, 104, 49, 20});
  Button11 = NewButton(page, "Button11", QStringLiteral("Upcase"), {512, 128, 49, 20});
  GroupBox1 = BuildToolsExplanation();

  const std::pair<QPushButton*, void (TMainWindow::*)()> handlers[] = {
      {Button1, &TMainWindow::Button1Click}, {Button3, &TMainWindow::Button3Click},   {Button4, &TMainWindow::Button4Click},
      {Button5, &TMainWindow::Button5Click}, {Button6, &TMainWindow::Button6Click},   {Button7, &TMainWindow::Button7Click},
      {Button8, &TMainWindow::Button8Click}, {Button9, &TMainWindow::Button9Click},   {Button10, &TMainWindow::Button10Click},
      {Button11, &TMainWindow::Button11Click}};
  for (const auto& [button, handler] : handlers)
    connect(button, &QPushButton::clicked, this, [this, h = handler] { RunGuarded([&] { (this->*h)(); }); });
  return page;
}

QGroupBox* TMainWindow::BuildToolsExplanation() {
  auto* box = new QGroupBox(QStringLiteral("説明"), TabSheet9);
  box->setObjectName(QStringLiteral("GroupBox1"));
  box->setGeometry(16, 160, 537, 225);
  const std::pair<int, QString> lines[] = {
      {24, QStringLiteral("SJIS と書かれた欄に文字を入力後に、左側のボタンを押すことにより各文字コードへ変換することが")},
      {40, QStringLiteral("できます。")},
      {56, QStringLiteral("JIS/EUC/Base64 の右側の SJIS ボタンを押すことにより変換された文字を SJIS に変換し SJIS 欄")},
      {72, QStringLiteral("に入力を行います。文字コードによってバイナリコードが含まれる場合がありますので注意して下さい。")},
      {96, QStringLiteral("MD5/SHA1 は暗号化などに使われる入力文字を特定の長さに変換するアルゴリズムです。")},
      {112, QStringLiteral("右側のボタンは小文字を大文字に変換するボタンです。")}};
  int number = 2;
  for (const auto& [top, text] : lines) {
    auto* label = new QLabel(text, box);
    label->setObjectName(QStringLiteral("Label%1").arg(number++));
    label->move(16, top);
    label->adjustSize();
  }
  return box;
}

void TMainWindow::Button1Click() { SetEditText(*Edit2, ToolJIS(EditText(*Edit1))); }
void TMainWindow::Button3Click() { SetEditText(*Edit1, ToolJISBack(EditText(*Edit2))); }
void TMainWindow::Button4Click() { SetEditText(*Edit3, ToolEUC(EditText(*Edit1))); }
void TMainWindow::Button5Click() { SetEditText(*Edit1, ToolEUCBack(EditText(*Edit3))); }
void TMainWindow::Button6Click() { SetEditText(*Edit4, ToolBase64(EditText(*Edit1))); }
void TMainWindow::Button7Click() { SetEditText(*Edit1, ToolBase64Back(EditText(*Edit4))); }
void TMainWindow::Button8Click() { SetEditText(*Edit5, ToolMD5(EditText(*Edit1))); }
void TMainWindow::Button9Click() { SetEditText(*Edit6, ToolSHA1(EditText(*Edit1))); }
void TMainWindow::Button10Click() { SetEditText(*Edit5, ToolUpcase(EditText(*Edit5))); }
void TMainWindow::Button11Click() { SetEditText(*Edit6, ToolUpcase(EditText(*Edit6))); }

}  // namespace tarvo
