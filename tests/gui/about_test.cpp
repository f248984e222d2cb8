// The hover label and the about box, driven with synthetic events.
#include <gtest/gtest.h>

#include <QAction>
#include <QEnterEvent>
#include <QImage>
#include <QLabel>
#include <QMetaProperty>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "app/HoverLabel.h"
#include "app/MainWindow.h"
#include "app/AboutBox.h"

namespace tarvo {
namespace {

void Enter(QWidget* w) {
  QEnterEvent ev(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QCoreApplication::sendEvent(w, &ev);
}

void Leave(QWidget* w) {
  QEvent ev(QEvent::Leave);
  QCoreApplication::sendEvent(w, &ev);
}

// Counts pixels of the label's picture that are close to the given colour.
int CountPixels(QWidget* w, const QColor& c) {
  const QImage img = w->grab().toImage();
  int n = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QColor p = img.pixelColor(x, y);
      if (std::abs(p.red() - c.red()) < 40 && std::abs(p.green() - c.green()) < 40 &&
          std::abs(p.blue() - c.blue()) < 40)
        ++n;
    }
  return n;
}

TEST(HoverLabel, PropertiesInStoredOrderWithCreationValues) {
  THoverLabel label;
  const QMetaObject* mo = label.metaObject();
  const char* names[] = {"ChangeItalic", "ChangeBold", "ChangeUnderLine", "ChangeColor"};
  for (int i = 0; i < 4; ++i) {
    const QMetaProperty prop = mo->property(mo->propertyOffset() + i);
    EXPECT_STREQ(prop.name(), names[i]);
    EXPECT_TRUE(prop.isWritable());
  }
  EXPECT_FALSE(label.property("ChangeItalic").toBool());
  EXPECT_FALSE(label.property("ChangeBold").toBool());
  EXPECT_FALSE(label.property("ChangeUnderLine").toBool());
  EXPECT_EQ(label.property("ChangeColor").value<QColor>(), QColor(0, 0, 255));
}

TEST(HoverLabel, LeavingRemovesFlaggedStylesTheFontHadBefore) {
  struct Case {
    const char* flag;
    bool (QFont::*get)() const;
    void (QFont::*set)(bool);
  };
  const Case cases[] = {{"ChangeBold", &QFont::bold, &QFont::setBold},
                        {"ChangeItalic", &QFont::italic, &QFont::setItalic},
                        {"ChangeUnderLine", &QFont::underline, &QFont::setUnderline}};
  for (const Case& c : cases) {
    THoverLabel label;
    label.setProperty(c.flag, true);
    QFont f = label.font();
    (f.*c.set)(true);  // the style is there at design time
    label.setFont(f);
    Enter(&label);
    EXPECT_TRUE((label.font().*c.get)()) << c.flag;
    Leave(&label);
    EXPECT_FALSE((label.font().*c.get)()) << c.flag;
  }
}

TEST(HoverLabel, EnterAddsOnlyFlaggedStyles) {
  THoverLabel label;
  label.SetChangeItalic(true);
  label.SetChangeUnderLine(true);
  Enter(&label);
  EXPECT_TRUE(label.font().italic());
  EXPECT_TRUE(label.font().underline());
  EXPECT_FALSE(label.font().bold());
  Leave(&label);
  EXPECT_FALSE(label.font().italic());
  EXPECT_FALSE(label.font().underline());
}

TEST(HoverLabel, ColourChangesWhileOverAndIsRestored) {
  THoverLabel label;
  label.setText(QStringLiteral("MMMMMMMM"));
  label.resize(100, 20);
  label.SetFontColor(Qt::black);
  label.SetChangeColor(Qt::red);
  ASSERT_EQ(CountPixels(&label, Qt::red), 0);
  Enter(&label);
  EXPECT_EQ(label.FontColor(), QColor(Qt::red));
  EXPECT_GT(CountPixels(&label, Qt::red), 0);
  Leave(&label);
  EXPECT_EQ(label.FontColor(), QColor(Qt::black));
  EXPECT_EQ(CountPixels(&label, Qt::red), 0);
  EXPECT_GT(CountPixels(&label, Qt::black), 0);
}

TEST(HoverLabel, ColourIsSavedAnewOnEveryEnter) {
  THoverLabel label;
  label.SetFontColor(Qt::black);
  label.SetChangeColor(Qt::red);
  Enter(&label);
  Leave(&label);
  label.SetFontColor(Qt::green);
  Enter(&label);
  Leave(&label);
  EXPECT_EQ(label.FontColor(), QColor(Qt::green));
}

TEST(HoverLabel, LeaveWithoutEnterKeepsTheColour) {
  THoverLabel label;
  label.SetFontColor(Qt::black);
  Leave(&label);
  EXPECT_EQ(label.FontColor(), QColor(Qt::black));
}

TEST(HoverLabel, RaisesItsOwnEnterAndLeaveEvents) {
  THoverLabel label;
  QSignalSpy entered(&label, &THoverLabel::mouseEntered);
  QSignalSpy left(&label, &THoverLabel::mouseLeft);
  Enter(&label);
  EXPECT_EQ(entered.count(), 1);
  EXPECT_EQ(left.count(), 0);
  Leave(&label);
  EXPECT_EQ(left.count(), 1);
}

TEST(HoverLabel, ClickedOnlyWhenReleasedOverTheLabel) {
  THoverLabel label;
  label.resize(50, 12);
  QSignalSpy clicked(&label, &THoverLabel::clicked);
  QTest::mouseClick(&label, Qt::LeftButton);
  EXPECT_EQ(clicked.count(), 1);
  QTest::mouseClick(&label, Qt::RightButton);
  QTest::mousePress(&label, Qt::LeftButton);
  QTest::mouseRelease(&label, Qt::LeftButton, {}, QPoint(80, 30));
  EXPECT_EQ(clicked.count(), 1);
}

TEST(AboutBox, FixedSizeCaptionAndDefaultButton) {
  TAboutBox box;
  EXPECT_EQ(box.size(), QSize(273, 161));
  EXPECT_EQ(box.minimumSize(), box.maximumSize());
  EXPECT_EQ(box.windowTitle(), QString::fromUtf8("バージョン情報"));
  EXPECT_TRUE(box.OKButton->isDefault());
  EXPECT_EQ(box.Label1->text(), QStringLiteral("---"));
  EXPECT_FALSE(box.ProgramIcon->pixmap().isNull());
  EXPECT_EQ(box.ProgramIcon->pixmap().size(), QSize(32, 32));
  EXPECT_TRUE(box.ProductName->text().endsWith(QStringLiteral("Tarvo")));
}

TEST(AboutBox, NamesTheNetworkDataAndItsLicenceInFull) {
  TAboutBox box;
  const QLabel* l = box.DataLicense;
  EXPECT_TRUE(l->text().contains(QStringLiteral("IPFire location database")));
  EXPECT_TRUE(l->text().contains(QStringLiteral("CC BY-SA 4.0")));
  // Wholly inside the panel and clear of the labels around it.
  const QRect r(l->pos(), l->sizeHint());
  EXPECT_TRUE(box.Panel1->rect().contains(r)) << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
  for (const QWidget* other : {static_cast<QWidget*>(box.Version), static_cast<QWidget*>(box.Label1),
                               static_cast<QWidget*>(box.Copyright), static_cast<QWidget*>(box.HomePageLink)})
    EXPECT_FALSE(r.intersects(other->geometry())) << other->objectName().toStdString();
}

TEST(AboutBox, LinkLabelLooksTheSameUnderThePointer) {
  TAboutBox box;
  THoverLabel* link = box.HomePageLink;
  EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(link->FontColor(), QColor(0, 0, 255));
  EXPECT_LE(link->sizeHint().width(), link->width());  // the whole address is seen
  const QImage before = link->grab().toImage();
  ASSERT_GT(CountPixels(link, QColor(0, 0, 255)), 0);
  Enter(link);
  const QImage over = link->grab().toImage();
  Leave(link);
  const QImage after = link->grab().toImage();
  EXPECT_EQ(over, before);
  EXPECT_EQ(after, before);
}

TEST(AboutBox, ShowVersionSetsTheVersionOnEveryShowing) {
  TAboutBox box;
  for (int round = 0; round < 2; ++round) {
    box.Label1->setText(QStringLiteral("---"));
    QString shown;
    QTimer::singleShot(0, &box, [&] {
      shown = box.Version->text() + box.Label1->text();
      QTest::keyClick(&box, Qt::Key_Return);
    });
    EXPECT_EQ(box.ShowVersion(), QDialog::Accepted);
    EXPECT_EQ(shown, QStringLiteral("Version 1.01"));
    EXPECT_FALSE(box.isVisible());
  }
}

TEST(AboutBox, EnterClosesWithAccepted) {
  TAboutBox box;
  box.show();
  ASSERT_TRUE(box.isVisible());
  QTest::keyClick(&box, Qt::Key_Enter);
  EXPECT_FALSE(box.isVisible());
  EXPECT_EQ(box.result(), QDialog::Accepted);
}

TEST(AboutBox, ClickingTheLinkOpensTheAddressAndStaysOpen) {
  TAboutBox box;
  std::vector<QUrl> opened;
  box.SetUrlOpener([&](const QUrl& url) { opened.push_back(url); });
  box.show();
  QTest::mouseClick(box.HomePageLink, Qt::LeftButton);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], QUrl(QStringLiteral("https://tarvo.example.com/")));
  EXPECT_EQ(opened[0].host(), box.HomePageLink->text());
  EXPECT_TRUE(box.isVisible());
}

}  // namespace
}  // namespace tarvo

TEST(AboutBox, AboutMenuItemShowsTheBoxWithItsVersion) {
  tarvo::TMainWindow form;
  tarvo::TAboutBox about;
  form.SetAboutBox(&about);
  QString seen;
  QTimer::singleShot(0, &about, [&] {
    seen = about.Version->text() + about.Label1->text();
    about.accept();
  });
  form.About1->trigger();
  EXPECT_EQ(seen, QStringLiteral("Version 1.01"));
  EXPECT_FALSE(about.isVisible());
}
