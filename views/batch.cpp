#include "views/batch.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cerrno>
#include <filesystem>
#include <istream>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>

#include "base/errors.h"
#include "mail/mailbox.h"
#include "views/dump.h"
#include "views/messagelist.h"
#include "views/pipeline.h"

namespace tarvo {

namespace {

// One message to dump: a file, or a message of an mbox, read and unescaped.
struct TItem {
  std::string File;
  std::optional<TMessagePlace> Place;  // set for a message of an mbox
  std::string Error;  // CP932; why it could not be read (a path, an mbox cut short)
  std::string Bytes;  // the mbox's message
};

// The files a path names: itself, or a folder's files.
void FilesOf(const std::string& path, std::vector<std::string>& files, std::vector<TItem>& failed) {
  std::error_code ec;
  if (!std::filesystem::is_directory(path, ec)) {
    files.push_back(path);
    return;
  }
  const std::vector<std::string> found = FolderFiles(path, ec);
  if (ec) failed.push_back({path, std::nullopt, EFOpenError::Make(path, ec.value()).what(), {}});
  files.insert(files.end(), found.begin(), found.end());
}

// One message's object on one line: the writer's line breaks stand between
// values, never inside a string, where they are written \n.
std::string DumpLine(TItem& item, const std::vector<std::string>& only, TOutcome& outcome) {
  TMailViews views;
  std::string error = item.Error;
  if (error.empty()) {
    try {
      TLoadOptions options;
      options.KeepPartData = false;
      options.Only = only;
      if (item.Place) LoadMailBytes(std::move(item.Bytes), views, options);
      else LoadMailFile(item.File, views, options);
    } catch (const std::exception& e) {
      error = e.what();
      if (error.empty()) error = "?";
    }
  }
  const bool failed = !error.empty();
  outcome = failed ? TOutcome::Failed : OutcomeOf(views);
  std::ostringstream s;
  WriteMailViews(item.File, views, failed ? &error : nullptr, s, item.Place ? &*item.Place : nullptr, only);
  std::string line = std::move(s).str();
  line.erase(std::remove(line.begin(), line.end(), '\n'), line.end());
  return line + "\n";
}

// The messages done so far, by how they ended.
struct TCounts {
  std::array<std::size_t, 5> ByOutcome{};  // indexed by TOutcome
  std::size_t Done() const {
    std::size_t n = 0;
    for (std::size_t c : ByOutcome) n += c;
    return n;
  }
  std::size_t operator[](TOutcome o) const { return ByOutcome[static_cast<std::size_t>(o)]; }
};

using TClock = std::chrono::steady_clock;

double SecondsSince(TClock::time_point start) {
  return std::chrono::duration<double>(TClock::now() - start).count();
}

// The progress line on a terminal, redrawn at most ten times a second.
class TProgress {
 public:
  TProgress(std::ostream* out, std::size_t total) : out_(out), total_(total) {}
  void Update(std::size_t done, bool force = false) {
    if (!out_) return;
    const TClock::time_point now = TClock::now();
    if (!force && now - drawn_ < std::chrono::milliseconds(100)) return;
    drawn_ = now;
    *out_ << "\r" << ProgressLine(done, total_, SecondsSince(start_)) << "\x1b[K" << std::flush;
  }
  // The line is wiped: what follows starts on a clean line.
  void Finish(std::size_t done) {
    if (!out_) return;
    Update(done, true);
    *out_ << "\r\x1b[K" << std::flush;
  }
  TClock::time_point Start() const { return start_; }

 private:
  std::ostream* out_;
  std::size_t total_;
  TClock::time_point start_ = TClock::now(), drawn_{};
};

// Messages go to `jobs` threads as they are read, and their lines are
// written in input order as soon as each is next. At most a few messages a
// thread are held at once, so memory stays bounded whatever the mailbox, and
// no thread waits for the slowest message of a batch.
class TBatcher {
 public:
  TBatcher(const TDumpOptions& options, std::ostream& out, TProgress& progress)
      : options_(options), out_(out), progress_(progress), slots_(std::size_t{options.Jobs} * 4) {
    // One job runs on this thread: a thread of its own would allocate
    // outside the heap reserved at start-up and fault its pages in again.
    try {
      for (unsigned t = 0; options.Jobs > 1 && t < options.Jobs; ++t) workers_.emplace_back([this] { Work(); });
    } catch (...) {
      Stop();  // the threads already started would wait for work forever
      throw;
    }
  }
  ~TBatcher() { Stop(); }
  TBatcher(const TBatcher&) = delete;
  TBatcher& operator=(const TBatcher&) = delete;

  void Add(TItem item) {
    std::unique_lock lock(mutex_);
    WriteReady(lock, [this] { return added_ - written_ < slots_.size(); });
    slots_[added_++ % slots_.size()] = TSlot{std::move(item), {}, TOutcome::Failed, false};
    if (workers_.empty()) DumpNext(lock);
    else work_.notify_one();
  }
  // Waits for every message, writes the rest and ends the threads.
  void Finish() {
    std::unique_lock lock(mutex_);
    WriteReady(lock, [this] { return written_ == added_; });
    lock.unlock();
    out_.flush();
    Stop();
  }
  const TCounts& Counts() const { return counts_; }

 private:
  struct TSlot {
    TItem Item;
    std::string Line;
    TOutcome Outcome;
    bool Done;
  };

  // Writes the lines that are next, in order, until `enough` holds.
  template <class TEnough>
  void WriteReady(std::unique_lock<std::mutex>& lock, TEnough enough) {
    for (;;) {
      while (written_ < added_ && slots_[written_ % slots_.size()].Done) {
        TSlot& s = slots_[written_++ % slots_.size()];
        const std::string line = std::move(s.Line);
        const TOutcome outcome = s.Outcome;
        lock.unlock();  // the threads go on while this one writes
        out_ << line;
        ++counts_.ByOutcome[static_cast<std::size_t>(outcome)];
        progress_.Update(counts_.Done());
        unflushed_ = true;
        lock.lock();
      }
      if (enough()) return;
      if (unflushed_) {  // what is written reaches a reader before this one waits
        unflushed_ = false;
        lock.unlock();
        out_.flush();
        lock.lock();
        continue;
      }
      done_.wait(lock);
    }
  }

  // Takes the next message, dumps it with the lock released and files its line.
  void DumpNext(std::unique_lock<std::mutex>& lock) {
    TSlot& s = slots_[taken_++ % slots_.size()];
    TItem item = std::move(s.Item);
    lock.unlock();
    TOutcome outcome = TOutcome::Failed;
    std::string line = DumpLine(item, options_.Only, outcome);
    lock.lock();
    s.Line = std::move(line);
    s.Outcome = outcome;
    s.Done = true;
  }

  void Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      work_.wait(lock, [this] { return stopping_ || taken_ < added_; });
      if (taken_ == added_) return;
      DumpNext(lock);
      done_.notify_one();
    }
  }

  void Stop() {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    work_.notify_all();
    workers_.clear();  // joins
  }

  const TDumpOptions& options_;
  std::ostream& out_;
  TProgress& progress_;
  std::vector<TSlot> slots_;  // message i in slot i % size, until written
  std::size_t added_ = 0, taken_ = 0, written_ = 0;
  bool stopping_ = false, unflushed_ = false;
  std::mutex mutex_;
  std::condition_variable work_, done_;
  TCounts counts_;
  std::vector<std::jthread> workers_;  // last: joined before the rest goes
};

// The messages a file holds: those of an mbox, or one.
std::size_t MessagesIn(const std::string& file) {
  if (!StartsAsMbox(file)) return 1;
  std::size_t n = 0;
  try {
    TMboxFile mbox(file);
    TMboxMessage m;
    while (mbox.Next(m)) ++n;
  } catch (const std::exception&) {
    ++n;  // its error object
  }
  return n;
}

// "メッセージ 12 通 (失敗 1 通): 危険 2 / 注意 3 / 問題なし 5 / 判定できず 1、1.5 秒"
// The verdicts only when the checks ran.
void WriteSummary(std::ostream& out, const TCounts& c, bool judged, double seconds) {
  char time[32];
  std::snprintf(time, sizeof time, "%.1f", seconds);
  out << "メッセージ " << c.Done() << " 通 (失敗 " << c[TOutcome::Failed] << " 通)";
  if (judged)
    out << ": " << OutcomeName(TOutcome::Bad) << " " << c[TOutcome::Bad] << " / " << OutcomeName(TOutcome::Warn) << " "
        << c[TOutcome::Warn] << " / " << OutcomeName(TOutcome::Info) << " " << c[TOutcome::Info] << " / " << OutcomeName(TOutcome::Unjudged) << " "
        << c[TOutcome::Unjudged];
  out << "、" << time << " 秒\n" << std::flush;
}

void AddFile(const std::string& file, TBatcher& batcher) {
  if (!StartsAsMbox(file)) {
    batcher.Add({file, std::nullopt, {}, {}});
    return;
  }
  std::size_t index = 1;
  std::optional<TMboxFile> mbox;
  try {
    mbox.emplace(file);
    for (TMboxMessage m; mbox->Next(m); ++index)
      batcher.Add({file, TMessagePlace{index, m.Offset}, {}, UnescapeMboxMessage(m.Bytes)});
  } catch (const std::exception& e) {
    // Unreadable, or cut short under the message being read: that one fails.
    if (!mbox) batcher.Add({file, std::nullopt, e.what(), {}});
    else batcher.Add({file, TMessagePlace{index, mbox->Position()}, e.what(), {}});
  }
}

}  // namespace

std::string ProgressLine(std::size_t done, std::size_t total, double seconds) {
  const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
  char text[160];
  if (total == 0) {
    std::snprintf(text, sizeof text, "%zu 通  %.0f 通/秒", done, rate);
    return text;
  }
  constexpr std::size_t kWidth = 24;
  const std::size_t filled = std::min(done, total) * kWidth / total;
  const std::string bar = std::string(filled, '#') + std::string(kWidth - filled, '-');
  const std::size_t left = rate > 0 && total > done ? static_cast<std::size_t>((total - done) / rate + 0.5) : 0;
  std::snprintf(text, sizeof text, "[%s] %zu/%zu 通  %.0f 通/秒  残り %zu:%02zu", bar.c_str(), done, total, rate,
                left / 60, left % 60);
  return text;
}

int DumpPaths(const std::vector<std::string>& paths, const TDumpOptions& options, std::istream& in,
              std::ostream& out) {
  TDumpOptions run = options;
  if (run.Jobs == 0) run.Jobs = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::string> files;
  std::vector<TItem> unreadable;
  for (const std::string& p : paths) {
    if (p != "-") {
      FilesOf(p, files, unreadable);
      continue;
    }
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) FilesOf(line, files, unreadable);
    }
  }
  // One message file alone: the single object of old.
  const bool single = paths.size() == 1 && paths[0] != "-" && files.size() == 1 && unreadable.empty() &&
                      files[0] == paths[0] && !StartsAsMbox(files[0]);
  if (single) return DumpMailFile(files[0], out, options.Only);
  // The total is counted only for the bar: a second pass over each mbox.
  std::size_t total = 0;
  if (options.Progress) {
    total = unreadable.size();
    for (const std::string& f : files) total += MessagesIn(f);
  }
  TProgress progress(options.Progress, total);
  TBatcher batcher(run, out, progress);
  for (TItem& u : unreadable) batcher.Add(std::move(u));
  for (const std::string& f : files) AddFile(f, batcher);
  batcher.Finish();
  const TCounts& counts = batcher.Counts();
  progress.Finish(counts.Done());
  const bool judged = options.Only.empty() || std::any_of(options.Only.begin(), options.Only.end(), [](const std::string& k) {
                        return k == "Authentication" || k == "Filters" || k == "Findings";
                      });
  if (options.Summary) WriteSummary(*options.Summary, counts, judged, SecondsSince(progress.Start()));
  return counts[TOutcome::Failed] > 0 ? 1 : 0;
}

}  // namespace tarvo
