#ifndef VENDRIX_CALC_CONTESTO_H_
#define VENDRIX_CALC_CONTESTO_H_

// The steps that the passes of the calculation run share: the open row sets of the run
// (ContestoCalcolo), the day walk of one stay, the adding of one statistics row (RigaGiorno) and
// the sorting of one charge line into its totals (ClassificaAddebito). Internal to calc/.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "calc/linea_stato.h"
#include "data/dbengine.h"

namespace vendrix {

// The period of a run, checked once at its start.
struct Periodo {
  std::string dal, al;                 // display dates, as handed to the run
  std::string chiave_dal, chiave_al;   // DataAMG of the two
  long giorno_dal = 0, giorno_al = 0;  // day numbers of the two
};

// The board total that a board item's amount goes to; kNessuna: only TotRetta.
enum class Classe { kNessuna, kRO, kBB, kHB, kFB };

// What a run opens for its whole length and every pass consults: the statistics set of the new
// file (inside one transaction), the invoice items, the board arrangements and the room numbers.
class ContestoCalcolo {
 public:
  // Opens the four databases and their sets, in this order, and begins the transaction on the
  // statistics file `percorso_statistiche`.
  ContestoCalcolo(DBEngine& motore, const std::string& percorso_statistiche, LineaStato& linea,
                  Periodo periodo);
  // Commits the new rows and closes statistics, invoice items, board arrangements and room
  // numbers, in this order. Without it the destructor releases everything and the rows are lost.
  void Chiudi();

  DBEngine& motore;
  LineaStato& linea;
  const Periodo periodo;
  // Stays skipped because their arrival or departure is not a date key.
  int64_t soggiorni_ignorati = 0;

  Recordset& statistiche() { return *statistiche_; }
  Recordset& camere() { return *camere_; }

  // Field positions of the statistics set.
  struct CampiStatistiche {
    int numero_hotel, data_rif, tot_ro, tot_bb, tot_hb, tot_fb, tot_supl, tot_retta, tipo_camera,
        agenzia, tot_cam_occ, tot_pax, extra;
  } campi;

  // Board class of an invoice item code (the text written into the criteria, or nullopt when
  // the line has no usable code): true for a board item, false for an extra. Looked up once per
  // code, then remembered for the run.
  bool VoceArrangiamento(const std::optional<std::string>& codice);
  // The total that a board arrangement code sends its amount to. Remembered like the above.
  Classe ClasseArrangiamento(const std::string& sigla);

 private:
  std::unique_ptr<Database> db_statistiche_, db_voci_, db_arrangiamenti_, db_camere_;
  std::unique_ptr<Recordset> statistiche_, voci_, arrangiamenti_, camere_;
  int campo_reparto_ = 0, campo_tipo_ = 0;
  std::unordered_map<std::string, bool> voci_note_;
  std::unordered_map<std::string, Classe> arrangiamenti_noti_;
};

// The field positions of a charge-line set that ClassificaAddebito reads.
struct CampiAddebito {
  explicit CampiAddebito(const Recordset& addebiti);
  int importo, descrizione, voce, arrangiamento;
};

// The values of one statistics row being added, as written so far. Every change is written into
// the row at once, so the fields receive their values in the order the run gives them.
struct RigaInCorso {
  Recordset* statistiche;
  const ContestoCalcolo::CampiStatistiche* campi;
  Valore tot_ro, tot_bb, tot_hb, tot_fb, tot_supl, tot_retta, extra;
  void Aggiungi(Valore RigaInCorso::*totale, int campo, const Valore& importo);
};

// The descriptive fields of a row: TipoCamera, Agenzia (not set when empty optional), TotCamOcc
// (not set when empty optional) and TotPax, written in this order after the charge lines.
struct ValoriRiga {
  Valore tipo_camera;
  std::optional<Valore> agenzia;
  std::optional<Valore> cam_occ;
  Valore pax;
};

// Adds `line`'s amount to the totals of the row being added.
void ClassificaAddebito(ContestoCalcolo& contesto, RigaInCorso& riga, Recordset& line,
                        const CampiAddebito& campi);

// Adds and stores the statistics row of one stay for day `giorno` (a day number): the charge
// lines of `addebiti` that meet `criterio` (none when `criterio` is null), then the values that
// `valori` gives, asked for only now. `cam_occ_iniziale` gives TotCamOcc the initial 0 too.
template <typename FnValori>
void RigaGiorno(ContestoCalcolo& contesto, long giorno, Recordset& addebiti,
                const CampiAddebito& campi_addebito, const std::string* criterio,
                bool cam_occ_iniziale, FnValori&& valori);

// Walks the days of a stay from the arrival key up to the day before the departure key and calls
// `riga(giorno)` for those inside the period. Returns false, and counts the stay as skipped,
// when either key is not the date key of a real day.
template <typename FnRiga>
bool CamminaGiorni(ContestoCalcolo& contesto, const Valore& arrivo, const Valore& partenza,
                   FnRiga&& riga);

// Text of a field value as it is joined into a message or a criteria text: empty for Null.
std::string TestoDi(const Valore& valore);
// The value as a number, when it is one or is a text holding just a decimal number.
std::optional<double> ComeNumero(const Valore& valore);
// A number as written into a criteria text: whole numbers without decimals.
std::string TestoNumero(double numero);
// The value as written into a criteria text where the field is a number; nullopt when the value
// is not a number (such a value can match no row).
std::optional<std::string> NumeroPerCriterio(const Valore& valore);
// "DataInizio <= 'K' and DataFine > 'K'" for the date key K of day `giorno`.
std::string CriterioGiorno(long giorno);

// The passes.
void PassoPrenotazioni(ContestoCalcolo& contesto, const std::string& condizione_tipo);
void PassoClientiInCasa(ContestoCalcolo& contesto);
void PassoStoricoClienti(ContestoCalcolo& contesto);

// The Agenzia of a guest card, looked up in the company set `ditte`: the card's own company row
// (by `progressivo`), else, when it has a head of family, the head's row (code + `scarto`), else,
// when it has a head of group, the group head's row (code + `scarto`), else " ". nullopt when the
// card has neither a row of its own nor a head of family: the field is then left empty.
std::optional<Valore> AgenziaCliente(Recordset& ditte, int campo_ragione, const Valore& progressivo,
                                     const Valore& capo_famiglia, const Valore& capo_gruppo,
                                     double scarto);

// The history folder: the value of DIRSH, unchanged, when it holds more than blanks.
std::optional<std::string> CartellaStorico();

// ---------------------------------------------------------------------------------------------
// Template definitions.

void IniziaRiga(ContestoCalcolo& contesto, long giorno, bool cam_occ_iniziale, RigaInCorso& riga);
void ConcludiRiga(ContestoCalcolo& contesto, const ValoriRiga& valori);

template <typename FnValori>
void RigaGiorno(ContestoCalcolo& contesto, long giorno, Recordset& addebiti,
                const CampiAddebito& campi_addebito, const std::string* criterio,
                bool cam_occ_iniziale, FnValori&& valori) {
  RigaInCorso riga;
  IniziaRiga(contesto, giorno, cam_occ_iniziale, riga);
  if (criterio != nullptr) {
    addebiti.FindFirst(*criterio);
    while (!addebiti.NoMatch()) {
      ClassificaAddebito(contesto, riga, addebiti, campi_addebito);
      addebiti.FindNext(*criterio);
    }
  }
  ConcludiRiga(contesto, valori());
}

bool GiorniSoggiorno(ContestoCalcolo& contesto, const Valore& arrivo, const Valore& partenza,
                     long& primo, long& ultimo);

template <typename FnRiga>
bool CamminaGiorni(ContestoCalcolo& contesto, const Valore& arrivo, const Valore& partenza,
                   FnRiga&& riga) {
  long primo = 0, ultimo = -1;
  if (!GiorniSoggiorno(contesto, arrivo, partenza, primo, ultimo)) return false;
  for (long giorno = primo; giorno <= ultimo; ++giorno) riga(giorno);
  return true;
}

}  // namespace vendrix

#endif  // VENDRIX_CALC_CONTESTO_H_
