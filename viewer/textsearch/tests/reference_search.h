// A plain restatement of the text search, position by position over a byte map of the whole
// buffer, for checking the real routine against (tests and the fuzz target).
#pragma once

#include "textsearch.h"

namespace textsearch_reference {

bool Find(std::string_view buffer, std::int32_t& start, std::int32_t& length,
          std::string_view pattern, textsearch::TSearchOptions options);

} // namespace textsearch_reference
