// TMailboxList: the messages of an opened mailbox above the pages, one row
// each (日付, 差出人, 件名, 判定, 添付), sortable, filled by a worker thread
// while the user already reads and chooses.
#pragma once
#include <QWidget>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "views/messagelist.h"

class QLabel;
class QProgressBar;
class QSortFilterProxyModel;
class QTableView;
class QTimer;

namespace tarvo {

class TMailboxModel;

class TMailboxList : public QWidget {
  Q_OBJECT

 public:
  explicit TMailboxList(QWidget* parent = nullptr);
  ~TMailboxList() override;

  // Starts reading the mailbox at `path` in the background, the rows of a
  // mailbox before it dropped. Throws EFOpenError when it cannot be read.
  void Open(const std::string& path);
  // Stops reading and empties the list.
  void Close();
  // Until every row read is in the list.
  [[nodiscard]] bool Filling() const;
  [[nodiscard]] const std::string& Path() const { return path_; }
  // The bytes of message `message` (0-based, in the order read), read again.
  [[nodiscard]] std::string MessageBytes(int message) const;

  QTableView* MessageList1 = nullptr;
  QLabel* MailboxStatus1 = nullptr;
  QProgressBar* MailboxProgress1 = nullptr;

 signals:
  // The user chose a row (a click, the keys): message `message` in the
  // order read, whatever the sorting.
  void MessageChosen(int message);
  // Every message has its row.
  void Filled();

 private:
  void TakeRows();
  void ShowStatus();

  struct TPending {
    TMessageSpot Spot;
    TMessageRow Row;
  };
  std::string path_;
  std::vector<std::string> files_;
  TMailboxModel* model_ = nullptr;
  QSortFilterProxyModel* sorted_ = nullptr;
  QTimer* poll_ = nullptr;
  int chosen_ = -1;  // the message last chosen
  std::mutex mutex_;
  std::vector<TPending> pending_;  // read by the worker, not yet shown
  std::atomic<double> done_{0};
  std::atomic<bool> finished_{false};
  std::jthread worker_;
};

}  // namespace tarvo
