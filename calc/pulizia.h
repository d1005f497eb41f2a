#ifndef VENDRIX_CALC_PULIZIA_H_
#define VENDRIX_CALC_PULIZIA_H_

#include <string>
#include <string_view>
#include <vector>

#include "calc/linea_stato.h"
#include "data/dbengine.h"

namespace vendrix {

// The filter texts of the agency filter file `percorso`, in file order, each exactly as read.
// A line ends at CR, CR LF or LF. Empty lines after the first are left out (an empty text would
// occur in every agency). Empty result when the file is missing or its first line is empty: then
// nothing is to be cleaned. A file that is not valid UTF-8 is read as Windows-1252.
std::vector<std::string> LeggiFiltri(const std::string& percorso);

// True when the stored agency text `agenzia` contains one of `filtri`: the clean-up blanks it.
bool AgenziaDaPulire(std::string_view agenzia, const std::vector<std::string>& filtri);

// The agency clean-up: in table Vendrix of the statistics file `percorso_statistiche`, sets
// Agenzia to " " on every row of hotel 1 whose Agenzia contains one of the texts of
// VendrixFiltro.txt (the engine's working folder), in one transaction. Writes "Pulizia record n. i di n" on
// the status line for every row visited. Without filter texts it opens nothing; without rows it
// ends at once, writing nothing. Throws Errore on failure, leaving the table as it was.
void PulisciAgenzie(DBEngine& motore, const std::string& percorso_statistiche, LineaStato& linea);

}  // namespace vendrix

#endif  // VENDRIX_CALC_PULIZIA_H_
