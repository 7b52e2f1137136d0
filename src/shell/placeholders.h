// The numbered placeholders of translated texts and the small text helpers of the translation
// file. A placeholder is "%", a decimal number counted from 1, ":", a free name that tells the
// translator what goes there, and "%": "Scanning %1:number% of %2:total% files." A "%" that is
// not followed by ":" and another "%" is plain text, so "%2:progress%%" shows the number and
// a percent sign.
#pragma once

#include <string>
#include <vector>

// The text with placeholders 1 up to the number of replacements filled, each occurrence of a
// number filled. Inserted text is never scanned again, so a file name holding "%" or ":" goes
// in unchanged; a placeholder numbered above the replacements given stays as it is.
std::string UTL_string_sub(const std::string& text, const std::string& r1);
std::string UTL_string_sub(const std::string& text, const std::string& r1, const std::string& r2);
std::string UTL_string_sub(const std::string& text, const std::string& r1, const std::string& r2,
                           const std::string& r3);
std::string UTL_string_sub(const std::string& text, const std::string& r1, const std::string& r2,
                           const std::string& r3, const std::string& r4);
std::string UTL_string_sub(const std::string& text, const std::string& r1, const std::string& r2,
                           const std::string& r3, const std::string& r4, const std::string& r5);
std::string UTL_string_sub(const std::string& text, const std::string& r1, const std::string& r2,
                           const std::string& r3, const std::string& r4, const std::string& r5,
                           const std::string& r6);
// The general form behind the overloads.
std::string string_sub_list(const std::string& text, const std::vector<std::string>& replacements);

// Appends to numbers the number of every well-formed placeholder of text (number above 0), in
// text order.
void UTL_string_check(const std::string& text, std::vector<int>& numbers);

// The two escapes of the translation file, in place: backslash "r" becomes CR, then backslash
// "n" becomes LF. There is no other escape; a backslash cannot itself be escaped.
void STR_unescape(std::string& text);
// Replaces every occurrence of find by replacement, in place. The search goes on behind each
// inserted replacement, so a replacement holding find is inserted once, not again and again.
void STR_replace_all(std::string& text, const std::string& find, const std::string& replacement);

// A menu text written as numbers ("0 127 999") turned into the coded form, two bytes per
// number: value / 127 + 1 and value % 127 + 1. A number is at most three characters; "+"
// counts 1, "-" counts -1, any other non-digit 0; a negative value adds nothing. An empty text
// or one beginning with "-" or "=" (menu separators) stays as it is.
void char_string_to_int_string(std::string& text);
