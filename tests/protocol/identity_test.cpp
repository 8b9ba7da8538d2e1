// Opening, selecting a connection and the identity read.
#include <cstring>

#include "tests/protocol/engine_fixture.h"

namespace engine_test {
namespace {

class IdentityTest : public EngineTest {};

TEST_F(IdentityTest, FreshEngine) {
  uint8_t lost = 0, pid = 1;
  uint32_t serial = 0;
  remote->IsConnectionLost(&lost);
  remote->GetProductID(&pid);
  remote->GetSerialNumber(&serial);
  EXPECT_EQ(lost, 1);
  EXPECT_EQ(pid, 0);
  EXPECT_EQ(serial, 0xFFFFFFFFu);
  uint8_t v;
  EXPECT_EQ(remote->ReadRegister(2048, &v), 2);
  EXPECT_EQ(remote->WriteRegister(2048, 1), 2);
  EXPECT_EQ(remote->Poll(), 1);  // no transport
  EXPECT_EQ(remote->SelectConnection(0), 1);
}

TEST_F(IdentityTest, OpenTriesKindsInOrderUnderTheMask) {
  sim::InProcessTransports none;
  {
    platform::Override<TransportFactory> use(none);
    EXPECT_EQ(remote->Open(), 1);
    uint16_t type = 0;
    remote->GetInterfaceType(&type);
    EXPECT_EQ(type, kTransportNetwork);
    EXPECT_EQ(none.Requests(), (std::vector<uint16_t>{kTransportDriver, kTransportMidi, kTransportNetwork}));
  }
  sim::InProcessTransports network;
  wiring.Add(&unit, "Dante (10.0.0.2)");
  network.Serve(kTransportNetwork, &wiring);
  {
    platform::Override<TransportFactory> use(network);
    remote->SetInterfaceMask(kMaskMidi | kMaskNetwork);
    EXPECT_EQ(remote->Open(), 0);
    uint16_t type = 0;
    remote->GetInterfaceType(&type);
    EXPECT_EQ(type, kTransportNetwork);
    EXPECT_EQ(network.Requests(), (std::vector<uint16_t>{kTransportMidi, kTransportNetwork}));
    EXPECT_EQ(remote->Open(), 0);  // held: nothing new
    EXPECT_EQ(network.Requests().size(), 2u);
  }
}

TEST_F(IdentityTest, FailedOpenTriesTheNextKind) {
  sim::LinkWiring broken;
  broken.failOpen = true;
  broken.Add(&unit2, "driver");
  factory.Serve(kTransportDriver, &broken);
  wiring.Add(&unit, "Sim Port 1");
  EXPECT_EQ(remote->Open(), 0);
  uint16_t type = 0;
  remote->GetInterfaceType(&type);
  EXPECT_EQ(type, kTransportMidi);
  EXPECT_EQ(broken.opens, 1);
}

TEST_F(IdentityTest, SelectionReadsIdentityThenLowBlockForOrvellaN) {
  wiring.Add(&unit, "Sim Port 1").Add(&unit2, "Sim Port 2");
  ASSERT_EQ(remote->Open(), 0);
  ASSERT_EQ(remote->SelectConnection(1), 0);
  const auto frames = Written();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0], Frame({0x68, 0x04, 0x2E}));
  EXPECT_EQ(frames[1], Frame({0x68, 0x01, 0x7E}));  // 0..127
  EXPECT_EQ(wiring.written[0].connection, 1);
  uint8_t lost = 1;
  remote->IsConnectionLost(&lost);
  EXPECT_EQ(lost, 0);

  wiring.ClearWritten();
  EXPECT_EQ(remote->SelectConnection(1), 0);
  EXPECT_TRUE(Written().empty());
}

TEST_F(IdentityTest, SelectionFailures) {
  wiring.Add(&unit, "Sim Port 1");
  ASSERT_EQ(remote->Open(), 0);
  wiring.failSelect = true;
  EXPECT_EQ(remote->SelectConnection(0), 1);
  EXPECT_NE(NewLog().find("COrvellaRemote::SelectConnection: m_pMidiIF->SelectConnection FAILED!\n"),
            std::string::npos);
  wiring.failSelect = false;
  unit.silent = true;
  EXPECT_EQ(remote->SelectConnection(0), 1);
  EXPECT_NE(NewLog().find("RequestRegisterStatus REG_ASTAT_PID/REMO_ZT_SN_SERNUMHI FAILED!\n"), std::string::npos);
  uint8_t lost = 0;
  remote->IsConnectionLost(&lost);
  EXPECT_EQ(lost, 1);
}

struct IdentityCase {
  const char* name;
  uint8_t reg1, reg6, reg7, major, reg16;
  uint8_t pid;
  const char* description;
  uint8_t card;
};

TEST_F(IdentityTest, ProductAndCardRules) {
  const IdentityCase cases[] = {
      {"Orvella(n)", 96, 0, 0xC0, 1, 0, 96, "Orvella(n) connected via Sim Port 1", 0},
      {"38 marked by register 6", 38, 96, 0xC0, 1, 0, 96, "Orvella(n) connected via Sim Port 1", 0},
      {"39 marked by register 6", 39, 96, 0xC0, 1, 0, 96, "Orvella(n) connected via Sim Port 1", 0},
      {"1824 variant", 38, 0, 0x80, 20, 0, 38, "Orvella 16/1824 connected via Sim Port 1", 0},
      {"VT variant", 39, 0, 0x40, 20, 0, 39, "Orvella 8/VT connected via Sim Port 1", 0},
      {"no variant before 18", 38, 0, 0x00, 17, 0, 38, "Orvella 16 connected via Sim Port 1", 0},
      {"Tervik", 128, 0, 0xC0, 1, 0, 128, "Tervik Signalport 4x4 connected via Sim Port 1", 0},
      {"unknown", 77, 0, 0xC0, 1, 0, 77, "Unknown! connected via Sim Port 1", 0},
      {"MADI card 23 reads 19", 96, 0, 0xC0, 1, 23, 96, "Orvella(n) connected via Sim Port 1", 19},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedUnit u;
    u.regs[1] = c.reg1;
    u.regs[6] = c.reg6;
    u.regs[7] = c.reg7;
    u.regs[10] = c.major;
    u.regs[16] = c.reg16;
    SoloLink link(u);
    COrvellaRemote& r = link.remote;
    ASSERT_EQ(r.Open(), 0);
    char text[260] = {};
    uint8_t pid = 0, card = 0;
    EXPECT_EQ(r.GetConnectionDescription(0, text, sizeof text, &pid), 0);
    EXPECT_STREQ(text, c.description);
    EXPECT_EQ(pid, c.pid);
    r.GetCardID(&card);
    EXPECT_EQ(card, c.card);
  }
}

TEST_F(IdentityTest, DescriptionHonoursTheBufferSize) {
  wiring.Add(&unit, std::string(250, 'x'));
  ASSERT_EQ(remote->Open(), 0);
  char text[40];
  std::memset(text, '#', sizeof text);
  remote->GetConnectionDescription(0, text, 32, nullptr);
  EXPECT_EQ(std::strlen(text), 31u);
  EXPECT_EQ(text[33], '#');
}

TEST_F(IdentityTest, VersionGetters) {
  unit.regs[10] = 0x85;  // major 5, minor low bits 2
  unit.regs[11] = 0x3A;  // PCB 3, minor high bits 0xA
  unit.regs[7] = 0x22;
  unit.regs[8] = 0xB3;
  unit.regs[16] = 21;
  unit.regs[17] = 4;
  unit.regs[18] = 7;
  unit.regs[20] = 9;
  Connect();
  uint8_t major = 0, minor = 0, pcb = 0, cmaj = 0, cmin = 0, cpcb = 0;
  uint16_t date = 0;
  remote->GetFirmwareMajor(&major);
  remote->GetFirmwareMinor(&minor);
  remote->GetPCBRevision(&pcb);
  remote->GetFirmwareDate(&date);
  remote->GetCardFirmwareVersion(&cmaj, &cmin);
  remote->GetCardPCBRevision(&cpcb);
  EXPECT_EQ(major, 5);
  EXPECT_EQ(minor, (0xA << 2) + 2);
  EXPECT_EQ(pcb, 3);
  EXPECT_EQ(date, 0xB322);
  EXPECT_EQ(cmaj, 4);
  EXPECT_EQ(cmin, 9);
  EXPECT_EQ(cpcb, 7);
}

TEST_F(IdentityTest, SerialNumberFromRegisters) {
  unit.regs[12] = 5;
  unit.regs[13] = 0x31;
  unit.regs[14] = 0x34;
  unit.regs[15] = 0x12;
  unit.regs[16] = 21;
  unit.regs[28] = 0xFF;
  Connect();
  uint32_t serial = 0, card = 0;
  remote->GetSerialNumber(&serial);
  EXPECT_EQ(serial, 0x601C5234u);
  EXPECT_EQ(remote->GetZSlotSerialNumber(&card), 1);
  EXPECT_EQ(card, 0xFFFFFFFFu);
}

}  // namespace
}  // namespace engine_test
