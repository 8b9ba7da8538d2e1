// The fault matrix: every row of the table runs the window (or the console
// program) into its fault and checks that the update never lies: the
// row's messages appear, nothing says success, the window is ready again,
// the run's outcome is a failure (a non-zero exit status on the console),
// the unit cancel command goes out exactly where it should, and the
// temporary folder is empty afterwards.
//
// With REFLASH_FAULTS_MARKDOWN=path the binary writes the table with the
// result of each row to that path when it ends (scripts/faults-report).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "platform/net/udp_socket.h"
#include "tests/faults/fault_run.h"
#include "tests/support/network_simulator.h"
#include "tests/support/private_network.h"
#include "tests/support/text_files.h"

namespace faults {
namespace {

namespace fs = std::filesystem;
using test_support::Has;
using test_support::ReadFile;

const char* const kSuccessTexts[] = {"Programming Complete", "Congratulations", "EEPROM Programming Success",
                                     "VE-ZER Success", "Writing Serial Number Complete"};

std::map<std::string, std::string>& Results() {
  static std::map<std::string, std::string> results;
  return results;
}

// Each expected text appears in a message, in the order given.
void ExpectMessagesInOrder(const std::vector<std::string>& shown, const std::vector<std::string>& expected) {
  size_t at = 0;
  for (const std::string& want : expected) {
    bool found = false;
    for (; at < shown.size() && !found; ++at) found = Has(shown[at], want);
    EXPECT_TRUE(found) << "message not shown (in order): " << ::testing::PrintToString(want);
  }
}

std::string AllOf(const std::vector<std::string>& texts) {
  std::string all;
  for (const auto& t : texts) all += t + "\n---\n";
  return all;
}

class FaultMatrix : public ::testing::TestWithParam<Row> {
 protected:
  void TearDown() override {
    Results()[GetParam().id] = IsSkipped() ? "skipped" : HasFailure() ? "FAILED" : "passed";
  }

  void RunInWindow(const Row& row);
  void RunConsole(const Row& row);
  // Network rows: the private network, the simulator and the held port.
  void PrepareNetwork(const Row& row, const fs::path& root);

  std::unique_ptr<test_support::NetworkSimulator> simulator_;
  int heldPort_ = -1;
};

void FaultMatrix::RunInWindow(const Row& row) {
  FaultRun run(row.link, ConfigFor(row.flow));
  const std::string commandLine = row.arrange(run);
  const RunOutcome outcome = run.Run(commandLine);

  // A failure in the console's terms: never a success, never "nothing".
  EXPECT_NE(outcome, RunOutcome::UpdateSucceeded);
  EXPECT_NE(outcome, RunOutcome::SerialWritten);
  EXPECT_NE(outcome, RunOutcome::Nothing);

  const std::vector<std::string> shown = run.Messages();
  ExpectMessagesInOrder(shown, row.messages);
  const std::string log = run.Log();
  for (const char* success : kSuccessTexts) {
    EXPECT_FALSE(Has(AllOf(shown), success)) << success;
    EXPECT_FALSE(Has(log, success)) << success;
  }
  SCOPED_TRACE(AllOf(shown));
  if (std::getenv("REFLASH_FAULTS_VERBOSE")) std::printf("%s\n=== log\n%s\n", AllOf(shown).c_str(), log.c_str());

  // Ready again (or, for runs that end the window themselves, ended).
  const WindowLook& look = run.Look();
  if (look.seen) {
    EXPECT_TRUE(look.update);
    EXPECT_FALSE(look.progress);
    EXPECT_FALSE(look.congratulations);
    EXPECT_FALSE(look.waitCursor);
    EXPECT_EQ(look.tempFiles, std::vector<std::string>()) << "temporary files left while the window is open";
  } else {
    const test_support::DialogState* window = run.Host().Last(workflow_test::kMainDialog);
    EXPECT_TRUE(window == nullptr || window->ended);
  }

  EXPECT_EQ(run.CancelSent(), row.cancel);
  // A card is never marked complete after a failure; a cancelled unit
  // never finishes programming. (A unit that merely went silent may finish
  // unseen: the host cannot know, and saying "failed" is not a lie. One
  // that stored a byte wrong finishes and reports its verify error, and
  // keeps what reached its flash.)
  if (sim::UnitModel* unit = run.UnitIfAny()) {
    EXPECT_EQ(unit->CardCompleteCount(), 0);
    if (row.cancel && unit->faults().corruptStoredByte < 0) {
      EXPECT_TRUE(unit->Prom(0).empty() && unit->Prom(1).empty());
      EXPECT_TRUE(unit->ModuleFlash().empty());
    }
  }
  run.CloseWindow();
  EXPECT_EQ(run.TempLeftovers(), std::vector<std::string>());
}

void FaultMatrix::RunConsole(const Row& row) {
  const char* bin = std::getenv("REFLASH_BIN");
  if (!bin || !*bin) GTEST_SKIP() << "REFLASH_BIN is not set";
  std::string pattern = (fs::temp_directory_path() / "reflash-faults-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const fs::path root = pattern;
  const fs::path work = root / "work";
  const fs::path temp = root / "tmp";
  fs::create_directories(work);
  fs::create_directories(temp);

  if (row.link == Link::kNetwork) {
    PrepareNetwork(row, root);
    if (IsSkipped() || HasFatalFailure()) {
      std::error_code ignored;
      fs::remove_all(root, ignored);
      return;
    }
  }

  std::string args = row.console(work);
  std::string enter = "cd '" + work.string() + "'";
  if (args.rfind(kRemoveFolder, 0) == 0) {
    args.erase(0, std::string(kRemoveFolder).size());
    enter += " && rmdir '" + work.string() + "'";
  }
  const std::string command = enter + " && TMPDIR='" + temp.string() + "' '" + bin + "' " + args + " >'" +
                              (root / "out.txt").string() + "' 2>'" + (root / "err.txt").string() + "' </dev/null";
  const int raw = std::system(command.c_str());
  chmod(work.c_str(), 0755);

  ASSERT_TRUE(WIFEXITED(raw)) << "the program did not exit normally";
  const int status = WEXITSTATUS(raw);
  const std::string out = ReadFile(root / "out.txt");
  const std::string err = ReadFile(root / "err.txt");
  const std::string log = ReadFile(work / "OrvellaReflash.log");
  SCOPED_TRACE("stdout:\n" + out + "\nstderr:\n" + err);
  EXPECT_NE(status, 0);
  EXPECT_NE(status, 127) << "the shell could not start the program";
  ExpectMessagesInOrder({err}, row.messages);
  if (row.logged) {
    EXPECT_TRUE(Has(log, row.logged)) << log;
  }
  for (const char* success : kSuccessTexts) {
    EXPECT_FALSE(Has(out + err + log, success)) << success;
  }
  EXPECT_FALSE(Has(err, "ERROR: AddressSanitizer")) << err;
  EXPECT_FALSE(Has(err, "runtime error:")) << err;
  std::vector<std::string> leftovers;
  for (const auto& entry : fs::directory_iterator(temp)) leftovers.push_back(entry.path().filename().string());
  EXPECT_EQ(leftovers, std::vector<std::string>());

  if (simulator_) {
    const std::string report = simulator_->Stop();
    if (HasFailure()) ADD_FAILURE() << "simulator:\n" << report;
  }
  if (heldPort_ >= 0) platform::net::UdpClose(heldPort_);
  std::error_code ignored;
  fs::remove_all(root, ignored);
}

void FaultMatrix::PrepareNetwork(const Row& row, const fs::path& root) {
#ifndef REFLASH_TEST_SIM_NETWORK
  (void)row;
  (void)root;
  GTEST_SKIP() << "this build has no network simulator";
#else
  REQUIRE_PRIVATE_NETWORK();
  if (row.simulator) {
    std::vector<std::string> args;
    std::istringstream words(row.simulator);
    for (std::string w; words >> w;) args.push_back(w);
    simulator_ = std::make_unique<test_support::NetworkSimulator>(REFLASH_TEST_SIM_NETWORK, args, root / "sim.txt");
    ASSERT_TRUE(simulator_->Ready()) << simulator_->Output();
  }
  if (row.holdReceivePort) {
    heldPort_ = platform::net::UdpOpen();
    ASSERT_EQ(platform::net::UdpBind(heldPort_, 0, 5646), 0);
  }
#endif
}

TEST_P(FaultMatrix, NeverReportsSuccess) {
  const Row& row = GetParam();
  if (row.link == Link::kConsole || row.link == Link::kNetwork) {
    RunConsole(row);
  } else {
    RunInWindow(row);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, FaultMatrix, ::testing::ValuesIn(Rows()),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.id); });

// ------------------------------------------------------------ docs/faults.md

std::string Cell(std::string text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '|') {
      out += "\\|";
    } else {
      out += c;
    }
  }
  return out;
}

std::string Markdown() {
  const std::vector<Row>& rows = Rows();
  int passed = 0;
  int ran = 0;
  for (const Row& row : rows) {
    auto it = Results().find(row.id);
    if (it == Results().end() || it->second == "skipped") continue;
    ++ran;
    passed += it->second == "passed";
  }
  std::ostringstream md;
  md << "# Fault matrix\n\n"
     << "Generated by `scripts/faults-report` from the table in `tests/faults/fault_table.cpp`, which the\n"
     << "`fault_tests` binary runs (one GoogleTest per row, `Rows/FaultMatrix.NeverReportsSuccess/<row>`).\n"
     << "Do not edit by hand: a test checks that this file lists exactly the rows of the table.\n\n"
     << "Every row checks: the messages listed appear (in order); no success text appears (\"Programming\n"
     << "Complete\", \"Congratulations\", \"EEPROM Programming Success\", ...); the window is back in the\n"
     << "ready state (Update shown, progress bar and congratulation hidden, no wait cursor), or ended for\n"
     << "runs that end it themselves; the outcome is a failure, so the console exit status is non-zero;\n"
     << "the unit cancel command F0 00 01 54 5A 12 34 F7 is sent exactly where the column says; the\n"
     << "temporary folder is empty afterwards. Console rows run the real `reflash` binary; network rows\n"
     << "run it on a private network against the network simulator (`reflash-sim-network`).\n\n"
     << "Rows: " << rows.size() << ". Passing: " << passed << " of " << ran << " run. Reported as success: "
     << (passed == ran ? "0" : "see the failing rows") << ".\n\n"
     << "| # | Row | Flow | Link | Fault | Expected message(s) | Cancel sent | Expected outcome | Result |\n"
     << "|---|---|---|---|---|---|---|---|---|\n";
  int n = 0;
  for (const Row& row : rows) {
    std::string messages;
    for (const std::string& m : row.messages) messages += (messages.empty() ? "" : "<br>") + ("`" + Cell(m) + "`");
    auto it = Results().find(row.id);
    md << "| " << ++n << " | `" << row.id << "` | " << FlowName(row.flow) << " | " << LinkName(row.link) << " | "
       << Cell(row.fault) << " | " << messages << " | " << (row.cancel ? "yes" : "no") << " | " << Cell(row.behaviour)
       << " | " << (it == Results().end() ? "not run" : it->second) << " |\n";
  }
  md << "\nOutside the table: a missing log folder or a log that cannot be opened is not a failure of its\n"
     << "own. The records are dropped and the run goes on to its real outcome, which the console rows\n"
     << "`console_read_only_folder` and `console_missing_log_folder` check through the exit status.\n";
  return md.str();
}

class MarkdownWriter : public ::testing::Environment {
 public:
  void TearDown() override {
    const char* path = std::getenv("REFLASH_FAULTS_MARKDOWN");
    if (!path || !*path) return;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << Markdown();
  }
};

[[maybe_unused]] ::testing::Environment* const kMarkdownWriter =
    ::testing::AddGlobalTestEnvironment(new MarkdownWriter);

TEST(FaultTable, HasAtLeastFortyUniqueRowsWithMessages) {
  std::set<std::string> ids;
  for (const Row& row : Rows()) {
    EXPECT_TRUE(ids.insert(row.id).second) << "duplicate row " << row.id;
    EXPECT_FALSE(row.messages.empty()) << row.id;
    const bool console = row.link == Link::kConsole || row.link == Link::kNetwork;
    EXPECT_TRUE(console == (row.console != nullptr) && (row.arrange != nullptr) != (row.console != nullptr))
        << row.id;
  }
  EXPECT_GE(ids.size(), 40u);
}

TEST(FaultTable, DocsListExactlyTheRowsOfTheTable) {
  const std::string md = ReadFile(fs::path(REFLASH_SOURCE_DIR) / "docs" / "faults.md");
  ASSERT_FALSE(md.empty()) << "docs/faults.md is missing: run scripts/faults-report";
  std::vector<std::string> listed;
  std::istringstream lines(md);
  std::string line;
  while (std::getline(lines, line)) {
    // "| n | `id` | ..."
    const size_t open = line.find("| `");
    if (line.rfind("| ", 0) != 0 || open == std::string::npos) continue;
    const size_t close = line.find('`', open + 3);
    if (close != std::string::npos) listed.push_back(line.substr(open + 3, close - open - 3));
  }
  std::vector<std::string> table;
  for (const Row& row : Rows()) table.push_back(row.id);
  EXPECT_EQ(listed, table) << "docs/faults.md is stale: run scripts/faults-report";
  EXPECT_TRUE(Has(md, "Rows: " + std::to_string(table.size()) + "."));
}

}  // namespace
}  // namespace faults
