#ifndef VENDRIX_DATA_SOMME_GRUPPI_H_
#define VENDRIX_DATA_SOMME_GRUPPI_H_

// Grouped sums worked out by the engine, reading a table once where SQLite would sort it.

#include <utility>
#include <vector>

#include "data/connessione.h"
#include "data/insieme.h"
#include "data/sql_dialetto.h"

namespace vendrix::engine_detail {

// Fills the rows of each set, whose fields its grouped query (the plan beside it) has already
// set, by reading the plans' table once and adding up by group. The plans are of one table.
// False when that cannot give exactly what SQLite would give: the queries are then left to
// SQLite (the rows of the sets are filled again from nothing).
bool SommePerGruppi(Connessione& conn,
                    const std::vector<std::pair<const PianoSomme*, Insieme*>>& richieste);

}  // namespace vendrix::engine_detail

#endif  // VENDRIX_DATA_SOMME_GRUPPI_H_
