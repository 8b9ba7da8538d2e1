// The transfer estimate and the texts of a run's record.
#include <gtest/gtest.h>

#include "app/run_report.h"
#include "protocol/orvella_interface.h"

namespace {

TEST(RunReport, TransferEstimateFollowsTheLinkAndTheImage) {
  struct Case {
    uint16_t link;
    uint32_t bytes;
    const char* text;
  };
  const Case cases[] = {
      {kTransportMidi, 3026032, "about 24 minutes"},  // the main image at MIDI's 31,250 baud
      {kTransportMidi, 1000, "about 10 seconds"},
      {kTransportMidi, 262144, "about 3 minutes"},  // 2:02, rounded up
      {kTransportDriver, 3026032, "about 50 seconds"},
      {kTransportNetwork, 3026032, "about 50 seconds"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DurationText(EstimateTransferSeconds(c.link, c.bytes)), c.text) << c.link << " " << c.bytes;
  }
  EXPECT_EQ(EstimateTransferSeconds(0, 3026032), 0u);  // unknown link: no estimate
  EXPECT_EQ(DurationText(5400), "about 1 hour 30 minutes");
  EXPECT_EQ(DurationText(7200), "about 2 hours");
}

TEST(RunReport, SummaryLineNamesEverythingAndLeavesOutAMissingBank) {
  UpdateSummary s{"ZI-RERAR in Orvella(n) connected via Orvella(n) MIDI 1", "Not Present", "2.0", "2.1", "",
                  "ZIR0201.BIN", 65536, 3723000, "failed"};
  EXPECT_EQ(SummaryLine(s),
            "Update: ZI-RERAR in Orvella(n) connected via Orvella(n) MIDI 1, serial number Not Present, firmware "
            "2.0 -> 2.1, image ZIR0201.BIN (65536 bytes), took 01:02:03, failed");
  s.bank = "PROM2";
  EXPECT_NE(SummaryLine(s).find("2.1, PROM2, image"), std::string::npos);
}

}  // namespace
