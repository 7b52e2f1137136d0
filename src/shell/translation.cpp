#include "shell/translation.h"

#include <algorithm>
#include <set>
#include <unordered_map>

#include "files/mapped_file.h"
#include "platform/text.h"
#include "runtime/command_line.h"
#include "runtime/shell_services.h"
#include "shell/placeholders.h"

namespace {

struct lang_info {
  const char* button;
  const char* folder;
  const char* resource;  // null for English, which needs no table
  const char* code;
  int plural_zero;       // 1 when a count of 0 takes the plural
};

const lang_info kLangInfo[] = {
    {"|English", "English/", nullptr, "en", 1},
    {"|Francais", "French/", "RESOURCE:French.txt", "fr", 0},
    {"|Deutsch", "German/", "RESOURCE:German.txt", "de", 1},
};
const int lang_count = sizeof kLangInfo / sizeof kLangInfo[0];

const lang_info* row_of(int language) {
  return language >= 0 && language < lang_count ? &kLangInfo[language] : nullptr;
}

// The table and its switches. Process-wide, main thread only.
std::unordered_map<std::string, std::string> dictionary;
std::set<std::string> logged;
int has_translation = 0;
int log_missing = 0;
int plural_zero = 1;

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_line_end(char c) { return c == '\0' || c == '\r' || c == '\n'; }

// Whether the record text is UTF-8, checked byte by byte inside the text (no overlong or
// surrogate checks: the files are ours, this catches a wrong encoding).
bool valid_utf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    int extra;
    if (c < 0x80) extra = 0;
    else if ((c & 0xE0) == 0xC0) extra = 1;
    else if ((c & 0xF0) == 0xE0) extra = 2;
    else if ((c & 0xF8) == 0xF0) extra = 3;
    else return false;
    if (i + extra >= text.size()) return false;  // the sequence runs past the record
    for (int k = 1; k <= extra; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    i += extra + 1;
  }
  return true;
}

std::vector<int> sorted_placeholders(const std::string& text) {
  std::vector<int> numbers;
  UTL_string_check(text, numbers);
  std::sort(numbers.begin(), numbers.end());
  return numbers;
}

void enter_record(const std::string& record) {
  const size_t split = record.find("====");
  if (split == std::string::npos) {
    xer << "ERROR: language file line " << record << " missing ==== splitter.\n";
    return;
  }
  if (split + 4 == record.size()) {
    xer << "ERROR: language file line " << record << " missing right side translation.\n";
    return;
  }
  std::string english = record.substr(0, split);
  std::string translated = record.substr(split + 4);
  STR_unescape(english);
  STR_unescape(translated);
  if (sorted_placeholders(english) != sorted_placeholders(translated))
    xer << "ERROR: language line '" << record << "' has incorrect translated parameters.\n";
  if (!valid_utf8(record))
    xer << "ERROR: language line '" << record << "' contains invalid UTF8 characters.\n";
  auto held = dictionary.find(english);
  if (held != dictionary.end()) {
    xer << "ERROR: language line " << record << " is a second translation of " << english
        << "====" << held->second << "\n";
    return;
  }
  dictionary.emplace(std::move(english), std::move(translated));
}

// The records from the cursor to the end of the view.
void read_records(const char* p, const char* end) {
  while (p < end) {
    while (p < end && is_blank(*p)) ++p;
    const char* word = p;
    while (p < end && !is_blank(*p) && !is_line_end(*p)) ++p;
    const bool record = p - word == 6 && std::string(word, 6) == "STRING" && p < end && is_blank(*p);
    if (record) {
      ++p;  // exactly one blank; any further ones belong to the text
      const char* text = p;
      while (p < end && !is_line_end(*p)) ++p;
      enter_record(std::string(text, p));
      while (p < end && (is_blank(*p) || is_line_end(*p))) ++p;
    } else {
      while (p < end && !is_line_end(*p)) ++p;
      while (p < end && is_line_end(*p)) ++p;
    }
  }
}

std::string escape_line_breaks(std::string text) {
  STR_replace_all(text, "\r", "\\r");
  STR_replace_all(text, "\n", "\\n");
  return text;
}

}  // namespace

void UTL_lang_get_languages(std::vector<int>& out) {
  out.clear();
  for (int i = 0; i < lang_count; ++i) out.push_back(i);
}

std::string UTL_lang_get_folder(int language) {
  const lang_info* row = row_of(language);
  return row ? row->folder : "";
}

std::string UTL_lang_get_button(int language) {
  const lang_info* row = row_of(language);
  return row ? row->button : "";
}

std::string UTL_lang_get_code(int language) {
  const lang_info* row = row_of(language);
  return row ? row->code : "";
}

int choose_default_language(const std::vector<int>& offered, const std::string* lang_option,
                            const std::vector<std::string>& preferred) {
  if (offered.empty()) return lang_none;
  if (offered.size() == 1) return offered[0];
  if (lang_option)
    for (int language : offered)
      if (*lang_option == UTL_lang_get_code(language)) return language;
  for (const std::string& wanted : preferred)
    for (int language : offered)
      if (wanted == UTL_lang_get_code(language)) return language;
  return lang_none;
}

int UTL_get_default_language() {
  std::vector<int> offered;
  UTL_lang_get_languages(offered);
  const bool has_lang = cmdline.has_option("--lang") != 0;
  const std::string lang = has_lang ? cmdline.get_option("--lang") : "";
  return choose_default_language(offered, has_lang ? &lang : nullptr,
                                 platform_preferred_languages());
}

void UTL_translate_clear() {
  dictionary.clear();
  logged.clear();
  has_translation = 0;
  log_missing = 0;
  plural_zero = 1;
}

void translate_load_file(int language, const std::string& file, const std::string& name) {
  UTL_translate_clear();
  const lang_info* row = row_of(language);
  plural_zero = row ? row->plural_zero : 1;

  xmap_class map;
  if (!map.retry(file)) {
    xer << "Could not find translation file: " << name << "; using English.\n";
    return;
  }
  static const int versions[] = {900, 0};
  if (map.check_file(xmap_text, versions, "TRANSLATION", nullptr) != 900) {
    xer << "Translation path " << name << " is not version 900 or has a bad header.\n";
    return;
  }
  read_records(map.cursor, map.end);
  has_translation = 1;
  log_missing = cmdline.has_option("--missing_strings") ? 1 : 0;
}

void UTL_translate_load(int language, const std::string& /*path*/) {
  const lang_info* row = row_of(language);
  if (!row || !row->resource) {
    // Nothing to load: English, with this language's plural rule.
    UTL_translate_clear();
    if (row) plural_zero = row->plural_zero;
    return;
  }
  translate_load_file(language, row->resource, row->resource);
}

std::string translate_lookup(const std::string& english) {
  if (!has_translation) return english;
  auto found = dictionary.find(english);
  if (found != dictionary.end()) return found->second;
  if (log_missing && logged.insert(english).second) {
    const std::string escaped = escape_line_breaks(english);
    xer << "STRING " << escaped << "====" << escaped << "\n";
  }
  return english;
}

std::string UTL_translate_plural(int count, const std::string& singular, const std::string& plural) {
  const bool take_plural = plural_zero ? count != 1 : count > 1;
  return translate_lookup(take_plural ? plural : singular);
}

translation_state translate_state() {
  return {dictionary.size(), has_translation, log_missing, plural_zero};
}
