#include "views/messagelist.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "base/ascii.h"
#include "base/bytes.h"
#include "base/cp932.h"
#include "base/errors.h"
#include "base/filereader.h"
#include "base/stream.h"
#include "mail/mailbox.h"

namespace tarvo {

namespace fs = std::filesystem;

bool StartsAsMbox(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  char head[5] = {};
  in.read(head, sizeof head);
  return in.gcount() == 5 && IsMbox(std::string_view(head, 5));
}

bool IsMailbox(const std::string& path) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) return fs::is_directory(fs::path(path) / "cur", ec) || fs::is_directory(fs::path(path) / "new", ec);
  return fs::is_regular_file(path, ec) && StartsAsMbox(path);
}

std::vector<std::string> FolderFiles(const std::string& folder, std::error_code& error) {
  std::vector<std::string> found;
  std::error_code ec;
  fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    const fs::path& p = it->path();
    if (it->is_directory(ec) && p.filename() == "tmp" && fs::is_directory(p.parent_path() / "cur", ec)) {
      it.disable_recursion_pending();
      continue;
    }
    if (it->is_regular_file(ec)) found.push_back(p.string());
  }
  error = ec;
  std::sort(found.begin(), found.end());
  return found;
}

TOutcome OutcomeOf(const TMailViews& views) {
  const TBanner banner = VerdictBanner(views.Authentication, views.Findings);
  if (banner.Neutral) return TOutcome::Unjudged;
  switch (banner.Level) {
    case TLevel::Info: return TOutcome::Info;
    case TLevel::Warn: return TOutcome::Warn;
    case TLevel::Bad: return TOutcome::Bad;
  }
  return TOutcome::Unjudged;
}

std::string OutcomeName(TOutcome outcome) {
  // The verdict's name, as the safety page's sentence starts.
  const auto name = [](TLevel level) {
    const std::string sentence = VerdictSentence(level);
    return sentence.substr(0, sentence.find(':'));
  };
  switch (outcome) {
    case TOutcome::Failed: return "エラー";
    case TOutcome::Info: return name(TLevel::Info);
    case TOutcome::Warn: return name(TLevel::Warn);
    case TOutcome::Bad: return name(TLevel::Bad);
    case TOutcome::Unjudged: break;
  }
  return "判定できず";
}

TMessageRow FailedRow(const std::string& cp932Error) {
  TMessageRow row;
  row.Subject = Cp932ToUtf8(cp932Error);
  return row;
}

TMessageRow SummarizeMessage(std::string bytes) {
  TMessageRow row;
  TMailViews views;
  TLoadOptions options;
  options.KeepPartData = false;
  options.Only = {"Findings"};
  try {
    LoadMailBytes(std::move(bytes), views, options);
  } catch (const std::exception& e) {
    return FailedRow(e.what());
  }
  if (views.Delivery.Sent.Valid) {
    row.Date = FormatDateTime(views.Delivery.Sent);
    row.Time = UnixTime(views.Delivery.Sent);
  }
  for (const THeaderRow& r : views.ListView1) {
    std::string* cell = EqualsNoCase(Trim(r.Name), "From") ? &row.From : EqualsNoCase(Trim(r.Name), "Subject") ? &row.Subject : nullptr;
    if (cell && cell->empty()) *cell = r.Decoded;
  }
  row.Outcome = OutcomeOf(views);
  row.Attachments = std::any_of(views.Parts.begin(), views.Parts.end(), [](const TMailPart& p) {
    return !p.Name.empty() || p.Disposition == "attachment";
  });
  return row;
}

TMailboxWalk::TMailboxWalk(const std::string& path) {
  std::error_code ec;
  if (!fs::is_directory(path, ec)) {
    files_.push_back(path);
    return;
  }
  files_ = FolderFiles(path, ec);
  if (ec) throw EFOpenError::Make(path, ec.value());
}

void TMailboxWalk::Run(const TEach& each) const {
  const double files = static_cast<double>(files_.size());
  for (std::uint32_t f = 0; f < files_.size(); ++f) {
    const std::string& file = files_[f];
    const double done = f / files;
    if (!StartsAsMbox(file)) {
      std::string bytes, error;
      try {
        bytes = std::string(*ReadFileBytes(file));
      } catch (const std::exception& e) {
        error = e.what();
      }
      const TMessageSpot spot{f, 0, 0, bytes.size()};
      if (!each(spot, std::move(bytes), error, (f + 1) / files)) return;
      continue;
    }
    TMessageSpot spot{f, 1, 0, 0};
    try {
      TMboxFile mbox(file);
      const double size = static_cast<double>(std::max<std::uint64_t>(mbox.Size(), 1));
      for (TMboxMessage m; mbox.Next(m); ++spot.Index) {
        spot.Offset = m.BytesOffset;
        spot.Length = m.Bytes.size();
        if (!each(spot, UnescapeMboxMessage(m.Bytes), {}, done + mbox.Position() / size / files)) return;
      }
    } catch (const std::exception& e) {
      // The file could not be opened, or was cut short under this message.
      spot.Length = 0;
      if (!each(spot, {}, e.what(), (f + 1) / files)) return;
    }
  }
}

std::string ReadMessageAt(const std::vector<std::string>& files, const TMessageSpot& spot) {
  const std::string& file = files.at(spot.File);
  if (spot.Index == 0) return std::string(*ReadFileBytes(file));
  std::string bytes;
  TFileReader(file).ReadAt(spot.Offset, spot.Length, bytes);
  return UnescapeMboxMessage(bytes);
}

}  // namespace tarvo
