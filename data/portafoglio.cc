#include "data/portafoglio.h"

namespace vendrix {

CifreNotte& CifreNotte::operator+=(const CifreNotte& altre) {
  camere += altre.camere;
  ospiti += altre.ospiti;
  retta += altre.retta;
  extra += altre.extra;
  ro += altre.ro;
  bb += altre.bb;
  hb += altre.hb;
  fb += altre.fb;
  supplementi += altre.supplementi;
  return *this;
}

int64_t Portafoglio::CamereTotali() const {
  int64_t totale = 0;
  for (const auto& [tipo, quantita] : tipi_camere) totale += quantita;
  return totale;
}

}  // namespace vendrix
