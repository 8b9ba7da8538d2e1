#pragma once
// Domain names as label lists, and their text form with the DNS-SD escapes
// ("\." for a dot inside a label, "\\" for a backslash, "\DDD" for a byte).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace mdns {

using Name = std::vector<std::string>;

inline constexpr size_t kMaxNameWireLength = 255;  // RFC 1035
inline constexpr size_t kMaxLabelLength = 63;

// ASCII case-insensitive, as DNS compares names.
bool LabelEquals(std::string_view a, std::string_view b);
bool NameEquals(const Name& a, const Name& b);
// True when `name` ends with `suffix`.
bool NameEndsWith(const Name& name, const Name& suffix);
// Length of the name on the wire, uncompressed (labels + length bytes + root).
size_t NameWireLength(const Name& name);

// One label with the DNS-SD escapes applied.
std::string EscapeLabel(std::string_view label);
// "a.b.c." ("." for the root).
std::string NameToText(const Name& name);
// Parses escaped dotted text; a trailing dot is optional. False for empty
// labels in the middle, labels over 63 bytes, names over 255, bad escapes.
bool NameFromText(std::string_view text, Name& out);

}  // namespace mdns
