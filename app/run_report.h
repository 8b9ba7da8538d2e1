#pragma once
// What a scripted or unattended run needs beyond the window: the entry to
// show first, strictness about the command line, and a record of every
// write handed to the front end (screen or JSON) as well as to the log.
#include <cstdint>
#include <optional>
#include <string>

// One finished (or failed) update, as its summary line tells it.
struct UpdateSummary {
  std::string device;      // the entry's text: device and connection
  std::string serial;      // as shown ("Not Present" when blank)
  std::string oldVersion;  // "1.2"
  std::string newVersion;  // "1.10"
  std::string bank;        // "PROM1", "PROM2", "both PROMs", or "" for a card or module
  std::string image;       // file or built-in image name
  uint32_t imageBytes = 0;
  uint32_t durationMs = 0;
  std::string result;      // "succeeded", "failed", "aborted by SIGTERM"...
};

// "Update: <device>, serial ..., firmware A -> B, PROM2, image N (S bytes),
// took hh:mm:ss, succeeded" (no line end).
std::string SummaryLine(const UpdateSummary& summary);

// The front end's side of the record. Every call is also logged by the
// window logic itself.
class RunReport {
 public:
  virtual ~RunReport() = default;
  // A line for the error stream (unknown tokens, refused files).
  virtual void Notice(const std::string& line) = 0;
  // A serial-number write to list entry `entry` and how it ended.
  virtual void SerialWritten(int entry, const std::string& device, const std::string& serial, bool ok) = 0;
  // The end of an update.
  virtual void Updated(const UpdateSummary& summary) = 0;
};

struct RunSettings {
  // The unit-list entry to show first (0 when absent). An entry past the
  // list ends the run as a usage error before anything is written.
  std::optional<int> select;
  // A scripted run (--console --yes, --json): an unknown token or a FILE=
  // that cannot be used ends the run before any unit is touched.
  bool strict = false;
  RunReport* report = nullptr;  // not owned; may be null
};

// How long moving `imageBytes` to a unit takes over the link of
// `interfaceType` (a transport kind of the remote), in seconds; 0 when the
// link's speed is not known.
uint32_t EstimateTransferSeconds(uint16_t interfaceType, uint32_t imageBytes);

// "about 24 minutes", "about 40 seconds", "about 1 hour 5 minutes".
std::string DurationText(uint32_t seconds);
