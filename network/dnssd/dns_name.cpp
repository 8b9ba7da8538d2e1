#include "network/dnssd/dns_name.h"

#include <cctype>

namespace mdns {

namespace {
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

bool LabelEquals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

bool NameEquals(const Name& a, const Name& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (!LabelEquals(a[i], b[i])) return false;
  }
  return true;
}

bool NameEndsWith(const Name& name, const Name& suffix) {
  if (suffix.size() > name.size()) return false;
  size_t skip = name.size() - suffix.size();
  for (size_t i = 0; i < suffix.size(); ++i) {
    if (!LabelEquals(name[skip + i], suffix[i])) return false;
  }
  return true;
}

size_t NameWireLength(const Name& name) {
  size_t n = 1;
  for (const std::string& label : name) n += 1 + label.size();
  return n;
}

std::string EscapeLabel(std::string_view label) {
  std::string out;
  for (unsigned char c : label) {
    if (c == '.' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c <= ' ' || c == 0x7F) {
      out += '\\';
      out += static_cast<char>('0' + c / 100);
      out += static_cast<char>('0' + c / 10 % 10);
      out += static_cast<char>('0' + c % 10);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string NameToText(const Name& name) {
  if (name.empty()) return ".";
  std::string out;
  for (const std::string& label : name) {
    out += EscapeLabel(label);
    out += '.';
  }
  return out;
}

bool NameFromText(std::string_view text, Name& out) {
  out.clear();
  if (text == ".") return true;
  std::string label;
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '.') {
      if (label.empty()) return false;
      out.push_back(label);
      label.clear();
      ++i;
      continue;
    }
    if (c == '\\') {
      if (i + 1 >= text.size()) return false;
      if (std::isdigit(static_cast<unsigned char>(text[i + 1]))) {
        if (i + 3 >= text.size()) return false;
        int value = 0;
        for (size_t k = 1; k <= 3; ++k) {
          char d = text[i + k];
          if (!std::isdigit(static_cast<unsigned char>(d))) return false;
          value = value * 10 + (d - '0');
        }
        if (value > 255) return false;
        label += static_cast<char>(value);
        i += 4;
      } else {
        label += text[i + 1];
        i += 2;
      }
    } else {
      label += c;
      ++i;
    }
    if (label.size() > kMaxLabelLength) return false;
  }
  if (!label.empty()) out.push_back(label);
  return !out.empty() && NameWireLength(out) <= kMaxNameWireLength;
}

}  // namespace mdns
