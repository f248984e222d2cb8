// The mail loading pipeline: one file in, a views model out. The window and
// the --dump mode render the same model; nothing here knows about widgets.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/errors.h"
#include "base/textview.h"
#include "checks/auth.h"
#include "checks/filters.h"
#include "mail/mailutils.h"
#include "mail/parts.h"

namespace tarvo {

struct TRouteRow {
  std::string No, ServerName, Host, IP, Country, Date;
  // The hop: receiving host and protocol as stored, its time, the seconds
  // since the hop below (older), and the network that owns IP.
  std::string By, With;
  TMailDate Time;
  std::optional<std::int64_t> Delay;
  std::string Network;
  // How the hop was protected: "TLS1.2 ECDHE-RSA-...", "TLS", "none" (plain
  // SMTP across the Internet), or nothing when the field does not say.
  std::optional<std::string> Tls;
  bool Unlocated = false;  // the lookup found no country for IP
};

// From the Date: field to the topmost hop.
struct TDelivery {
  TMailDate Sent, Received;
  std::optional<std::int64_t> Seconds;
};

// What each view of the main window shows (their keys and captions are
// listed once, in views/viewtable.h). Memo1, Memo3, the header rows and
// the route columns taken from the fields hold bytes as stored; Memo2, Memo4
// and Memo6 hold decoded text (UTF-8); the route's country is code page 932.
// The memos' lines point into the message's bytes where they show them as
// they are, and into arenas of their own where they were converted.
struct TMailViews {
  std::vector<TRouteRow> ListView2;     // the route, topmost hop first
  TTextView Memo1{TTextKind::Stored};   // the header block
  TTextView Memo3{TTextKind::Stored};   // the raw message
  TTextView Memo2{TTextKind::Decoded};  // the body converted line by line
  TTextView Memo4{TTextKind::Decoded};  // the text parts
  TTextView Memo6{TTextKind::Decoded};  // the HTML parts
  std::vector<THeaderRow> ListView1;    // the header fields (stored)
  std::vector<std::string> Notes;       // what the route lookup had to say, one line each
  TAuthentication Authentication;       // UTF-8
  std::vector<TFinding> Findings;       // UTF-8
  std::vector<TFilterStamp> Filters;    // the receiving filters' stamps; each with its header row
  TDelivery Delivery;                   // the line under the route
  TMailParts Parts;                     // the attachments page
  TTextContext TextContext;             // how the message's text reads (the carrier, a declared charset)

  // Empties every view the pipeline fills.
  void Clear();
};

struct TLoadOptions {
  // Each part's decoded bytes, for saving; a listing needs only the sizes
  // and digests.
  bool KeepPartData = true;
  // The views to build, by their --dump keys (Hops and Memo5 too); empty:
  // all. A view another one is read from is built with it.
  std::vector<std::string> Only;
  // Told the share done (0-100) between the stages; once `Cancel` is set the
  // load stops at the next stage with ELoadCancelled. Both are used from
  // the thread that runs the load.
  std::function<void(int percent)> Progress;
  const std::atomic<bool>* Cancel = nullptr;
};

// A load the user cancelled.
class ELoadCancelled : public ETarvoError {
 public:
  ELoadCancelled() : ETarvoError("cancelled") {}
};

// The explanation box's lines for header row `row`: a filter's stamp is
// read into its fields and their meanings, any other field explained as usual.
[[nodiscard]] std::vector<std::string> RowExplanationLines(const TMailViews& views, std::size_t row);

// Runs the whole pipeline on a file into `views`, which it clears first.
// Errors (the open error, the conversion error) leave as exceptions; the
// views then hold what was filled before the error.
void LoadMailFile(const std::string& fileName, TMailViews& views, TLoadOptions options = {});

// The same on bytes already in memory (the fuzz targets and benches use it).
void LoadMailBytes(std::string bytes, TMailViews& views, TLoadOptions options = {});

}  // namespace tarvo
