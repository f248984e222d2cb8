// TAboutBox: the version dialog with the home page link.
#pragma once

#include <QDialog>
#include <QUrl>
#include <functional>

class QFrame;
class QLabel;
class QPushButton;

namespace tarvo {

class THoverLabel;

class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  using UrlOpener = std::function<void(const QUrl&)>;

  static constexpr const char* kHomePage = "https://tarvo.example.com/";
  static constexpr const char* kHomePageText = "tarvo.example.com";  // what fits in the link's 110 px

  explicit TAboutBox(QWidget* parent = nullptr);

  int ShowVersion();                       // sets Label1 to "1.01" and shows the box modally
  void SetUrlOpener(UrlOpener opener);     // replaces the browser call (tests)

  QFrame* Panel1;
  QLabel* ProgramIcon;
  QLabel* ProductName;
  QLabel* Version;
  QLabel* Label1;
  QLabel* Copyright;
  QLabel* DataLicense;  // names the network-owner data and its licence
  THoverLabel* HomePageLink;
  QPushButton* OKButton;

 public slots:
  void HomePageLinkClick();  // opens the home page; the box stays open

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void CreateControls();
  UrlOpener FOpener;
};

}  // namespace tarvo
