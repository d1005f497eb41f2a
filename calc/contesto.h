#ifndef VENDRIX_CALC_CONTESTO_H_
#define VENDRIX_CALC_CONTESTO_H_

// The steps that the passes of the calculation run share: the lookups every pass makes
// (Consultazioni), the open statistics set of the run (ContestoCalcolo), the day walk of one
// stay, the working out of one statistics row (RigaGiorno), the sorting of one charge line into
// its totals (ClassificaAddebito) and the storing of a row worked out (ScriviRiga). Internal to
// calc/.

#include <array>
#include <map>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "calc/linea_stato.h"
#include "comune/date.h"
#include "data/dbengine.h"

namespace vendrix {

// The period of a run, checked once at its start.
struct Periodo {
  Giorno giorno_dal, giorno_al;       // both ends belong to the period
  std::string chiave_dal, chiave_al;  // their date keys, the form in which they enter SQL texts
};

// The board total that a board item's amount goes to; kNessuna: only TotRetta.
enum class Classe { kNessuna, kRO, kBB, kHB, kFB };

// The row sets every pass consults while it sorts charge lines and names rooms: the invoice
// items, the board arrangements and the room numbers. The answers for a code are looked up once
// and remembered for the run. One thread uses an object of this class; a pass that runs on a
// thread of its own opens its own.
class Consultazioni {
 public:
  // Opens the three databases and their sets, in this order.
  explicit Consultazioni(DBEngine& motore);
  // Closes invoice items, board arrangements and room numbers, in this order.
  void Chiudi();

  // Board class of an invoice item code (the text written into the criteria, or nullopt when
  // the line has no usable code): true for a board item, false for an extra.
  bool VoceArrangiamento(const std::optional<std::string>& codice);
  // The total that a board arrangement code sends its amount to.
  Classe ClasseArrangiamento(const std::string& sigla);
  Recordset& camere() { return *camere_; }

 private:
  std::unique_ptr<Database> db_voci_, db_arrangiamenti_, db_camere_;
  std::unique_ptr<Recordset> voci_, arrangiamenti_, camere_;
  int campo_reparto_ = 0, campo_tipo_ = 0;
  std::unordered_map<std::string, bool> voci_note_;
  std::unordered_map<std::string, Classe> arrangiamenti_noti_;
};

// The descriptive fields of a row: TipoCamera, Agenzia (not set when empty optional), TotCamOcc
// (not set when empty optional) and TotPax, written in this order after the money totals.
struct ValoriRiga {
  Valore tipo_camera;
  std::optional<Valore> agenzia;
  std::optional<Valore> cam_occ;
  Valore pax;
  friend bool operator==(const ValoriRiga&, const ValoriRiga&) = default;
};

// One statistics row as a pass has worked it out: its day, whether TotCamOcc
// starts at 0, and its seven money totals after all its charge lines. Each total starts at
// Currency 0 and stays Currency (the sum of Currency and any amount is Currency) until a Null
// amount makes it Null for good, so it is held as a Currency count and a Null mark.
struct RigaCalcolata {
  enum Totale { kRO, kBB, kHB, kFB, kSupl, kRetta, kExtra, kTotali };
  Giorno giorno;
  std::array<Valuta, kTotali> totali{};
  std::array<bool, kTotali> nulli{};
  bool cam_occ_iniziale = false;

  // Adds `importo` to a total as the engine adds two values: Null if either is Null, otherwise
  // the amount as Currency added exactly (throws Errore when the amount is not a number or the
  // sum overflows).
  void Aggiungi(Totale totale, const Valore& importo) {
    if (nulli[totale] || importo.IsNull()) {
      nulli[totale] = true;
      return;
    }
    totali[totale] = totali[totale] + importo.ComeValuta();
  }
  Valore ValoreDi(Totale totale) const { return nulli[totale] ? Valore() : Valore(totali[totale]); }
};

// Where a pass sends its progress texts and its rows, in the order it makes them.
class DestinoRighe {
 public:
  virtual ~DestinoRighe() = default;
  virtual void Stato(std::string_view testo) = 0;
  virtual void Riga(const RigaCalcolata& riga, const ValoriRiga& valori) = 0;
};

// What a pass works with: the engine, the period, the lookups of its thread, where its rows go,
// and the count of the stays it skipped because their arrival or departure is not a date key or
// they depart before they arrive.
struct AmbitoPasso {
  DBEngine& motore;
  const Periodo& periodo;
  Consultazioni& consultazioni;
  DestinoRighe& destino;
  int64_t soggiorni_ignorati = 0;
};

// What a run opens for its whole length on its own thread: the statistics set of the new file
// (inside one transaction), then the lookups. The passes, on threads of their own, consult
// lookups of their own; these are opened at set-up all the same, so that a reference file that
// is missing stops the run before any pass starts.
class ContestoCalcolo {
 public:
  // Opens the statistics database and its set, then the lookups, and begins the transaction on
  // the statistics file `percorso_statistiche`.
  ContestoCalcolo(DBEngine& motore, const std::string& percorso_statistiche, LineaStato& linea,
                  Periodo periodo);
  // Commits the new rows and closes statistics, invoice items, board arrangements and room
  // numbers, in this order. Without it the destructor releases everything and the rows are lost.
  void Chiudi();

  DBEngine& motore;
  LineaStato& linea;
  const Periodo periodo;
  int64_t righe_scritte = 0;  // rows stored by ScriviRiga
  // The agency filter texts, for a run that cleans agencies as it stores rows instead of in a
  // pass of its own afterwards: ScriviRiga then stores " " for the agency of a row of hotel 1
  // whose agency, as the field holds it, contains one of them (AgenziaDaPulire). Empty: rows are
  // stored as they are worked out.
  std::vector<std::string> filtri_agenzia;
  Recordset& statistiche() { return *statistiche_; }

  // Field positions of the statistics set.
  struct CampiStatistiche {
    int numero_hotel, data_rif, tot_ro, tot_bb, tot_hb, tot_fb, tot_supl, tot_retta, tipo_camera,
        agenzia, tot_cam_occ, tot_pax, extra;
  } campi;

 private:
  std::unique_ptr<Database> db_statistiche_;
  std::unique_ptr<Recordset> statistiche_;
  std::unique_ptr<Consultazioni> consultazioni_;

  // The sums, exact, of each money total of the rows stored: by day, and of their absolute
  // values over the period, for ControllaSomme.
  std::map<Giorno, std::array<__int128, RigaCalcolata::kTotali>> somme_giorno_;
  std::array<__int128, RigaCalcolata::kTotali> somme_assolute_{};

 public:
  // Throws Errore, naming the first day and the total, when a sum the report makes of the rows
  // stored so far (a day's, or one over the period: by room type, by agency) would not fit the
  // Currency type, which would leave the workbooks impossible to make.
  void ControllaSomme() const;

 private:
  friend void ScriviRiga(ContestoCalcolo&, const RigaCalcolata&, const ValoriRiga&);
  // The last agency text tested against filtri_agenzia and the answer: the rows of one stay
  // follow each other with the same agency.
  std::optional<std::string> agenzia_provata_;
  bool agenzia_da_pulire_ = false;
};

// Adds and stores one statistics row worked out by a pass: AddNew, then NumeroHotel, DataRif,
// the money totals (TotCamOcc 0 among them when the row asks for it), the descriptive values,
// each field once with its final value and in the order the run gives them; then Update.
void ScriviRiga(ContestoCalcolo& contesto, const RigaCalcolata& riga, const ValoriRiga& valori);

// The field positions of a charge-line set that ClassificaAddebito reads, and where the set comes
// from: its file, and what its CodiceCliente numbers ("prenotazione" or "scheda"), for the
// message about an amount that cannot be added.
struct CampiAddebito {
  CampiAddebito(const Recordset& addebiti, std::string file, std::string numero_di);
  int importo, descrizione, voce, arrangiamento, codice;
  std::string file, numero_di;
};

// Adds `line`'s amount to the totals of `riga`. Throws Errore naming the file, the table and the
// booking or card number when the amount is not a number Currency can hold.
void ClassificaAddebito(Consultazioni& consultazioni, RigaCalcolata& riga, Recordset& line,
                        const CampiAddebito& campi);

// Works out the statistics row of one stay for day `giorno` and hands it to the
// pass's destination: the charge lines of `addebiti` that meet `criterio` (none when `criterio`
// is null), then the values that `valori` gives, asked for only now. `cam_occ_iniziale` gives
// TotCamOcc the initial 0 too.
template <typename FnValori>
void RigaGiorno(AmbitoPasso& ambito, Giorno giorno, Recordset& addebiti,
                const CampiAddebito& campi_addebito, const std::string* criterio,
                bool cam_occ_iniziale, FnValori&& valori);

// Walks the days of a stay from the arrival key up to the day before the departure key and calls
// `riga(giorno)` for those inside the period. Returns false, and counts the stay as skipped,
// when either key is not the date key of a real day or the departure comes before the arrival.
template <typename FnRiga>
bool CamminaGiorni(AmbitoPasso& ambito, const Valore& arrivo, const Valore& partenza,
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
// Appends "DataInizio <= 'K' and DataFine > 'K'" for the date key K of day `giorno` to
// `criterio`, a criterion built anew in one buffer every day.
void AggiungiCriterioGiorno(std::string& criterio, Giorno giorno);

// Where a guest pass reads its cards, their companies and their charge lines: the three files
// and the SQL texts of the cards and of the charge lines for one period.
struct SorgenteOspiti {
  bool storico = false;
  std::string file_schede, file_ditte, file_addebiti;
  std::string sql_schede, sql_addebiti;
};
// The sources of the in-house guests pass and of the guest history pass, whose files lie in
// `cartella_storico`.
SorgenteOspiti SorgenteClientiInCasa(const Periodo& periodo);
SorgenteOspiti SorgenteStoricoClienti(const Periodo& periodo,
                                      const std::filesystem::path& cartella_storico);

// The passes. Each opens the databases and sets of its stays and charge lines, in its order,
// sends its rows and progress texts to `ambito.destino`, and closes what it opened.
void PassoPrenotazioni(AmbitoPasso& ambito, const std::string& condizione_tipo);
void PassoClientiInCasa(AmbitoPasso& ambito, const SorgenteOspiti& sorgente);
void PassoStoricoClienti(AmbitoPasso& ambito, const SorgenteOspiti& sorgente);

// The Agenzia of a guest card, looked up in the company set `ditte`: the card's own company row
// (by `progressivo`), else, when it has a head of family, the head's row (code + `scarto`), else,
// when it has a head of group, the group head's row (code + `scarto`), else " ". nullopt when the
// card has neither a row of its own nor a head of family: the field is then left empty.
std::optional<Valore> AgenziaCliente(Recordset& ditte, int campo_ragione, const Valore& progressivo,
                                     const Valore& capo_famiglia, const Valore& capo_gruppo,
                                     double scarto);

// ---------------------------------------------------------------------------------------------
// Template definitions.

void IniziaRiga(Giorno giorno, bool cam_occ_iniziale, RigaCalcolata& riga);

template <typename FnValori>
void RigaGiorno(AmbitoPasso& ambito, Giorno giorno, Recordset& addebiti,
                const CampiAddebito& campi_addebito, const std::string* criterio,
                bool cam_occ_iniziale, FnValori&& valori) {
  RigaCalcolata riga;
  IniziaRiga(giorno, cam_occ_iniziale, riga);
  if (criterio != nullptr) {
    addebiti.FindFirst(*criterio);
    while (!addebiti.NoMatch()) {
      ClassificaAddebito(ambito.consultazioni, riga, addebiti, campi_addebito);
      addebiti.FindNext(*criterio);
    }
  }
  ambito.destino.Riga(riga, valori());
}

bool GiorniSoggiorno(AmbitoPasso& ambito, const Valore& arrivo, const Valore& partenza,
                     Giorno& primo, Giorno& ultimo);

template <typename FnRiga>
bool CamminaGiorni(AmbitoPasso& ambito, const Valore& arrivo, const Valore& partenza,
                   FnRiga&& riga) {
  Giorno primo, ultimo;
  if (!GiorniSoggiorno(ambito, arrivo, partenza, primo, ultimo)) return false;
  for (Giorno giorno = primo; giorno <= ultimo; giorno += std::chrono::days{1}) riga(giorno);
  return true;
}

}  // namespace vendrix

#endif  // VENDRIX_CALC_CONTESTO_H_
