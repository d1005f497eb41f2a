#include "ui/flusso_date.h"

#include "calc/vendrix_routine.h"

namespace vendrix {

EsitoInvio InvioDataDal(std::string_view testo) {
  EsitoInvio esito;
  esito.testo = EspandiData(FiltraTesto(testo));
  if (ControllaData(esito.testo) == 1) esito.fuoco = Fuoco::kDataAl;
  return esito;
}

EsitoInvio InvioDataAl(std::string_view testo_dal, std::string_view testo_al) {
  EsitoInvio esito;
  esito.testo = EspandiData(FiltraTesto(testo_al));
  // Each test only when the one before it passed: ControllaData rewrites February, so the order
  // of the calls matters.
  if (ControllaData(esito.testo) == 1 && ControllaData(testo_dal) == 1 &&
      ControllaPeriodo(testo_dal, esito.testo) == 1) {
    esito.fuoco = Fuoco::kCalcola;
  }
  return esito;
}

VerificaDate VerificaPeriodo(std::string_view testo_dal, std::string_view testo_al) {
  const bool dal_valida = ControllaData(testo_dal) == 1;
  const bool al_valida = ControllaData(testo_al) == 1;
  VerificaDate verifica;
  if (!dal_valida && !al_valida) {
    verifica.casella = 0;
    verifica.messaggio =
        "Le date di inizio e di fine non sono valide: scriverle nella forma GG/MM/AAAA.";
  } else if (!dal_valida) {
    verifica.casella = 0;
    verifica.messaggio = "La data di inizio non è valida: scriverla nella forma GG/MM/AAAA.";
  } else if (!al_valida) {
    verifica.casella = 1;
    verifica.messaggio = "La data di fine non è valida: scriverla nella forma GG/MM/AAAA.";
  }
  return verifica;
}

}  // namespace vendrix
