#ifndef VENDRIX_DATA_APERTURA_H_
#define VENDRIX_DATA_APERTURA_H_

// Opening a recordset: a table of the file, or an SQL text translated from the dialect and run,
// its grouped sums worked out by the engine where it can.

#include <memory>
#include <string_view>
#include <vector>

#include "data/connessione.h"
#include "data/insieme.h"

namespace vendrix::engine_detail {

// The set of a table (or view) of the file, or of an SQL SELECT text; throws Errore naming the
// table or the fault of the text.
std::unique_ptr<Insieme> ApriInsieme(const std::shared_ptr<Connessione>& conn,
                                     std::string_view origine);
// The sets of `origini`, each as ApriInsieme opens it; grouped sums over one table are worked out
// together. An error is the one that opening them one by one would meet first.
std::vector<std::unique_ptr<Insieme>> ApriInsiemi(const std::shared_ptr<Connessione>& conn,
                                                  const std::vector<std::string_view>& origini);

}  // namespace vendrix::engine_detail

#endif  // VENDRIX_DATA_APERTURA_H_
