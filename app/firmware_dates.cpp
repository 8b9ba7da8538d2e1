// Release dates of firmware versions and their display.
#include <cstdio>
#include <iterator>
#include <string>

#include "app/firmware_images.h"
#include "platform/core/clock.h"
#include "protocol/orvella_mixer_interface.h"
#include "protocol/product_ids.h"

namespace {

struct DateRow {
  uint8_t month, day;
  uint16_t year;
};

// Rows indexed by firmware major version.
constexpr DateRow kMainUnitDates[] = {
    {1, 1, 2017}, {11, 2, 2018}, {1, 1, 2018}, {1, 1, 2018}, {1, 1, 2018}, {1, 1, 2018},
    {1, 1, 2018}, {1, 1, 2018},  {1, 1, 2018}, {1, 1, 2018}, {1, 1, 2018},
};
constexpr DateRow kRerarDates[] = {
    {2, 7, 2017}, {2, 14, 2017}, {1, 1, 2017}, {1, 1, 2017}, {1, 1, 2017}, {1, 1, 2017},
    {1, 1, 2017}, {1, 1, 2017},  {1, 1, 2017}, {1, 1, 2017}, {1, 1, 2017},
};
constexpr DateRow kVezerDates[] = {
    {1, 1, 2011},  {1, 1, 2011},  {1, 1, 2011},  {1, 1, 2011},  {1, 1, 2011}, {7, 10, 2011}, {2, 20, 2012},
    {2, 23, 2012}, {3, 27, 2012}, {8, 14, 2012}, {9, 24, 2012}, {1, 1, 2015}, {1, 1, 2015},  {1, 1, 2015},
    {1, 1, 2015},  {1, 1, 2015},  {1, 1, 2015},  {1, 1, 2015},  {1, 1, 2015}, {1, 1, 2015},
};
constexpr DateRow kModuleDates[] = {
    {10, 17, 2017}, {11, 6, 2017}, {1, 1, 2018}, {1, 1, 2018}, {1, 1, 2018},
};

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

// A local calendar time read as if it were UTC, in seconds.
int64_t AsUtcSeconds(const platform::LocalTime& t) {
  return DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) * 86400 + t.hour * 3600 +
         t.minute * 60 + t.second;
}

}  // namespace

bool LocalMidnight(int year, int month, int day, int64_t* out) {
  if (month < 1 || month > 12 || day < 1 || day > 31) return false;
  const int64_t wanted = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400;
  // The clock converts only towards local time, so step back by the zone's
  // offset and correct once more in case that crossed a daylight-saving change.
  platform::Clock& clock = platform::Use<platform::Clock>();
  int64_t t = wanted - (AsUtcSeconds(clock.ToLocal(wanted)) - wanted);
  t += wanted - AsUtcSeconds(clock.ToLocal(t));
  *out = t;
  return true;
}

bool FirmwareDateFromWord(uint16_t word, int64_t* out) {
  const int day = word & 0x1F;
  const int month = (word >> 8) & 0x0F;
  const int year = 2000 + 16 * ((word >> 5) & 0x07) + ((word >> 12) & 0x0F);
  return LocalMidnight(year, month, day, out);
}

void LookupFirmwareDate(uint8_t major, int64_t* out, uint8_t productId, bool tableOnly,
                        COrvellaMixerInterface* remote) {
  if (productId == kProductOrvellaN && !tableOnly && remote) {
    uint16_t word = 0;
    remote->GetFirmwareDate(&word);
    FirmwareDateFromWord(word, out);
    return;
  }
  const DateRow* rows = nullptr;
  size_t count = 0;
  auto use = [&](const auto& table) {
    rows = table;
    count = std::size(table);
  };
  switch (productId) {
    case kProductOrvellaN:
    case kProductOrvella16: use(kMainUnitDates); break;
    case kCardZiRerar: use(kRerarDates); break;
    case kCardVeZer: use(kVezerDates); break;
    case kModuleZmDig: use(kModuleDates); break;
    default: return;
  }
  if (major == 63 || major >= count) return;
  LocalMidnight(rows[major].year, rows[major].month, rows[major].day, out);
}

std::string FormatDate(int64_t when) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const platform::LocalTime t = platform::Use<platform::Clock>().ToLocal(when);
  if (t.month < 1 || t.month > 12) return {};
  char text[32];
  std::snprintf(text, sizeof text, "%s %02d, %04d", kMonths[t.month - 1], t.day, t.year);
  return text;
}
