// Translation of the texts the user sees. Every text is written in English in the program; its
// caller passes it through UTL_translate_string (runtime/shell_services.h, which reaches
// translate_lookup below through the shell's hook) or UTL_translate_plural, then fills its
// numbered placeholders with UTL_string_sub (shell/placeholders.h). The table is loaded once at
// start-up from "RESOURCE:French.txt" or "RESOURCE:German.txt"; English needs no file.
//
// Translation file: the house text header (a line "I" or "A", a line "900 <anything>", a line
// "TRANSLATION"), then one record per line:
//   STRING <English text>====<translation>
// with "\n" and "\r" standing for a line feed and a carriage return on either side. The English
// side is the key byte for byte (blanks included); placeholders "%N:name%" keep their numbers.
// Main thread only; no lock.
#pragma once

#include <string>
#include <vector>

// Language numbers: the rows of the language table.
enum { lang_none = -1, lang_english = 0, lang_french = 1, lang_german = 2 };

// The offered languages, in number order (0, 1, 2); replaces the contents of out.
void UTL_lang_get_languages(std::vector<int>& out);
// The per-language folder name ("English/", "French/", "German/"); "" for an unknown number.
std::string UTL_lang_get_folder(int language);
// The label of the language's radio button in the language chooser ("|Deutsch").
std::string UTL_lang_get_button(int language);
// The code matched against "--lang" and the user's preferred languages ("en", "fr", "de").
std::string UTL_lang_get_code(int language);

// The language to start in, or -1 when nothing decides (the chooser then asks): the value of
// "--lang" when it is an offered code, else the first of the user's preferred languages that
// is one (platform/text.h).
int UTL_get_default_language();
// The same choice over given inputs. lang_option is null without "--lang"; preferred is the
// user's list in order of preference. Codes compare exactly, case-sensitively.
int choose_default_language(const std::vector<int>& offered, const std::string* lang_option,
                            const std::vector<std::string>& preferred);

// Empties the table and loads the language's translation resource; path is accepted and not
// read. A missing or bad file is logged and leaves English in force, with the language's
// plural rule. Missing texts are logged from then on when "--missing_strings" was given.
void UTL_translate_load(int language, const std::string& path);
// The same from a given file (the loader behind UTL_translate_load; tests and tools use it).
// name is what the log messages call the file.
void translate_load_file(int language, const std::string& file, const std::string& name);
// Back to English: empty table, no logging of missing texts, zero takes the plural.
void UTL_translate_clear();

// The translation of english, or english itself. With "--missing_strings" a text missing from
// a loaded table is written to the log once per load, as a record ready to be translated (CR
// and LF written as their escapes). A backslash is written as it is, so an English text that
// itself holds backslash "n" or "r" reads back as a line break and cannot be translated; no
// text of the program holds one.
// Installed as the lower layers' translation hook; callers use UTL_translate_string.
std::string translate_lookup(const std::string& english);
// One of the two English texts by count and the current language's plural rule, translated.
std::string UTL_translate_plural(int count, const std::string& singular, const std::string& plural);

// What the loader and the lookups work on, for tests.
struct translation_state {
  size_t entries;     // records in the table
  int has_translation;
  int log_missing;
  int plural_zero;    // 1 when a count of 0 takes the plural
};
translation_state translate_state();
