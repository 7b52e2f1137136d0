#include "shell/placeholders.h"

#include <algorithm>
#include <climits>

namespace {

// The number behind a placeholder's "%": blanks, an optional sign, then digits up to the first
// other byte; no digits give 0. Values beyond an int stop at INT_MAX instead of wrapping.
long long read_number(const std::string& text, size_t at) {
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  long long value = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
    value = std::min<long long>(value * 10 + (text[at] - '0'), INT_MAX);
  return negative ? -value : value;
}

// Where the placeholder that starts with the "%" at percent closes, or npos when no ":" and
// "%" follow it.
size_t placeholder_end(const std::string& text, size_t percent) {
  size_t colon = text.find(':', percent);
  if (colon == std::string::npos) return std::string::npos;
  return text.find('%', colon);
}

}  // namespace

std::string string_sub_list(const std::string& text, const std::vector<std::string>& replacements) {
  std::string out = text;
  size_t scan = 0;
  for (;;) {
    size_t percent = out.find('%', scan);
    if (percent == std::string::npos) break;
    scan = percent + 1;
    size_t close = placeholder_end(out, percent);
    if (close == std::string::npos) continue;
    long long n = read_number(out, percent + 1);
    if (n < 1 || n > static_cast<long long>(replacements.size())) continue;
    const std::string& with = replacements[n - 1];
    out.replace(percent, close - percent + 1, with);
    scan = percent + with.size();
  }
  return out;
}

std::string UTL_string_sub(const std::string& text, const std::string& r1) {
  return string_sub_list(text, {r1});
}
std::string UTL_string_sub(const std::string& text, const std::string& r1, const std::string& r2) {
  return string_sub_list(text, {r1, r2});
}
std::string UTL_string_sub(const std::string& text, const std::string& r1, const std::string& r2,
                           const std::string& r3) {
  return string_sub_list(text, {r1, r2, r3});
}
std::string UTL_string_sub(const std::string& text, const std::string& r1, const std::string& r2,
                           const std::string& r3, const std::string& r4) {
  return string_sub_list(text, {r1, r2, r3, r4});
}
std::string UTL_string_sub(const std::string& text, const std::string& r1, const std::string& r2,
                           const std::string& r3, const std::string& r4, const std::string& r5) {
  return string_sub_list(text, {r1, r2, r3, r4, r5});
}
std::string UTL_string_sub(const std::string& text, const std::string& r1, const std::string& r2,
                           const std::string& r3, const std::string& r4, const std::string& r5,
                           const std::string& r6) {
  return string_sub_list(text, {r1, r2, r3, r4, r5, r6});
}

void UTL_string_check(const std::string& text, std::vector<int>& numbers) {
  size_t scan = 0;
  for (;;) {
    size_t percent = text.find('%', scan);
    if (percent == std::string::npos) return;
    size_t close = placeholder_end(text, percent);
    long long n = close == std::string::npos ? 0 : read_number(text, percent + 1);
    if (n > 0) {
      numbers.push_back(static_cast<int>(n));
      scan = close + 1;
    } else {
      scan = percent + 1;
    }
  }
}

void STR_replace_all(std::string& text, const std::string& find, const std::string& replacement) {
  if (find.empty()) return;
  size_t at = 0;
  while ((at = text.find(find, at)) != std::string::npos) {
    text.replace(at, find.size(), replacement);
    // Behind the inserted text: a replacement that holds find must not be found again.
    at += replacement.size();
  }
}

void STR_unescape(std::string& text) {
  STR_replace_all(text, "\\r", "\r");
  STR_replace_all(text, "\\n", "\n");
}

void char_string_to_int_string(std::string& text) {
  if (text.empty() || text[0] == '-' || text[0] == '=') return;
  std::string coded;
  size_t i = 0;
  for (;;) {
    while (i < text.size() && text[i] == ' ') ++i;
    if (i == text.size()) break;
    int value = 0;
    for (int digits = 0; digits < 3 && i < text.size() && text[i] != ' '; ++digits, ++i) {
      const char c = text[i];
      const int count = c >= '0' && c <= '9' ? c - '0' : c == '+' ? 1 : c == '-' ? -1 : 0;
      value = value * 10 + count;
    }
    if (value >= 0) {
      coded.push_back(static_cast<char>(value / 127 + 1));
      coded.push_back(static_cast<char>(value % 127 + 1));
    }
  }
  text = coded;
}
