#pragma once
// Reading the table a SELECT statement reads from, so that the generated
// INSERT statements name it, and the text the generator runs to get the rows.

#include <string>

namespace qarn::control {

// Normalises `statement` in place (a carriage return becomes a blank, a line
// feed is dropped) and takes the word after the first FROM word: words are
// split at every single blank, so two blanks in a row give an empty word and
// tabs do not split.  `bareTable` is the text after the last "." of
// `qualifiedTable` (the whole of it when there is no point).
// Without a FROM word the user is told so and the answer is false; FROM as
// the last word is false without a message.
bool ParseTableName(std::string& statement, std::string& qualifiedTable, std::string& bareTable);

// The statement to run: when the table was qualified, every occurrence of the
// qualified name replaced by the bare name (exact case); else unchanged.
std::string BuildRunText(const std::string& normalised, const std::string& qualified, const std::string& bare);

}  // namespace qarn::control
