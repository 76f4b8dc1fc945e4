#pragma once
// What the cameras' web pages say back to settings requests, read from a
// NUL-terminated body of any content:
//   a refusal     "%Error" anywhere, its explanation between "<xmp>" and "</xmp>"
//   a value       between "<xmp>" and "</xmp>"
//   a choice list 'item,item,...' in single quotes, somewhere in the body
#include <string>
#include <vector>

namespace settings_body {

// True when the body reports a refusal.
bool IsRefusal(const char* body);
// The refusal's explanation: after the first "<xmp>" up to the next "</xmp>"
// or the end of the body. False (and `text` empty) without "<xmp>".
bool RefusalText(const char* body, std::string& text);
// The value between the first "<xmp>" and the "</xmp>" after it; empty
// without both markers.
std::string Value(const char* body);
// The items of the first quoted list, in body order: the list starts at the
// first single quote and ends at the next (or the body's end), and splits at
// every run of commas and quotes, so no item is empty. False without a quote.
bool ChoiceItems(const char* body, std::vector<std::string>& items);

}  // namespace settings_body
