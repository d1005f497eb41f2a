#include "ui/flusso_date.h"

#include "comune/date.h"

namespace vendrix {

EsitoInvio InvioDataDal(std::string_view testo) {
  EsitoInvio esito;
  esito.testo = PulisciData(testo);
  if (LeggiData(esito.testo)) esito.fuoco = Fuoco::kDataAl;
  return esito;
}

EsitoInvio InvioDataAl(std::string_view testo_dal, std::string_view testo_al) {
  EsitoInvio esito;
  esito.testo = PulisciData(testo_al);
  const std::optional<Giorno> al = LeggiData(esito.testo);
  const std::optional<Giorno> dal = LeggiData(testo_dal);
  if (al && dal && *dal <= *al) esito.fuoco = Fuoco::kCalcola;
  return esito;
}

}  // namespace vendrix
