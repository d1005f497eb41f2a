#ifndef VENDRIX_DATA_LESSICO_H_
#define VENDRIX_DATA_LESSICO_H_

// What the readers of criteria and of SQL texts share: how a quoted text is read.

#include <string>
#include <string_view>

namespace vendrix::engine_detail {

// The text quoted with the character at `p` of `testo` ('a''b' or "a""b"): its content, each
// doubled quote read as one, in `valore`. Returns the position past the closing quote, or npos
// when the quote is never closed.
size_t LeggiTestoTraApici(std::string_view testo, size_t p, std::string& valore);

}  // namespace vendrix::engine_detail

#endif  // VENDRIX_DATA_LESSICO_H_
