#include "app/MailboxList.h"

#include <QAbstractTableModel>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "app/Display.h"

namespace tarvo {

namespace {

enum TColumn { kDate, kFrom, kSubject, kVerdict, kAttachments, kColumns };
constexpr int kSortRole = Qt::UserRole;

QString Utf8(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())).simplified();
}

// The worse verdicts sort after the better ones, a failure last.
int Severity(TOutcome o) {
  switch (o) {
    case TOutcome::Info: return 0;
    case TOutcome::Unjudged: return 1;
    case TOutcome::Warn: return 2;
    case TOutcome::Bad: return 3;
    case TOutcome::Failed: break;
  }
  return 4;
}

}  // namespace

// The rows as read, in the order read; the view sorts through a proxy.
class TMailboxModel : public QAbstractTableModel {
 public:
  struct TRow {
    QString Date, From, Subject;
    qint64 Time;
    TOutcome Outcome;
    bool Attachments;
    TMessageSpot Spot;
  };

  using QAbstractTableModel::QAbstractTableModel;
  int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : static_cast<int>(rows_.size()); }
  int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : kColumns; }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid()) return {};
    const TRow& r = rows_[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    if (role == kSortRole) {
      if (column == kDate) return r.Time;
      if (column == kVerdict) return Severity(r.Outcome);
      if (column == kAttachments) return r.Attachments;
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != kSortRole) return {};
    QString text;
    switch (column) {
      case kDate: text = r.Date; break;
      case kFrom: text = r.From; break;
      case kSubject: text = r.Subject; break;
      case kVerdict: text = QString::fromUtf8(OutcomeName(r.Outcome)); break;
      case kAttachments: text = r.Attachments ? QStringLiteral("●") : QString(); break;
      default: break;
    }
    return role == Qt::ToolTipRole ? (text.isEmpty() ? QVariant() : PlainToolTip(text)) : text;
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    static const char* const kCaptions[kColumns] = {"日付", "差出人", "件名", "判定", "添付"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumns) return {};
    return QString::fromUtf8(kCaptions[section]);
  }

  void Append(std::vector<TRow> rows) {
    if (rows.empty()) return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    for (TRow& r : rows) rows_.push_back(std::move(r));
    endInsertRows();
  }
  void Clear() {
    beginResetModel();
    rows_.clear();
    rows_.shrink_to_fit();
    endResetModel();
  }
  [[nodiscard]] const TMessageSpot& Spot(int row) const { return rows_.at(static_cast<std::size_t>(row)).Spot; }

 private:
  std::vector<TRow> rows_;
};

TMailboxList::TMailboxList(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("MailboxList"));
  model_ = new TMailboxModel(this);
  sorted_ = new QSortFilterProxyModel(this);
  sorted_->setSourceModel(model_);
  sorted_->setSortRole(kSortRole);
  sorted_->setSortCaseSensitivity(Qt::CaseInsensitive);

  MessageList1 = new QTableView;
  MessageList1->setObjectName(QStringLiteral("MessageList1"));
  MessageList1->setModel(sorted_);
  MessageList1->setSelectionBehavior(QAbstractItemView::SelectRows);
  MessageList1->setSelectionMode(QAbstractItemView::SingleSelection);
  MessageList1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  MessageList1->setTabKeyNavigation(false);
  MessageList1->setWordWrap(false);
  MessageList1->setShowGrid(false);
  MessageList1->verticalHeader()->hide();
  MessageList1->verticalHeader()->setDefaultSectionSize(17);
  QHeaderView* header = MessageList1->horizontalHeader();
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setHighlightSections(false);
  // The date whole, the others by their usual length.
  const QFontMetrics metrics(font());  // the window's: the list has no parent yet
  const int widths[kColumns] = {metrics.horizontalAdvance(QStringLiteral("0000/00/00 00:00:00")) + 14, 260, 520, 80, 40};
  for (int c = 0; c < kColumns; ++c) MessageList1->setColumnWidth(c, widths[c]);
  header->setSectionResizeMode(kSubject, QHeaderView::Stretch);
  MessageList1->setSortingEnabled(true);
  MessageList1->sortByColumn(kDate, Qt::AscendingOrder);
  connect(MessageList1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            // Rows coming in or sorted move the current one; only another message counts.
            const int message = current.isValid() ? sorted_->mapToSource(current).row() : -1;
            if (message == chosen_ || message < 0) return;
            chosen_ = message;
            emit MessageChosen(message);
          });

  MailboxStatus1 = new QLabel;
  MailboxStatus1->setObjectName(QStringLiteral("MailboxStatus1"));
  MailboxStatus1->setTextFormat(Qt::PlainText);
  MailboxStatus1->setContentsMargins(4, 2, 4, 2);
  MailboxProgress1 = new QProgressBar;
  MailboxProgress1->setObjectName(QStringLiteral("MailboxProgress1"));
  MailboxProgress1->setRange(0, 1000);
  MailboxProgress1->setMaximumWidth(240);
  MailboxProgress1->setTextVisible(false);
  auto* strip = new QHBoxLayout;
  strip->setContentsMargins(0, 0, 6, 0);
  strip->addWidget(MailboxStatus1, 1);
  strip->addWidget(MailboxProgress1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(MessageList1, 1);
  layout->addLayout(strip);

  poll_ = new QTimer(this);
  connect(poll_, &QTimer::timeout, this, [this] { TakeRows(); });
}

TMailboxList::~TMailboxList() { Close(); }

void TMailboxList::Open(const std::string& path) {
  auto walk = std::make_shared<const TMailboxWalk>(path);
  Close();
  path_ = path;
  files_ = walk->Files();
  finished_ = false;
  done_ = 0;
  // The worker reads and judges the messages and hands their rows over;
  // only this thread touches the widgets.
  worker_ = std::jthread([this, walk](std::stop_token stop) {
    walk->Run([&](const TMessageSpot& spot, std::string bytes, const std::string& error, double done) {
      TPending p{spot, error.empty() ? SummarizeMessage(std::move(bytes)) : FailedRow(error)};
      {
        const std::lock_guard lock(mutex_);
        pending_.push_back(std::move(p));
      }
      done_ = done;
      return !stop.stop_requested();
    });
    finished_ = true;
  });
  poll_->start(100);
  ShowStatus();
}

void TMailboxList::Close() {
  if (worker_.joinable()) {
    worker_.request_stop();
    worker_.join();
  }
  poll_->stop();
  pending_.clear();
  model_->Clear();
  chosen_ = -1;
  files_.clear();
  path_.clear();
}

void TMailboxList::TakeRows() {
  const bool finished = finished_;  // read first: every row was handed over before it was set
  std::vector<TPending> taken;
  {
    const std::lock_guard lock(mutex_);
    taken.swap(pending_);
  }
  std::vector<TMailboxModel::TRow> rows;
  rows.reserve(taken.size());
  for (TPending& p : taken)
    rows.push_back({Utf8(p.Row.Date), Utf8(p.Row.From), Utf8(p.Row.Subject), p.Row.Time, p.Row.Outcome,
                    p.Row.Attachments, p.Spot});
  model_->Append(std::move(rows));
  if (finished) {
    poll_->stop();
    worker_.join();
  }
  ShowStatus();
  if (!finished) return;
  // A mailbox of one message (a message saved with its "From " line) shows it.
  if (model_->rowCount() == 1 && chosen_ < 0) MessageList1->selectRow(0);
  emit Filled();
}

bool TMailboxList::Filling() const { return poll_->isActive(); }

void TMailboxList::ShowStatus() {
  const int n = model_->rowCount();
  const bool filling = Filling();
  MailboxProgress1->setVisible(filling);
  MailboxProgress1->setValue(static_cast<int>(done_ * 1000));
  MailboxStatus1->setText(filling ? QStringLiteral("読み込み中… %1 通").arg(n) : QStringLiteral("%1 通").arg(n));
}

std::string TMailboxList::MessageBytes(int message) const { return ReadMessageAt(files_, model_->Spot(message)); }

}  // namespace tarvo
