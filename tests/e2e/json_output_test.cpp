// --json: every event the program emits, in runs that reach each kind,
// checked against the field tables of docs/json.md.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <thread>

#include "tests/e2e/run_process.h"

namespace {

using e2e::Finished;
using e2e::Has;
using e2e::Sandbox;
using nlohmann::json;

// Event kind -> field path ("units[].name" for items of an array) -> type.
using Schema = std::map<std::string, std::map<std::string, std::string>>;

Schema ReadSchema() {
  Schema schema;
  std::istringstream doc(e2e::ReadFile(std::string(REFLASH_SOURCE_DIR) + "/docs/json.md"));
  std::string line, event;
  while (std::getline(doc, line)) {
    if (line.rfind("### `", 0) == 0) {
      event = line.substr(5, line.find('`', 5) - 5);
    } else if (!event.empty() && line.rfind("| `", 0) == 0) {
      const size_t nameEnd = line.find('`', 3);
      const size_t typeStart = line.find('|', nameEnd) + 1;
      const size_t typeEnd = line.find('|', typeStart);
      std::string type = line.substr(typeStart, typeEnd - typeStart);
      type = type.substr(type.find_first_not_of(' '));
      type = type.substr(0, type.find_last_not_of(' ') + 1);
      schema[event][line.substr(3, nameEnd - 3)] = type;
    }
  }
  return schema;
}

bool TypeMatches(const json& value, const std::string& type) {
  if (type == "string") return value.is_string();
  if (type == "integer") return value.is_number_integer();
  if (type == "boolean") return value.is_boolean();
  if (type == "array") return value.is_array();
  if (type == "object") return value.is_object();
  if (type == "integer or null") return value.is_number_integer() || value.is_null();
  return false;  // a type the document should not use
}

// Checks `object` against the fields documented under `prefix` (empty for
// the event itself, "units[]." for an array's items).
void CheckObject(const json& object, const std::map<std::string, std::string>& fields, const std::string& prefix,
                 const std::string& where) {
  ASSERT_TRUE(object.is_object()) << where;
  for (const auto& [key, value] : object.items()) {
    const auto it = fields.find(prefix + key);
    ASSERT_NE(it, fields.end()) << where << ": field " << prefix + key << " is not documented";
    EXPECT_TRUE(TypeMatches(value, it->second)) << where << ": " << prefix + key << " is not " << it->second;
    if (value.is_array()) {
      for (const json& item : value) CheckObject(item, fields, prefix + key + "[].", where);
    }
  }
  for (const auto& [path, type] : fields) {
    if (path.rfind(prefix, 0) != 0) continue;
    const std::string rest = path.substr(prefix.size());
    if (rest.find('.') != std::string::npos) continue;  // deeper level
    EXPECT_TRUE(object.contains(rest)) << where << ": documented field " << path << " is missing";
  }
}

// Checks each line of a run's standard output; returns the events.
std::vector<json> CheckRun(const Schema& schema, const Finished& r, const std::string& args) {
  std::vector<json> events;
  std::istringstream lines(r.out);
  std::string line;
  while (std::getline(lines, line)) {
    json event = json::parse(line, nullptr, false);
    EXPECT_FALSE(event.is_discarded()) << args << ": not JSON: " << line;
    if (event.is_discarded()) continue;
    const std::string kind = event.value("event", "");
    const auto it = schema.find(kind);
    EXPECT_NE(it, schema.end()) << args << ": undocumented event " << line;
    if (it != schema.end()) CheckObject(event, it->second, "", args + ": " + line);
    events.push_back(std::move(event));
  }
  EXPECT_FALSE(events.empty()) << args;
  if (!events.empty()) {
    EXPECT_EQ(events.back().value("event", ""), "result") << args;
    EXPECT_EQ(events.back().value("exit_status", -1), r.status) << args;
  }
  return events;
}

TEST(JsonOutput, EveryEventMatchesItsDocumentation) {
  const Schema schema = ReadSchema();
  ASSERT_GE(schema.size(), 9u) << "docs/json.md lost its tables";
  std::set<std::string> seen;
  const char* runs[] = {
      "--json --simulate --yes",
      "--json --simulate=thunderbolt --select=1 SN=6018451299",
      "--json --simulate --yes SN6018451234",
      "--json --simulate=none --yes",
  };
  for (const char* args : runs) {
    Sandbox box;
    Finished r = box.Run(args);
    for (const json& e : CheckRun(schema, r, args)) seen.insert(e.value("event", ""));
  }
  {
    // An aborted update still ends with its summary and result.
    const char* args = "--json --simulate=thunderbolt --yes";
    Sandbox box;
    const pid_t pid = box.Start(args);
    EXPECT_TRUE(box.WaitForText("out.txt", "\"phase\":\"Downloading...\""));
    kill(pid, SIGTERM);
    Finished r = box.Wait(pid, 20000);
    EXPECT_EQ(r.status, 143);
    const auto events = CheckRun(schema, r, args);
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[events.size() - 2].value("result", ""), "aborted by SIGTERM");
    EXPECT_EQ(events.back().value("outcome", ""), "aborted");
  }
  // Every documented kind was seen, so the document and the program agree.
  for (const auto& [kind, fields] : schema) EXPECT_TRUE(seen.count(kind)) << kind << " was never emitted";
}

TEST(JsonOutput, ProgressComesAtMostOnceASecondAndTheUpdateIsDescribed) {
  Sandbox box;
  Finished r = box.Run("--json --simulate --yes");
  ASSERT_EQ(r.status, 0) << r.err;
  std::istringstream lines(r.out);
  std::string line;
  std::map<std::string, int64_t> lastProgress;  // per phase
  json units, summary;
  while (std::getline(lines, line)) {
    const json e = json::parse(line);
    const std::string kind = e["event"];
    if (kind == "units") units = e;
    if (kind == "summary") summary = e;
    if (kind != "progress" || e["percent"] == 100) continue;
    const std::string phase = e["phase"];
    if (lastProgress.count(phase)) {
      EXPECT_GE(e["time_ms"].get<int64_t>() - lastProgress[phase], 1000) << line;
    }
    lastProgress[phase] = e["time_ms"];
  }
  EXPECT_EQ(units["units"][0]["name"], "Orvella(n) connected via Orvella(n) MIDI 1");
  EXPECT_EQ(units["details"]["Serial Number"], "6018451234");
  EXPECT_EQ(units["details"]["New Firmware Version"], "1.10");
  EXPECT_EQ(summary["old_version"], "1.2");
  EXPECT_EQ(summary["bank"], "PROM2");
  EXPECT_EQ(summary["image_bytes"], 3026032);
  EXPECT_EQ(summary["result"], "succeeded");
  // Standard output holds only the events; the window's text went to the error stream.
  EXPECT_NE(r.err.find("== Orvella(n) Firmware Update =="), std::string::npos);
}

TEST(JsonOutput, EventsComeInTheDocumentedOrderAndTellOnlyWhatHappened) {
  // notice any time; units once, before everything else; result last.
  auto rank = [](const std::string& kind) { return kind == "units" ? 1 : kind == "result" ? 3 : 2; };
  struct Case {
    const char* args;
    const char* noticeHas;  // a notice must say this (null: none needed)
  };
  const Case cases[] = {
      {"--json --simulate --yes", nullptr},
      {"--json --simulate=thunderbolt --select=1 SN=6018451299", nullptr},
      {"--json --simulate=blank-serial --yes GETSN --serial=6018451299", nullptr},
      {"--json --simulate=blank-serial --yes GETSN", "no text given (--serial=...)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    Sandbox box;
    const Finished r = box.Run(c.args);
    std::istringstream lines(r.out);
    std::string line;
    int last = 0, units = 0;
    bool asked = false, noticed = false;
    while (std::getline(lines, line)) {
      const json e = json::parse(line);
      const std::string kind = e["event"];
      if (kind == "notice") {
        noticed = noticed || (c.noticeHas && Has(e.value("text", ""), c.noticeHas));
        continue;
      }
      EXPECT_GE(rank(kind), last) << line;
      last = rank(kind);
      units += kind == "units";
      asked = asked || kind == "question";
      // The status line's placeholder is no phase the run entered.
      if (kind == "phase" && !asked) {
        EXPECT_NE(e["phase"], "Programming...") << line;
      }
    }
    EXPECT_EQ(units, 1) << r.out;
    EXPECT_EQ(noticed, c.noticeHas != nullptr) << r.out;
  }
}

}  // namespace
