// The translation table: the file loader with its log lines, the header checks, the logging of
// missing texts, the plural rule, the language choice, and the shipped French and German files
// checked against the texts the program really translates.
#include "shell/translation.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/folders.h"
#include "runtime/command_line.h"
#include "runtime/shell_services.h"
#include "shell/placeholders.h"
#include "shell/startup.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"

namespace {

const char header[] = "I\n900 test texts\nTRANSLATION\n";

// The log lines written since the log was reopened.
std::vector<std::string> log_lines() {
  std::vector<std::string> lines;
  std::istringstream in(shell_double::log_text());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct TranslationTest : ::testing::Test {
  temp_tree tree;
  void SetUp() override {
    shell_double::reopen_log();
    cmdline.erase("--missing_strings");
    UTL_translate_clear();
  }
  void TearDown() override {
    cmdline.erase("--missing_strings");
    UTL_translate_clear();
  }
  // Loads body (after the header) as the French table.
  void load(const std::string& body, int language = lang_french) {
    translate_load_file(language, tree.write("French.txt", header + body), "RESOURCE:French.txt");
  }
};

TEST_F(TranslationTest, RecordsOfEveryShapeAndTheirLogLines) {
  // CRLF line ends throughout; the last record has no line end at all.
  const std::string body =
      "STRING a====b\r\n"
      "STRING  spaced====with a leading blank\r\n"
      "STRING e====\r\n"
      "STRING fg\r\n"
      "STRING h====i====j\r\n"
      "STRINGX k====l\r\n"
      "# a comment line\r\n"
      "\r\n"
      "   \tSTRING m====indented\r\n"
      "STRING\to====after a tab\r\n"
      "STRING one====1\r\n"
      "STRING %1:file% here====ici\r\n"
      "STRING bad\xFF====mauvais\r\n"
      "STRING cut\xC3====coupe\r\n"
      "STRING \xC3\xA9t\xC3\xA9====summer\r\n"
      "STRING a====second\r\n"
      "STRING line\\nbreak\\r====ligne\\nsaut\\r\r\n"
      "STRING back\\slash====contre\\oblique\r\n"
      "STRING trail ====fin \r\n"
      "STRING last====final";
  load(body);

  const struct {
    const char* english;
    const char* expected;
  } cases[] = {
      {"a", "b"},                            // the second record for "a" is ignored
      {" spaced", "with a leading blank"},   // blanks beyond the first belong to the key
      {"spaced", "spaced"},
      {"e", "e"},                            // no right side: rejected
      {"fg", "fg"},
      {"h", "i====j"},                       // split at the first splitter only
      {"k", "k"},                            // "STRINGX" is no record
      {"m", "indented"},
      {"o", "after a tab"},
      {"one", "1"},
      {"%1:file% here", "ici"},              // mismatched placeholders: logged, used
      {"bad\xFF", "mauvais"},                // invalid UTF-8: logged, used
      {"cut\xC3", "coupe"},
      {"\xC3\xA9t\xC3\xA9", "summer"},
      {"line\nbreak\r", "ligne\nsaut\r"},
      {"back\\slash", "contre\\oblique"},    // no other escape
      {"trail ", "fin "},
      {"last", "final"},
  };
  for (const auto& c : cases) EXPECT_EQ(translate_lookup(c.english), c.expected) << c.english;
  EXPECT_EQ(translate_state().entries, 14u);
  EXPECT_EQ(translate_state().has_translation, 1);

  const std::vector<std::string> expected_log = {
      "ERROR: language file line e==== missing right side translation.",
      "ERROR: language file line fg missing ==== splitter.",
      "ERROR: language line '%1:file% here====ici' has incorrect translated parameters.",
      "ERROR: language line 'bad\xFF====mauvais' contains invalid UTF8 characters.",
      "ERROR: language line 'cut\xC3====coupe' contains invalid UTF8 characters.",
      "ERROR: language line a====second is a second translation of a====b",
  };
  EXPECT_EQ(log_lines(), expected_log);
}

TEST_F(TranslationTest, PlaceholdersCompareAsSortedLists) {
  load("STRING %1:a% and %2:b%====%2:b% et %1:a%\n"
       "STRING %1:a% twice %1:a%====%1:a% deux fois\n"
       "STRING 100%: %1:x%====100 % : %1:x%\n");
  // Reordered numbers are fine; a number used twice on one side only is not.
  EXPECT_EQ(log_lines(), std::vector<std::string>{
                             "ERROR: language line '%1:a% twice %1:a%====%1:a% deux fois' has "
                             "incorrect translated parameters."});
  EXPECT_EQ(UTL_string_sub(translate_lookup("%1:a% and %2:b%"), "A", "B"), "B et A");
}

TEST_F(TranslationTest, BadHeaderOrMissingFileLeavesEnglish) {
  const struct {
    const char* name;
    const char* content;  // null: no file
    const char* message;
  } cases[] = {
      {"version 899", "I\n899 old\nTRANSLATION\nSTRING a====b\n",
       "Translation path RESOURCE:French.txt is not version 900 or has a bad header."},
      {"wrong keyword", "I\n900 x\nTRANSLATIONS\nSTRING a====b\n",
       "Translation path RESOURCE:French.txt is not version 900 or has a bad header."},
      {"binary header", "i\n900\nTRANSLATION\nSTRING a====b\n",
       "Translation path RESOURCE:French.txt is not version 900 or has a bad header."},
      {"missing file", nullptr,
       "Could not find translation file: RESOURCE:French.txt; using English."},
  };
  cmdline["--missing_strings"] = "";
  for (const auto& c : cases) {
    shell_double::reopen_log();
    const std::string file =
        c.content ? tree.write("French.txt", c.content) : tree.path() + "absent.txt";
    translate_load_file(lang_french, file, "RESOURCE:French.txt");
    EXPECT_EQ(translate_lookup("a"), "a") << c.name;
    EXPECT_EQ(log_lines(), std::vector<std::string>{c.message}) << c.name;
    const translation_state s = translate_state();
    EXPECT_EQ(s.has_translation, 0) << c.name;
    EXPECT_EQ(s.log_missing, 0) << c.name;  // nothing is logged as missing without a table
    EXPECT_EQ(s.plural_zero, 0) << c.name;  // French's rule holds all the same
  }
}

TEST_F(TranslationTest, MissingTextsAreLoggedOnceAndReadBack) {
  cmdline["--missing_strings"] = "";
  load("STRING known====connu\n");
  shell_double::reopen_log();
  const std::vector<std::string> missing = {"absent", "two\r\nlines", "tab\there "};
  for (int frame = 0; frame < 100; ++frame)
    for (const std::string& text : missing) EXPECT_EQ(translate_lookup(text), text);
  EXPECT_EQ(translate_lookup("known"), "connu");
  const std::vector<std::string> lines = log_lines();
  EXPECT_EQ(lines, (std::vector<std::string>{"STRING absent====absent",
                                             "STRING two\\r\\nlines====two\\r\\nlines",
                                             "STRING tab\there ====tab\there "}));

  // The logged lines are records: fed back to the loader they give the same keys.
  std::string body;
  for (const std::string& line : lines) body += line + "\n";
  shell_double::reopen_log();
  load(body);
  EXPECT_EQ(translate_state().entries, missing.size());
  EXPECT_TRUE(log_lines().empty());
  shell_double::reopen_log();
  for (const std::string& text : missing) EXPECT_EQ(translate_lookup(text), text);
  EXPECT_TRUE(log_lines().empty()) << "every text was found";

  // With English nothing is logged, option or not.
  UTL_translate_clear();
  shell_double::reopen_log();
  EXPECT_EQ(translate_lookup("absent"), "absent");
  EXPECT_TRUE(log_lines().empty());
}

TEST_F(TranslationTest, PluralRuleByCountAndLanguage) {
  // Each language's rule, with no table: the English texts show which form was chosen.
  const struct {
    int language;
    const char* forms[4];  // counts -1, 0, 1, 2
  } cases[] = {
      {lang_english, {"files", "files", "file", "files"}},
      {lang_french, {"file", "file", "file", "files"}},
      {lang_german, {"files", "files", "file", "files"}},
  };
  const int counts[] = {-1, 0, 1, 2};
  for (const auto& c : cases) {
    translate_load_file(c.language, tree.path() + "absent.txt", "x");
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(UTL_translate_plural(counts[i], "file", "files"), c.forms[i])
          << "language " << c.language << " count " << counts[i];
  }
  // English through the public loader has no file to read and keeps its rule.
  UTL_translate_load(lang_english, "");
  EXPECT_EQ(UTL_translate_plural(0, "file", "files"), "files");
}

TEST_F(TranslationTest, PluralFormsAreTranslatedThenFilled) {
  load("STRING %1:count% file was changed.====%1:count% fichier a été modifié.\n"
       "STRING %1:count% files were changed.====%1:count% fichiers ont été modifiés.\n");
  const struct {
    int count;
    const char* expected;
  } cases[] = {{0, "0 fichier a été modifié."},
               {1, "1 fichier a été modifié."},
               {7, "7 fichiers ont été modifiés."}};
  for (const auto& c : cases) {
    const std::string text = UTL_translate_plural(c.count, "%1:count% file was changed.",
                                                  "%1:count% files were changed.");
    EXPECT_EQ(UTL_string_sub(text, std::to_string(c.count)), c.expected);
  }
}

TEST_F(TranslationTest, LoadOpensTheLanguagesResourceNotThePathGiven) {
  temp_tree install;
  install.write("Resources/German.txt", std::string(header) + "STRING Error: ====Fehler: \n");
  install.write("inst", "");
  platform_set_executable_path(install.path() + "inst");
  UTL_translate_load(lang_german, install.path() + "Resources/text/German/Installer2.txt");
  platform_set_executable_path("");
  EXPECT_EQ(translate_lookup("Error: "), "Fehler: ");
  EXPECT_EQ(translate_state().plural_zero, 1);
}

TEST(LanguageTable, RowsAndDefaultChoice) {
  std::vector<int> offered = {9};
  UTL_lang_get_languages(offered);
  EXPECT_EQ(offered, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(UTL_lang_get_folder(lang_french), "French/");
  EXPECT_EQ(UTL_lang_get_button(lang_german), "|Deutsch");
  EXPECT_EQ(UTL_lang_get_button(lang_french), "|Francais");
  EXPECT_EQ(UTL_lang_get_folder(3), "");

  const std::string fr = "fr", xx = "xx", en = "en";
  const struct {
    const char* name;
    const std::string* lang;
    std::vector<std::string> preferred;
    int expected;
  } cases[] = {
      {"--lang wins over the system", &fr, {"de"}, lang_french},
      {"unknown --lang falls back to the system", &xx, {"de"}, lang_german},
      {"region codes match nothing; the next entry decides", nullptr, {"pt_BR", "de"}, lang_german},
      {"empty list", nullptr, {}, lang_none},
      {"no offered code", nullptr, {"pt_BR", "pt", "es"}, lang_none},
      {"codes are case-sensitive", nullptr, {"FR", "De"}, lang_none},
      {"--lang en with an empty list", &en, {}, lang_english},
  };
  for (const auto& c : cases)
    EXPECT_EQ(choose_default_language(offered, c.lang, c.preferred), c.expected) << c.name;
  EXPECT_EQ(choose_default_language({}, &fr, {"fr"}), lang_none);
  EXPECT_EQ(choose_default_language({2}, nullptr, {}), lang_german);
}

TEST(LanguageTable, DefaultFromTheEnvironmentAndTheCommandLine) {
  for (const char* v : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) unsetenv(v);
  cmdline.erase("--lang");
  setenv("LANG", "C", 1);
  EXPECT_EQ(UTL_get_default_language(), lang_none);
  setenv("LANG", "fr_FR.UTF-8", 1);
  EXPECT_EQ(UTL_get_default_language(), lang_french);
  setenv("LANGUAGE", "de_AT:fr", 1);
  EXPECT_EQ(UTL_get_default_language(), lang_german);
  cmdline["--lang"] = "en";
  EXPECT_EQ(UTL_get_default_language(), lang_english);
  cmdline.erase("--lang");
  unsetenv("LANGUAGE");
  unsetenv("LANG");
}

// ---- The shipped translation files ---------------------------------------------------------

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void list_sources(const std::string& folder, std::vector<std::string>& out) {
  DIR* d = opendir(folder.c_str());
  if (!d) return;
  while (dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = folder + "/" + name;
    if (e->d_type == DT_DIR) list_sources(path, out);
    else if (name.size() > 4 && (name.substr(name.size() - 4) == ".cpp" || name.substr(name.size() - 2) == ".h"))
      out.push_back(path);
  }
  closedir(d);
}

// A C++ source read just far enough to find its string literals: each run of adjacent literals
// becomes one text, and a run that is the argument of a translation call is marked so.
struct source_texts {
  std::set<std::string> all;         // every literal text in the sources
  std::set<std::string> translated;  // literal arguments of the translation calls
};

void skip_space_and_comments(const std::string& s, size_t& i) {
  for (;;) {
    while (i < s.size() && isspace(static_cast<unsigned char>(s[i]))) ++i;
    if (s.compare(i, 2, "//") == 0) {
      while (i < s.size() && s[i] != '\n') ++i;
    } else if (s.compare(i, 2, "/*") == 0) {
      size_t end = s.find("*/", i + 2);
      i = end == std::string::npos ? s.size() : end + 2;
    } else {
      return;
    }
  }
}

// Reads the literal run at i (which stands on a '"'), decoding the escapes the sources use.
std::string read_literal_run(const std::string& s, size_t& i) {
  std::string text;
  while (i < s.size() && s[i] == '"') {
    for (++i; i < s.size() && s[i] != '"'; ++i) {
      if (s[i] != '\\') {
        text += s[i];
        continue;
      }
      const char e = s[++i];
      if (e == 'n') text += '\n';
      else if (e == 'r') text += '\r';
      else if (e == 't') text += '\t';
      else if (e == 'x') {
        size_t used = 0;
        text += static_cast<char>(std::stoi(s.substr(i + 1, 2), &used, 16));
        i += used;
      } else text += e;
    }
    ++i;
    size_t j = i;
    skip_space_and_comments(s, j);
    if (j < s.size() && s[j] == '"') i = j;
  }
  return text;
}

source_texts program_texts() {
  std::vector<std::string> files;
  list_sources(std::string(SKY_SOURCE_DIR) + "/src", files);
  source_texts out;
  for (const std::string& f : files) {
    const std::string s = read_file(f);
    bool in_call = false;
    for (size_t i = 0; i < s.size();) {
      if (s.compare(i, 2, "//") == 0 || s.compare(i, 2, "/*") == 0) {
        skip_space_and_comments(s, i);
        continue;
      }
      if (s[i] == '\'') {  // a character literal such as '"'
        size_t close = s.find('\'', i + (s[i + 1] == '\\' ? 3 : 2));
        i = close == std::string::npos ? s.size() : close + 1;
        continue;
      }
      // The translation calls, and the wizard's wrappers that pass their English texts on to
      // the plural choice.
      for (const char* call : {"UTL_translate_string(", "UTL_translate_plural(", "page_plural(",
                               "counted("}) {
        const size_t n = std::string(call).size();
        const bool starts_name = i == 0 || !(isalnum(static_cast<unsigned char>(s[i - 1])) || s[i - 1] == '_');
        if (starts_name && s.compare(i, n, call) == 0) {
          in_call = true;
          i += n;
        }
      }
      if (s[i] == '"') {
        const std::string text = read_literal_run(s, i);
        out.all.insert(text);
        if (in_call) out.translated.insert(text);
        continue;
      }
      if (s[i] == ';' || s[i] == '{' || s[i] == '}') in_call = false;
      if (s[i] == ')') in_call = false;
      ++i;
    }
  }
  return out;
}

std::set<std::string> file_keys(const std::string& path) {
  std::set<std::string> keys;
  std::istringstream in(read_file(path));
  for (std::string line; std::getline(in, line);) {
    if (line.compare(0, 7, "STRING ") != 0) continue;
    std::string english = line.substr(7, line.find("====") - 7);
    STR_unescape(english);
    keys.insert(english);
  }
  return keys;
}

TEST(ShippedTranslations, LoadCleanlyAndCoverEveryTranslatedText) {
  const source_texts texts = program_texts();
  ASSERT_GT(texts.translated.size(), 10u) << "the source scan found the translation calls";
  // A backslash before "n" or "r" would read back from a translation file as a line break.
  for (const std::string& english : texts.translated)
    EXPECT_TRUE(english.find("\\n") == std::string::npos && english.find("\\r") == std::string::npos)
        << english;
  std::set<std::string> keys[2];
  const char* names[] = {"French.txt", "German.txt"};
  const int languages[] = {lang_french, lang_german};
  const std::set<std::string> same_as_english[] = {{"%1:minutes% minute", "%1:minutes% minutes"}, {}};
  for (int k = 0; k < 2; ++k) {
    const std::string path = std::string(SKY_SOURCE_DIR) + "/resources/" + names[k];
    shell_double::reopen_log();
    translate_load_file(languages[k], path, names[k]);
    const std::string log = shell_double::log_text();
    EXPECT_EQ(log, "") << names[k] << ": placeholders, UTF-8 and duplicates";
    keys[k] = file_keys(path);
    EXPECT_EQ(translate_state().entries, keys[k].size()) << names[k];
    for (const std::string& english : keys[k]) {
      EXPECT_TRUE(texts.all.count(english)) << names[k] << " holds a text the program never shows: "
                                            << english;
      // A text left English is a copy never translated, unless the language writes it the same.
      if (!same_as_english[k].count(english)) {
        EXPECT_NE(translate_lookup(english), english) << names[k] << " leaves it English: " << english;
      }
    }
    for (const std::string& english : texts.translated)
      EXPECT_TRUE(keys[k].count(english)) << names[k] << " lacks: " << english;
  }
  EXPECT_EQ(keys[0], keys[1]) << "both files translate the same texts";
  UTL_translate_clear();
}

// Last: the real shell's hooks replace the double's for the rest of this program.
TEST(ShippedTranslations, TheShellInstallsTheTableAsTheTranslationHook) {
  shell_install_hooks();
  translate_load_file(lang_german, std::string(SKY_SOURCE_DIR) + "/resources/German.txt", "G");
  EXPECT_EQ(UTL_translate_string("Error: "), "Fehler: ");
  UTL_translate_clear();
  EXPECT_EQ(UTL_translate_string("Error: "), "Error: ");
}

}  // namespace
