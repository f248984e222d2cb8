#include "app/AboutBox.h"

#include <QDesktopServices>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QStringList>
#include <qdrawutil.h>

#include "app/HoverLabel.h"

// The icon lives in a static library, so its resource must be pulled in by hand.
static void InitTarvoResources() { Q_INIT_RESOURCE(tarvo); }

namespace tarvo {

namespace {

// A panel with a lowered outer and a raised inner bevel.
class TBevelPanel : public QFrame {
 public:
  using QFrame::QFrame;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const QRect outer = rect();
    qDrawShadePanel(&p, outer, palette(), /*sunken=*/true, 1);
    qDrawShadePanel(&p, outer.adjusted(1, 1, -1, -1), palette(), /*sunken=*/false, 1);
  }
};

QLabel* MakeLabel(QWidget* parent, const QString& text, int left, int top) {
  auto* label = new QLabel(text, parent);
  label->move(left, top);
  label->adjustSize();
  return label;
}

}  // namespace

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent), FOpener([](const QUrl& url) { QDesktopServices::openUrl(url); }) {
  InitTarvoResources();
  setWindowTitle(QString::fromUtf8("バージョン情報"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFixedSize(273, 161);
  QFont f;
  f.setFamilies({QString::fromUtf8("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                 QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
  f.setPixelSize(12);
  setFont(f);
  CreateControls();
}

void TAboutBox::CreateControls() {
  Panel1 = new TBevelPanel(this);
  Panel1->setGeometry(7, 7, 258, 122);

  ProgramIcon = new QLabel(Panel1);
  ProgramIcon->setGeometry(7, 7, 32, 32);
  ProgramIcon->setPixmap(QPixmap(QStringLiteral(":/tarvo/icon.png")));

  ProductName = MakeLabel(Panel1, QString::fromUtf8("メール解析ツール Tarvo"), 81, 15);
  Version = MakeLabel(Panel1, QStringLiteral("Version "), 81, 37);
  Label1 = MakeLabel(Panel1, QStringLiteral("---"), 145, 37);
  Copyright = MakeLabel(Panel1, QStringLiteral("Copyright (C) 2026 Tarvo Project"), 7, 73);
  // The network owners come from data under CC BY-SA 4.0, which asks for its name.
  DataLicense = MakeLabel(Panel1, QStringLiteral("IPFire location database, CC BY-SA 4.0"), 7, 55);

  HomePageLink = new THoverLabel(Panel1);
  HomePageLink->setText(QString::fromLatin1(kHomePageText));
  HomePageLink->setGeometry(136, 96, 110, 12);
  HomePageLink->SetFontColor(QColor(0, 0, 255));
  HomePageLink->setCursor(Qt::PointingHandCursor);
  HomePageLink->SetChangeItalic(false);
  HomePageLink->SetChangeBold(false);
  HomePageLink->SetChangeUnderLine(false);
  HomePageLink->SetChangeColor(QColor(0, 0, 255));
  connect(HomePageLink, &THoverLabel::clicked, this, &TAboutBox::HomePageLinkClick);

  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setGeometry(102, 133, 69, 23);
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

int TAboutBox::ShowVersion() {
  Label1->setText(QStringLiteral("1.01"));
  Label1->adjustSize();
  return exec();
}

void TAboutBox::SetUrlOpener(UrlOpener opener) { FOpener = std::move(opener); }

// The shell's answer is not examined: a browser that fails to start goes unnoticed.
void TAboutBox::HomePageLinkClick() {
  if (FOpener) FOpener(QUrl(QString::fromLatin1(kHomePage)));
}

// Centred on the screen, not on the main window.
void TAboutBox::showEvent(QShowEvent* event) {
  if (QScreen* s = screen()) {
    QRect r(QPoint(0, 0), frameGeometry().size());
    r.moveCenter(s->availableGeometry().center());
    move(r.topLeft());
  }
  QDialog::showEvent(event);
}

}  // namespace tarvo
