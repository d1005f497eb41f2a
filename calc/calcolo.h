#ifndef VENDRIX_CALC_CALCOLO_H_
#define VENDRIX_CALC_CALCOLO_H_

#include <string>

#include "calc/interfaccia.h"

namespace vendrix {

// The "&Calcola" run: rebuilds Vendrix.mdb in the working folder for the period dataDal..dataAl
// (display dates) from the hotel files of the working folder, with the stays that the check boxes
// of `ui` select, then shows the completion message through `ui`. The new statistics are built
// in a temporary file and replace Vendrix.mdb only when the whole run has succeeded: on failure
// it throws Errore and the previous Vendrix.mdb is left exactly as it was.
void CalcolaStatistiche(Interfaccia& ui, const std::string& dataDal, const std::string& dataAl);

}  // namespace vendrix

#endif  // VENDRIX_CALC_CALCOLO_H_
