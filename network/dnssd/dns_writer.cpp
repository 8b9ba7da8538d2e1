#include "network/dnssd/dns_writer.h"


namespace mdns {
namespace {

void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v >> 16));
  Put16(out, static_cast<uint16_t>(v));
}

size_t SectionIndex(Section s) { return s == Section::Answer ? 0 : s == Section::Authority ? 1 : 2; }

}  // namespace

void AppendName(std::vector<uint8_t>& out, const Name& name) {
  for (const std::string& label : name) {
    size_t len = label.size() > kMaxLabelLength ? kMaxLabelLength : label.size();
    out.push_back(static_cast<uint8_t>(len));
    out.insert(out.end(), label.begin(), label.begin() + static_cast<std::ptrdiff_t>(len));
  }
  out.push_back(0);
}

std::vector<uint8_t> MakeTxt(const std::vector<std::string>& items) {
  std::vector<uint8_t> out;
  for (const std::string& item : items) {
    size_t len = item.size() > 255 ? 255 : item.size();
    out.push_back(static_cast<uint8_t>(len));
    out.insert(out.end(), item.begin(), item.begin() + static_cast<std::ptrdiff_t>(len));
  }
  if (out.empty()) out.push_back(0);  // an empty TXT record is one empty string
  return out;
}

bool MessageWriter::Fits(size_t more) const {
  size_t size = 12 + questions_.size() + sections_[0].size() + sections_[1].size() + sections_[2].size();
  return size + more <= limit_;
}

void MessageWriter::AddQuestion(const Name& name, uint16_t type, bool unicastResponse) {
  std::vector<uint8_t> q;
  AppendName(q, name);
  Put16(q, type);
  Put16(q, static_cast<uint16_t>(kClassIn | (unicastResponse ? kUnicastResponseBit : 0)));
  if (!Fits(q.size())) {
    ++dropped_;
    return;
  }
  questions_.insert(questions_.end(), q.begin(), q.end());
  ++counts_[0];
}

void MessageWriter::AddRaw(Section section, const Name& name, uint16_t type, uint16_t klass, uint32_t ttl,
                           const std::vector<uint8_t>& rdata) {
  std::vector<uint8_t> r;
  AppendName(r, name);
  Put16(r, type);
  Put16(r, klass);
  Put32(r, ttl);
  Put16(r, static_cast<uint16_t>(rdata.size()));
  r.insert(r.end(), rdata.begin(), rdata.end());
  if (rdata.size() > 0xFFFF || !Fits(r.size())) {
    ++dropped_;
    return;
  }
  size_t s = SectionIndex(section);
  sections_[s].insert(sections_[s].end(), r.begin(), r.end());
  ++counts_[s + 1];
}

void MessageWriter::AddPtr(Section section, const Name& name, uint32_t ttl, const Name& target) {
  std::vector<uint8_t> rdata;
  AppendName(rdata, target);
  AddRaw(section, name, kTypePtr, kClassIn, ttl, rdata);
}

void MessageWriter::AddSrv(Section section, const Name& name, uint32_t ttl, uint16_t port, const Name& target) {
  std::vector<uint8_t> rdata;
  Put16(rdata, 0);
  Put16(rdata, 0);
  Put16(rdata, port);
  AppendName(rdata, target);
  AddRaw(section, name, kTypeSrv, kClassIn | kCacheFlushBit, ttl, rdata);
}

void MessageWriter::AddTxt(Section section, const Name& name, uint32_t ttl, const std::vector<uint8_t>& txt) {
  AddRaw(section, name, kTypeTxt, kClassIn | kCacheFlushBit, ttl, txt);
}

void MessageWriter::AddA(Section section, const Name& name, uint32_t ttl, uint32_t address) {
  const uint8_t* b = reinterpret_cast<const uint8_t*>(&address);
  AddRaw(section, name, kTypeA, kClassIn | kCacheFlushBit, ttl, std::vector<uint8_t>(b, b + 4));
}

std::vector<uint8_t> MessageWriter::Finish() const {
  std::vector<uint8_t> out;
  Put16(out, 0);  // multicast DNS uses id 0
  Put16(out, flags_);
  for (uint16_t c : counts_) Put16(out, c);
  out.insert(out.end(), questions_.begin(), questions_.end());
  for (const auto& s : sections_) out.insert(out.end(), s.begin(), s.end());
  return out;
}

}  // namespace mdns
