#include "app/crea_report_direzione.h"

#include <chrono>
#include <filesystem>

#include "app/istantanea.h"
#include "calc/portafoglio.h"
#include "comune/nome_hotel.h"
#include "comune/segmenti.h"
#include "data/blocco_cartella.h"
#include "data/errore.h"
#include "reports/report_direzione.h"

namespace vendrix {

namespace fs = std::filesystem;

std::string CreaReportDirezione(Interfaccia& ui, const Richiesta& r, Giorno giorno) {
  const Giorno ieri = IeriLocale();
  if (giorno > ieri) {
    throw Errore("La notte del " + TestoData(giorno) +
                 " non è ancora finita: scegliere un giorno fino a ieri (" + TestoData(ieri) +
                 ").");
  }
  const fs::path cartella = CartellaAlbergo(r.cartella_hotel);
  const BloccoCartella blocco(cartella, kFileBloccoAlbergo, BloccoCartella::Modo::kCondiviso);
  // Today's snapshot of the books on the way: the same files, and the pickup below needs it.
  IstantaneaDiPassaggio(ui, r);
  ui.ImpostaStato(kStatoDirezione);

  DatiDirezione dati;
  dati.hotel = NomeHotel(cartella);
  dati.giorno = giorno;
  dati.creato_il = OraLocale("%d/%m/%Y %H:%M");
  dati.prenotazioni_note = giorno == ieri;

  const Segmenti segmenti = Segmenti::Leggi(cartella);
  dati.segmenti = segmenti.Elenco();
  // Of an earlier day only what was actual is known: nothing after it is worked out.
  auto [dal, al] = NottiReportDirezione(giorno);
  if (!dati.prenotazioni_note) al = giorno;
  Richiesta libri = r;
  libri.cartella_hotel = cartella;
  libri.dal = dal;
  libri.al = al;
  dati.portafoglio = CalcolaPortafoglio(libri, giorno, segmenti);
  if (segmenti.errore()) {
    dati.portafoglio.mancanze.push_back("segmenti di " + std::string(kFileSegmenti) + ": " +
                                        *segmenti.errore());
  }
  if (dati.prenotazioni_note) {
    dati.pickup = PickupDelleNotti(cartella, Oggi(), giorno + std::chrono::days(1),
                                   giorno + std::chrono::days(kNottiProssimiGiorni));
  }
  return ScriviReportDirezione(dati, cartella / r.cartella_excel);
}

}  // namespace vendrix
