// The editing core fed random text and random operations (keys, multi-byte keys, clicks,
// drags, host replacements). After every step the selection lies inside the text, the line
// starts ascend from 0, and text that began as valid UTF-8 stays valid UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "shell/text_editor.h"
#include "support/text_editor_host.h"

namespace {

void check(const test_editor_host& host, bool utf8) {
  const int len = static_cast<int>(host.text.size());
  if (!(0 <= host.sel_start() && host.sel_start() <= host.sel_end() && host.sel_end() <= len)) abort();
  const auto& starts = host.rec->line_starts;
  if (starts.empty() || starts[0] != 0) abort();
  for (size_t i = 1; i < starts.size(); ++i)
    if (starts[i] <= starts[i - 1] || starts[i] > len) abort();
  if (utf8 && !test_is_valid_utf8(host.text)) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  size_t text_len = data[0] % 64;
  if (text_len > size - 1) text_len = size - 1;
  test_editor_host host(std::string(reinterpret_cast<const char*>(data + 1), text_len), (data[1] & 1) != 0);
  host.wrap_width = static_cast<float>(1 + data[0] % 13);
  host.visible = {0, -20, 8, 10};
  const bool utf8 = test_is_valid_utf8(host.text);
  OGLE_Repaginate(host.rec);
  check(host, utf8);
  size_t i = 1 + text_len;
  while (i + 2 < size) {
    uint8_t op = data[i], a = data[i + 1], b = data[i + 2];
    i += 3;
    switch (op % 7) {
      case 0: OGLE_Key(host.rec, static_cast<char>(a), b & 1); break;
      case 1: {
        // A well-formed character of 2..4 bytes built from the fuzz bytes.
        static const char* samples[] = {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xC3\x28", "\xE2\x82"};
        const char* s = samples[a % 5];
        OGLE_Key_MBCS(host.rec, static_cast<int>(std::string(s).size()), s, b & 1);
        break;
      }
      case 2: OGLE_Click(host.rec, static_cast<float>(a % 20) - 2, static_cast<float>(b % 60) - 40, a & 1); break;
      case 3: OGLE_Drag(host.rec, static_cast<float>(a % 20) - 2, static_cast<float>(b % 60) - 40); break;
      case 4: {
        int len = static_cast<int>(host.text.size());
        int from = len ? a % (len + 1) : 0, to = from + (len - from ? b % (len - from + 1) : 0);
        // Host replacements keep UTF-8 only when they cut at character starts.
        auto at_start = [&](int p) { return p >= len || (static_cast<unsigned char>(host.text[p]) & 0xC0) != 0x80; };
        if (utf8 && (!at_start(from) || !at_start(to))) break;
        std::string with = (b & 2) ? "\xC3\xA9x" : "";
        OGLE_ReplaceText(host.rec, from, to, with.data(), with.data() + with.size());
        break;
      }
      case 5: {
        // Hosts hand the engine character starts; snap the fuzz's offsets to them.
        auto snap = [&](int p) {
          int len = static_cast<int>(host.text.size());
          while (utf8 && p > 0 && p < len && (static_cast<unsigned char>(host.text[p]) & 0xC0) == 0x80) --p;
          return p;
        };
        OGLE_SetSelection(host.rec, snap(a - 8), snap(b - 8));
        break;
      }
      default: host.draw(a & 1); break;
    }
    check(host, utf8);
  }
  return 0;
}
