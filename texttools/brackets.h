// Bracket removal over Shift-JIS text, shared by the result pane and the viewer's excerpt.
// Standard library only.
#pragma once

#include <functional>
#include <string>

// What an unbalanced text lacks.
enum class TBracketFault {
    bfNone,
    bfMissingOpen,  // a closing bracket without its opening one
    bfMissingClose, // an opening bracket never closed
};

struct TStripResult {
    std::string text;    // the text without its bracketed parts (Shift-JIS)
    TBracketFault fault; // bfNone for a balanced text
    std::string message; // the message the user is shown for the fault; empty for bfNone
};

// Removes every bracketed part of a Shift-JIS text, character by character (a two-byte character
// counting as one). "(" and "（" open, ")" and "）" close, any opening bracket pairs with any
// closing one; nested groups vanish with their outer group. Unbalanced text: with a closing
// bracket too many, the text is kept up to and including it; with an opening bracket never
// closed, the text from the outermost unclosed bracket on is dropped.
TStripResult StripBracketsChecked(const std::string& text);

// The same, reporting a fault's message through showMessage (when given).
std::string StripBrackets(const std::string& text,
                          const std::function<void(const std::string&)>& showMessage = {});

// The two messages, Shift-JIS.
const std::string& MissingOpenBracketMessage();
const std::string& MissingCloseBracketMessage();
