#include "views/batch.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <istream>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

#include "base/errors.h"
#include "base/mappedfile.h"
#include "mail/mailbox.h"
#include "views/dump.h"
#include "views/pipeline.h"

namespace tarvo {

namespace {

namespace fs = std::filesystem;

// One message to dump: a file, or a message inside a mapped mbox.
struct TItem {
  std::string File;
  std::shared_ptr<const TMappedFile> Mbox;  // keeps `Bytes` alive
  std::string_view Bytes;
  std::optional<TMessagePlace> Place;
  std::string Error;  // CP932; set when the path could not be read at all
};

// The files a path names: itself, or a folder's regular files, sorted, with
// Maildir's unfinished tmp/ left out.
void FilesOf(const std::string& path, std::vector<std::string>& files, std::vector<TItem>& failed) {
  std::error_code ec;
  if (!fs::is_directory(path, ec)) {
    files.push_back(path);
    return;
  }
  std::vector<std::string> found;
  fs::recursive_directory_iterator it(path, fs::directory_options::skip_permission_denied, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    const fs::path& p = it->path();
    if (it->is_directory(ec) && p.filename() == "tmp" && fs::is_directory(p.parent_path() / "cur", ec)) {
      it.disable_recursion_pending();
      continue;
    }
    if (it->is_regular_file(ec)) found.push_back(p.string());
  }
  if (ec) failed.push_back({path, nullptr, {}, std::nullopt, EFOpenError::Make(path, ec.value()).what()});
  std::sort(found.begin(), found.end());
  files.insert(files.end(), found.begin(), found.end());
}

bool StartsAsMbox(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  char head[5] = {};
  in.read(head, sizeof head);
  return in.gcount() == 5 && IsMbox(std::string_view(head, 5));
}

// One message's object on one line: the writer's line breaks stand between
// values, never inside a string, where they are written \n.
std::string DumpLine(const TItem& item, bool& failed) {
  TMailViews views;
  std::string error = item.Error;
  if (error.empty()) {
    try {
      TLoadOptions options;
      options.KeepPartData = false;
      if (item.Mbox) LoadMailBytes(UnescapeMboxMessage(item.Bytes), views, options);
      else LoadMailFile(item.File, views, options);
    } catch (const std::exception& e) {
      error = e.what();
      if (error.empty()) error = "?";
    }
  }
  failed = !error.empty();
  std::ostringstream s;
  WriteMailViews(item.File, views, failed ? &error : nullptr, s, item.Place ? &*item.Place : nullptr);
  std::string line = std::move(s).str();
  line.erase(std::remove(line.begin(), line.end(), '\n'), line.end());
  return line + "\n";
}

// Dumps a batch on `jobs` threads and writes it in order.
bool DumpBatch(const std::vector<TItem>& batch, unsigned jobs, std::ostream& out) {
  std::vector<std::string> lines(batch.size());
  std::vector<char> failed(batch.size(), 0);
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i = next++; i < batch.size(); i = next++) {
      bool f = false;
      lines[i] = DumpLine(batch[i], f);
      failed[i] = f;
    }
  };
  std::vector<std::jthread> threads;
  for (unsigned t = 1; t < std::min<std::size_t>(jobs, batch.size()); ++t) threads.emplace_back(work);
  work();
  threads.clear();
  for (const std::string& l : lines) out << l;
  out.flush();
  return std::find(failed.begin(), failed.end(), 1) != failed.end();
}

class TBatcher {
 public:
  TBatcher(unsigned jobs, std::ostream& out) : jobs_(jobs), out_(out) {}
  void Add(TItem item) {
    batch_.push_back(std::move(item));
    // A few messages per thread: memory stays bounded whatever the mailbox.
    if (batch_.size() >= std::size_t{jobs_} * 4) Flush();
  }
  void Flush() {
    if (!batch_.empty()) failed_ = DumpBatch(batch_, jobs_, out_) || failed_;
    batch_.clear();
  }
  bool Failed() const { return failed_; }

 private:
  unsigned jobs_;
  std::ostream& out_;
  std::vector<TItem> batch_;
  bool failed_ = false;
};

void AddFile(const std::string& file, TBatcher& batcher) {
  if (!StartsAsMbox(file)) {
    batcher.Add({file, nullptr, {}, std::nullopt, {}});
    return;
  }
  std::shared_ptr<const TMappedFile> mapped;
  try {
    mapped = std::make_shared<const TMappedFile>(file);
  } catch (const std::exception& e) {
    batcher.Add({file, nullptr, {}, std::nullopt, e.what()});
    return;
  }
  TMboxReader reader(mapped->Bytes());
  TMboxMessage m;
  for (std::size_t index = 1; reader.Next(m); ++index)
    batcher.Add({file, mapped, m.Bytes, TMessagePlace{index, m.Offset}, {}});
  // The batch may still point into the mapping; the items own a share of it.
}

}  // namespace

int DumpPaths(const std::vector<std::string>& paths, unsigned jobs, std::istream& in, std::ostream& out) {
  if (jobs == 0) jobs = std::max(1u, std::thread::hardware_concurrency());
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
  if (single) return DumpMailFile(files[0], out);
  TBatcher batcher(jobs, out);
  for (TItem& u : unreadable) batcher.Add(std::move(u));
  for (const std::string& f : files) AddFile(f, batcher);
  batcher.Flush();
  return batcher.Failed() ? 1 : 0;
}

}  // namespace tarvo
