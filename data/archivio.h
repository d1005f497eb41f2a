#ifndef VENDRIX_DATA_ARCHIVIO_H_
#define VENDRIX_DATA_ARCHIVIO_H_

#include <string>

#include "data/dbengine.h"
#include "data/tabelle.h"

namespace vendrix {

// Creates the statistics store: when no file `percorso` exists, a new database there with the
// empty table Vendrix and its 13 fields in order. An existing file is left alone, untouched.
void CreaArchivio(DBEngine& motore, const std::string& percorso = tabelle::kFileVendrix);

}  // namespace vendrix

#endif  // VENDRIX_DATA_ARCHIVIO_H_
