// The calculation run on small hotels written by the tests: which stays give rows, what each row
// holds, the agency clean-up, and what a failed run leaves behind.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "app/demo/hotel_demo.h"
#include "calc/calcolo.h"
#include "calc/linea_stato.h"
#include "calc/pulizia.h"
#include "calc/vendrix_routine.h"
#include "comune/date.h"
#include "comune/richiesta.h"
#include "comune/versione.h"
#include "data/archivio.h"
#include "data/blocco_cartella.h"
#include "data/dbengine.h"
#include "data/errore.h"
#include "data/tabelle.h"
#include "tests/support/albergo_piccolo.h"

namespace vendrix {
namespace {

namespace fs = std::filesystem;
namespace t = tabelle;
using Righe = std::vector<std::vector<Valore>>;

const Valore kNull;

using prova::E;
using prova::N;
using prova::S;

class FintaUi : public Interfaccia {
 public:
  void ImpostaStato(const std::string& testo) override { stati.push_back(testo); }
  void MsgBox(const std::string& testo, const std::string& titolo) override {
    messaggi.push_back(titolo + ": " + testo);
  }
  std::vector<std::string> stati;
  std::vector<std::string> messaggi;
};

// A statistics row as text, for readable comparisons: money with two decimals, Null as "-".
struct Riga {
  std::string data, ro, bb, hb, fb, supl, retta, extra, tipo, agenzia, cam_occ, pax;
  friend bool operator==(const Riga&, const Riga&) = default;
};

std::string Soldi(const Valore& v) { return v.IsNull() ? "-" : v.ComeValuta().Testo(2); }
std::string Testo(const Valore& v) { return v.IsNull() ? "-" : v.Testo(); }

std::string LeggiFile(const std::string& percorso) {
  std::ifstream f(percorso, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

void ScriviFile(const std::string& percorso, const std::string& contenuto) {
  std::ofstream f(percorso, std::ios::binary | std::ios::trunc);
  f << contenuto;
}

// A hotel in a folder of its own, which the runs are asked to work in.
class AlbergoTest : public ::testing::Test {
 public:
  void SetUp() override {
    char modello[] = "/tmp/vendrix_calc_XXXXXX";
    ASSERT_NE(mkdtemp(modello), nullptr);
    cartella_ = modello;
    unsetenv("DIRSH");
    CaricaModulo();
    NuovoAlbergo();
  }
  void TearDown() override {
    unsetenv("DIRSH");
    std::error_code e;
    fs::remove_all(cartella_, e);
  }

  // Empty hotel files with the reference tables every test shares, and no statistics yet.
  void NuovoAlbergo(std::string dove = "") {
    if (dove.empty()) {
      dove = cartella_.string();
      for (const char* f : {t::kFileVendrix, t::kFileFiltro}) fs::remove(P(f));
    }
    demo::CreaFileHotel(dove);
    Metti(dove + "/" + t::kFileTipiCamere, t::kTipiCamere,
          {t::kNumeroHotel, t::kSigla, t::kTipologia, t::kDescrizione, t::kQuantita},
          {{N(1), S("DBL"), S("C"), S("Doppia"), N(10)},
           {N(1), S("SGL"), S("C"), S("Singola"), N(5)},
           {N(1), S("SALA"), S("S"), S("Sala riunioni"), N(1)},
           {N(2), S("SUITE"), S("C"), S("Suite, altro albergo"), N(1)}});
    Metti(dove + "/" + t::kFileNumeriCamere, t::kNumeriCamere,
          {t::kNumeroHotel, t::kNumeroCamera, t::kTipoCamera},
          {{N(1), S("101"), S("DBL")},
           {N(1), S("102"), S("DBL")},
           {N(1), S("201"), S("SGL")},
           {N(1), S("1'A"), S("SGL")},
           {N(1), S("S1"), S("SALA")}});
    Metti(dove + "/" + t::kFileVociFattura, t::kVociFattura,
          {t::kNumeroHotel, t::kCodice, t::kDescrizione, t::kReparto},
          {{N(1), N(1), S("Pensione"), S("ARR")},
           {N(1), N(2), S("Bar"), S("BAR")},
           {N(1), N(3), S("Senza reparto"), kNull},
           {N(1), N(4), S("Reparto vuoto"), S("")},
           {N(1), N(5), S("Minuscolo"), S("arr")},
           {N(2), N(6), S("Altro albergo"), S("ARR")}});
    Metti(dove + "/" + t::kFileArrangiamenti, t::kNomiArrangiamenti,
          {t::kNumeroHotel, t::kSigla, t::kDescrizione, t::kTipo},
          {{N(1), S("RO"), S("Solo camera"), S("S")},
           {N(1), S("BB"), S("Colazione"), S("C")},
           {N(1), S("HB"), S("Mezza pensione"), S("M")},
           {N(1), S("H1"), S("Mezza pensione"), S("1")},
           {N(1), S("FB"), S("Pensione completa"), S("P")},
           {N(1), S("FA"), S("Pensione completa"), S("A")},
           {N(1), S("XX"), S("Altro"), S("X")},
           {N(1), S("B'B"), S("Colazione"), S("C")}});
  }

  // A file of the hotel folder (a path that is absolute already is left as it is).
  std::string P(const std::string& file) const { return (cartella_ / file).string(); }

  void Metti(const std::string& file, const char* tabella, const std::vector<std::string>& campi,
             const Righe& righe) {
    demo::InserisciRighe(P(file), tabella, campi, righe);
  }

  void Prenotazione(int32_t n, const char* tipo, const Valore& ditta) {
    Metti(t::kFileSchedaPrenotazione, t::kSchedaPrenotazione,
          {t::kNumeroHotel, t::kNumeroPrenotazione, t::kTipoPrenotazione, t::kDitta},
          {{N(1), N(n), S(tipo), ditta}});
  }
  void RigaCamera(int32_t n, const Valore& camera, const Valore& arrivo, const Valore& partenza,
                  const char* tipo = "DBL", int32_t quantita = 1, int32_t persone = 2) {
    Metti(t::kFileCamerePrenotazione, t::kCamerePrenotazione,
          {t::kNumeroHotel, t::kNumeroPrenotazione, t::kNumeroCamera, t::kDataArrivo,
           t::kDataPartenza, t::kTipoCamera, t::kQuantitaCamere, t::kNumeroPersone},
          {{N(1), N(n), camera, arrivo, partenza, S(tipo), N(quantita), N(persone)}});
  }
  void Addebito(const Valore& codice, const Valore& camera, const char* inizio, const char* fine,
                const Valore& importo, const Valore& descrizione, const Valore& voce,
                const Valore& arrangiamento, const std::string& file = t::kFileArrangiamento) {
    Metti(file, t::kArrangiamento,
          {t::kNumeroHotel, t::kCodiceCliente, t::kNumeroCamera, t::kDataInizio, t::kDataFine,
           t::kImportoTotale, t::kDescrizione, t::kVoceAddebito, t::kArrangiamento},
          {{N(1), codice, camera, S(inizio), S(fine), importo, descrizione, voce, arrangiamento}});
  }
  struct Scheda {
    Valore progressivo;
    const char* nome;
    const char* camera;
    const char* arrivo;
    const char* partenza;
    const char* reale;
    const char* partito;
    Valore componente;
    Valore famiglia;
    Valore gruppo;
  };
  void Schede(const std::vector<Scheda>& schede, const std::string& file = t::kFileSchedaCliente) {
    Righe righe;
    for (const Scheda& s : schede) {
      righe.push_back({N(1), s.progressivo, S(s.nome), S(s.camera), S(s.arrivo), S(s.partenza),
                       S(s.reale), S(s.partito), s.componente, s.famiglia, s.gruppo});
    }
    Metti(file, t::kSchedaCliente,
          {t::kNumeroHotel, t::kNumeroProgressivo, t::kNomeCliente, t::kNumeroCamera,
           t::kDataArrivo, t::kDataPartenza, t::kDataPartenzaReale, t::kPartito,
           t::kNumeroComponente, t::kCodiceCapoFamiglia, t::kCodiceCapoGruppo},
          righe);
  }
  void Ditte(const Righe& codici_e_nomi, const std::string& file = t::kFileDittaIntestataria) {
    Righe righe;
    for (const auto& r : codici_e_nomi) righe.push_back({N(1), r[0], r[1]});
    Metti(file, t::kDittaIntestataria, {t::kNumeroHotel, t::kCodiceCliente, t::kRagioneSociale},
          righe);
  }

  // What the window asks with these check boxes and dates, for the test's hotel.
  Richiesta Chiedi(std::array<int, 3> chk, const std::string& dal, const std::string& al) const {
    const std::optional<Giorno> giorno_dal = LeggiData(dal), giorno_al = LeggiData(al);
    EXPECT_TRUE(giorno_dal && giorno_al) << dal << " - " << al;
    Richiesta r = NuovaRichiesta(giorno_dal.value_or(Giorno{}), giorno_al.value_or(Giorno{}),
                                 cartella_);
    r.confermate = chk[0] == 1;
    r.opzionate = chk[1] == 1;
    r.clienti = chk[2] == 1;
    return r;
  }

  std::vector<Riga> Esegui(std::array<int, 3> chk, const std::string& dal, const std::string& al) {
    ui_ = FintaUi();
    CalcolaStatistiche(ui_, Chiedi(chk, dal, al));
    return LeggiStatistiche();
  }

  std::vector<Riga> LeggiStatistiche(const std::string& archivio = t::kFileVendrix) const {
    DBEngine motore;
    auto db = motore.OpenDatabase(P(archivio));
    auto rs = db->OpenRecordset(t::kVendrix);
    std::vector<Riga> righe;
    rs->FindFirst("NumeroHotel = 1");
    while (!rs->NoMatch()) {
      const auto f = [&](const char* nome) { return rs->Fields(nome).Value(); };
      righe.push_back({Testo(f(t::kDataRif)), Soldi(f(t::kTotRO)), Soldi(f(t::kTotBB)),
                       Soldi(f(t::kTotHB)), Soldi(f(t::kTotFB)), Soldi(f(t::kTotSupl)),
                       Soldi(f(t::kTotRetta)), Soldi(f(t::kExtra)), Testo(f(t::kTipoCamera)),
                       Testo(f(t::kAgenzia)), Testo(f(t::kTotCamOcc)), Testo(f(t::kTotPax))});
      rs->FindNext("NumeroHotel = 1");
    }
    rs->Close();
    db->Close();
    return righe;
  }

  fs::path cartella_;
  FintaUi ui_;
};

std::vector<std::string> Date(const std::vector<Riga>& righe) {
  std::vector<std::string> date;
  for (const Riga& r : righe) date.push_back(r.data);
  return date;
}

// One text per row: day, room type, agency, rooms, guests, total.
std::vector<std::string> Riassunto(const std::vector<Riga>& righe, bool ordina = true) {
  std::vector<std::string> testi;
  for (const Riga& r : righe) {
    testi.push_back(r.data + "|" + r.tipo + "|" + r.agenzia + "|" + r.cam_occ + "|" + r.pax + "|" +
                    r.retta);
  }
  if (ordina) std::sort(testi.begin(), testi.end());
  return testi;
}

const std::string kCompletato =
    "Statistiche: Creazione dati completata!\r\nOra si possono generare i fogli Excel";

// One completion message, with its line on what was computed.
bool Completato(const std::vector<std::string>& messaggi) {
  return messaggi.size() == 1 && messaggi[0].rfind(kCompletato + "\r\nPeriodo dal ", 0) == 0;
}

const std::string kNessunSoggiorno = "Statistiche: Nessun soggiorno trovato: 0 righe di statistiche.";
// The message of a run that found no stay: it says so, not that the data are ready.
bool NessunSoggiorno(const std::vector<std::string>& messaggi) {
  return messaggi.size() == 1 && messaggi[0].starts_with(kNessunSoggiorno + "\r\nPeriodo dal ");
}

// ---------------------------------------------------------------------------------------------
// The day walk.

TEST_F(AlbergoTest, StaysGiveOneRowPerNightInsideThePeriod) {
  struct Caso {
    const char* nome;
    const char *arrivo, *partenza;  // the booked stay's date keys
    const char *dal, *al;           // the period asked
    std::vector<std::string> date;
  };
  const Caso casi[] = {
      {"arrival before the period",
       "20240630",
       "20240702",
       "01/07/2024",
       "31/07/2024",
       {"20240701"}},
      {"departure after the period",
       "20240731",
       "20240801",
       "01/07/2024",
       "31/07/2024",
       {"20240731"}},
      {"departure day is no night",
       "20240705",
       "20240708",
       "01/07/2024",
       "31/07/2024",
       {"20240705", "20240706", "20240707"}},
      {"same-day stay", "20240710", "20240710", "01/07/2024", "31/07/2024", {}},
      {"departure on the first day", "20240625", "20240701", "01/07/2024", "31/07/2024", {}},
      {"arrival on the last day", "20240731", "20240805", "01/07/2024", "31/07/2024", {"20240731"}},
      {"departure before arrival", "20240712", "20240710", "01/07/2024", "31/07/2024", {}},
      {"one-day period", "20240701", "20240705", "03/07/2024", "03/07/2024", {"20240703"}},
      {"29 February",
       "20240228",
       "20240302",
       "01/02/2024",
       "31/03/2024",
       {"20240228", "20240229", "20240301"}},
      {"a stay of decades walks only the period",
       "20000101",
       "20300101",
       "30/12/2024",
       "02/01/2025",
       {"20241230", "20241231", "20250101", "20250102"}},
      {"period texts with other separators",
       "20240630",
       "20240703",
       "01.07.2024",
       "02-07-2024",
       {"20240701", "20240702"}},
  };
  for (const Caso& c : casi) {
    NuovoAlbergo();
    Prenotazione(7, "C", S("ALFA"));
    RigaCamera(7, S("1"), S(c.arrivo), S(c.partenza));
    EXPECT_EQ(Date(Esegui({1, 0, 0}, c.dal, c.al)), c.date) << c.nome;
    const Richiesta r = Chiedi({1, 0, 0}, c.dal, c.al);
    const size_t n = c.date.size();
    if (n == 0) {
      EXPECT_TRUE(NessunSoggiorno(ui_.messaggi)) << c.nome;
      // A stay that departs before it arrives is left out and counted.
      EXPECT_EQ(ui_.messaggi[0].ends_with("\r\nSoggiorni ignorati per date non valide: 1"),
                std::string(c.nome) == "departure before arrival")
          << c.nome << ": " << ui_.messaggi[0];
      continue;
    }
    EXPECT_EQ(ui_.messaggi, std::vector<std::string>{kCompletato + "\r\nPeriodo " +
                                                     TestoPeriodo(r.dal, r.al) +
                                                     ", prenotazioni confermate: " +
                                                     std::to_string(n) +
                                                     (n == 1 ? " riga" : " righe") +
                                                     " di statistiche."})
        << c.nome;
  }
}

// ---------------------------------------------------------------------------------------------
// Sorting of the charge lines.

TEST_F(AlbergoTest, ChargeLinesAreSortedIntoTheirTotals) {
  struct Linea {
    Valore importo;
    Valore descrizione;
    Valore voce;
    Valore arrangiamento;
  };
  struct Caso {
    const char* nome;
    std::vector<Linea> addebiti;
    // ro, bb, hb, fb, supl, retta, extra
    std::array<const char*, 7> totali;
  };
  const Caso casi[] = {
      {"SUPPL in capitals anywhere is a supplement",
       {{E(10), S("Letto SUPPLEMENTARE"), N(1), S("BB")}},
       {"0.00", "0.00", "0.00", "0.00", "10.00", "10.00", "0.00"}},
      {"Suppl in mixed case is sorted by its item",
       {{E(10), S("Suppl. letto"), N(1), S("BB")}},
       {"0.00", "10.00", "0.00", "0.00", "0.00", "10.00", "0.00"}},
      {"item missing from the invoice items is an extra",
       {{E(10), S("Pensione"), N(99), S("BB")}},
       {"0.00", "0.00", "0.00", "0.00", "0.00", "10.00", "10.00"}},
      {"item of another department is an extra",
       {{E(10), S("Bar"), N(2), S("BB")}},
       {"0.00", "0.00", "0.00", "0.00", "0.00", "10.00", "10.00"}},
      {"department compared case-sensitively",
       {{E(10), S("Bar"), N(5), S("BB")}},
       {"0.00", "0.00", "0.00", "0.00", "0.00", "10.00", "10.00"}},
      {"item of another hotel is not found",
       {{E(10), S("Pensione"), N(6), S("BB")}},
       {"0.00", "0.00", "0.00", "0.00", "0.00", "10.00", "10.00"}},
      {"item without department is a board item",
       {{E(10), S("Pensione"), N(3), S("HB")}},
       {"0.00", "0.00", "10.00", "0.00", "0.00", "10.00", "0.00"}},
      {"item with an empty department is an extra",
       {{E(10), S("Pensione"), N(4), S("HB")}},
       {"0.00", "0.00", "0.00", "0.00", "0.00", "10.00", "10.00"}},
      {"line without item code is an extra",
       {{E(10), S("Pensione"), kNull, S("HB")}},
       {"0.00", "0.00", "0.00", "0.00", "0.00", "10.00", "10.00"}},
      {"board code missing is room only",
       {{E(10), S("Pensione"), N(1), S("ZZ")}},
       {"10.00", "0.00", "0.00", "0.00", "0.00", "10.00", "0.00"}},
      {"Tipo S is room only",
       {{E(10), S("Pensione"), N(1), S("RO")}},
       {"10.00", "0.00", "0.00", "0.00", "0.00", "10.00", "0.00"}},
      {"Tipo C is bed and breakfast",
       {{E(10), S("Pensione"), N(1), S("BB")}},
       {"0.00", "10.00", "0.00", "0.00", "0.00", "10.00", "0.00"}},
      {"Tipo M is half board",
       {{E(10), S("Pensione"), N(1), S("HB")}},
       {"0.00", "0.00", "10.00", "0.00", "0.00", "10.00", "0.00"}},
      {"Tipo 1 is half board",
       {{E(10), S("Pensione"), N(1), S("H1")}},
       {"0.00", "0.00", "10.00", "0.00", "0.00", "10.00", "0.00"}},
      {"Tipo P is full board",
       {{E(10), S("Pensione"), N(1), S("FB")}},
       {"0.00", "0.00", "0.00", "10.00", "0.00", "10.00", "0.00"}},
      {"Tipo A is full board",
       {{E(10), S("Pensione"), N(1), S("FA")}},
       {"0.00", "0.00", "0.00", "10.00", "0.00", "10.00", "0.00"}},
      {"unlisted Tipo is only in the total rate",
       {{E(10), S("Pensione"), N(1), S("XX")}},
       {"0.00", "0.00", "0.00", "0.00", "0.00", "10.00", "0.00"}},
      {"apostrophe in a board code",
       {{E(10), S("Pensione"), N(1), S("B'B")}},
       {"0.00", "10.00", "0.00", "0.00", "0.00", "10.00", "0.00"}},
      {"several lines add up exactly",
       {{E(0.1), S("Pensione"), N(1), S("BB")},
        {E(0.2), S("Pensione"), N(1), S("BB")},
        {E(5.25), S("Bar"), N(2), kNull},
        {E(3), S("SUPPL cane"), N(2), kNull}},
       {"0.00", "0.30", "0.00", "0.00", "3.00", "8.55", "5.25"}},
      {"an empty amount empties its totals for the rest of the row",
       {{kNull, S("Pensione"), N(1), S("BB")},
        {E(10), S("Pensione"), N(1), S("BB")},
        {E(4), S("Bar"), N(2), kNull}},
       {"0.00", "-", "0.00", "0.00", "0.00", "-", "4.00"}},
      {"no charge line: every total is 0",
       {},
       {"0.00", "0.00", "0.00", "0.00", "0.00", "0.00", "0.00"}},
  };
  // One booking per case, told apart by its agency; each for the night of 01/07/2024.
  int32_t n = 100;
  for (const Caso& c : casi) {
    Prenotazione(n, "C", S(c.nome));
    RigaCamera(n, S("1"), S("20240701"), S("20240702"));
    for (const auto& a : c.addebiti) {
      Addebito(N(n), S("*1"), "20240701", "20240702", a.importo, a.descrizione, a.voce,
               a.arrangiamento);
    }
    // Lines that must never be counted for this row: another day, another room line, a guest's.
    Addebito(N(n), S("*1"), "20240702", "20240703", E(1000), S("Pensione"), N(1), S("BB"));
    Addebito(N(n), S("*2"), "20240701", "20240702", E(1000), S("Pensione"), N(1), S("BB"));
    Addebito(N(n), S("1"), "20240701", "20240702", E(1000), S("Pensione"), N(1), S("BB"));
    ++n;
  }
  const std::vector<Riga> righe = Esegui({1, 0, 0}, "01/07/2024", "01/07/2024");
  ASSERT_EQ(righe.size(), std::size(casi));
  std::map<std::string, Riga> per_caso;
  for (const Riga& r : righe) per_caso[r.agenzia] = r;
  for (const Caso& c : casi) {
    ASSERT_TRUE(per_caso.count(c.nome)) << c.nome;
    const Riga& r = per_caso[c.nome];
    const std::array<std::string, 7> trovati = {r.ro, r.bb, r.hb, r.fb, r.supl, r.retta, r.extra};
    for (size_t i = 0; i < 7; ++i) {
      EXPECT_EQ(trovati[i], c.totali[i]) << c.nome << ", total " << i;
    }
  }
}

TEST_F(AlbergoTest, AChargeLineCountsWholeOnEveryDayItCovers) {
  Prenotazione(1, "C", S("ALFA"));
  RigaCamera(1, S("1"), S("20240630"), S("20240706"));
  Addebito(N(1), S("*1"), "20240701", "20240704", E(100), S("Pensione"), N(1), S("BB"));
  Addebito(N(1), S("*1"), "20240601", "20240801", E(1), S("Tassa"), N(2), kNull);
  const std::vector<Riga> righe = Esegui({1, 0, 0}, "01/07/2024", "31/07/2024");
  ASSERT_EQ(Date(righe),
            (std::vector<std::string>{"20240701", "20240702", "20240703", "20240704", "20240705"}));
  const char* const bb[] = {"100.00", "100.00", "100.00", "0.00", "0.00"};
  for (size_t i = 0; i < righe.size(); ++i) {
    EXPECT_EQ(righe[i].bb, bb[i]) << righe[i].data;
    EXPECT_EQ(righe[i].extra, "1.00") << righe[i].data;
  }
}

// ---------------------------------------------------------------------------------------------
// Bookings pass.

TEST_F(AlbergoTest, BookingTypesFollowTheCheckBoxes) {
  Prenotazione(1, "C", S("TIPO C"));
  Prenotazione(2, "D", S("TIPO D"));
  Prenotazione(3, "O", S("TIPO O"));
  Prenotazione(4, "X", S("TIPO X"));
  Prenotazione(5, "c", S("TIPO c"));
  for (int32_t n = 1; n <= 5; ++n) RigaCamera(n, S("1"), S("20240701"), S("20240702"));
  struct Caso {
    std::array<int, 3> chk;
    std::vector<std::string> agenzie;
  };
  const Caso casi[] = {
      {{1, 0, 0}, {"TIPO C", "TIPO D"}},
      {{0, 1, 0}, {"TIPO O"}},
      {{1, 1, 0}, {"TIPO C", "TIPO D", "TIPO O"}},
      {{0, 0, 1}, {}},  // only guests: no booking is read
  };
  for (const Caso& c : casi) {
    std::vector<std::string> agenzie;
    for (const Riga& r : Esegui(c.chk, "01/07/2024", "31/07/2024")) agenzie.push_back(r.agenzia);
    std::sort(agenzie.begin(), agenzie.end());
    EXPECT_EQ(agenzie, c.agenzie) << c.chk[0] << c.chk[1] << c.chk[2];
    EXPECT_TRUE(c.agenzie.empty() ? NessunSoggiorno(ui_.messaggi) : Completato(ui_.messaggi));
  }
}

TEST_F(AlbergoTest, RoomLinesGiveTheirOwnFieldsAndChargeLines) {
  // Booking 1: two room lines, each with its own charge lines; a guest-style line is not read.
  Prenotazione(1, "C", S("ALFA"));
  RigaCamera(1, S("1"), S("20240701"), S("20240702"), "DBL", 2, 4);
  RigaCamera(1, S("2"), S("20240701"), S("20240702"), "SGL", 1, 1);
  Addebito(N(1), S("*1"), "20240701", "20240702", E(50), S("Pensione"), N(1), S("BB"));
  Addebito(N(1), S("*2"), "20240701", "20240702", E(30), S("Pensione"), N(1), S("BB"));
  Addebito(N(1), S("1"), "20240701", "20240702", E(900), S("Pensione"), N(1), S("BB"));
  // Booking 2, without agency: a room line of a non-bedroom type and one without guests give
  // nothing, a room type of another hotel neither; the third line counts.
  Prenotazione(2, "D", kNull);
  RigaCamera(2, S("1"), S("20240701"), S("20240702"), "SALA", 1, 2);
  RigaCamera(2, S("2"), S("20240701"), S("20240702"), "DBL", 1, 0);
  RigaCamera(2, S("4"), S("20240701"), S("20240702"), "SUITE", 1, 2);
  RigaCamera(2, S("3"), S("20240701"), S("20240702"), "DBL", 1, 2);
  // Booking 3: two room lines with the same number both receive its charge lines.
  Prenotazione(3, "C", S("GAMMA"));
  RigaCamera(3, S("5"), S("20240701"), S("20240702"));
  RigaCamera(3, S("5"), S("20240701"), S("20240702"));
  Addebito(N(3), S("*5"), "20240701", "20240702", E(20), S("Pensione"), N(1), S("BB"));
  // Booking 4 has room lines but no header: skipped, without rows or status text.
  RigaCamera(4, S("1"), S("20240701"), S("20240702"));
  // Booking 5: apostrophes in the room line number and in the agency.
  Prenotazione(5, "C", S("L'AGENZIA"));
  RigaCamera(5, S("1'A"), S("20240701"), S("20240702"));
  Addebito(N(5), S("*1'A"), "20240701", "20240702", E(70), S("Pensione"), N(1), S("BB"));
  Addebito(N(5), S("*1"), "20240701", "20240702", E(700), S("Pensione"), N(1), S("BB"));

  EXPECT_EQ(Riassunto(Esegui({1, 0, 0}, "01/07/2024", "31/07/2024")),
            (std::vector<std::string>{
                "20240701|DBL|-|1|2|0.00", "20240701|DBL|ALFA|2|4|50.00",
                "20240701|DBL|GAMMA|1|2|20.00", "20240701|DBL|GAMMA|1|2|20.00",
                "20240701|DBL|L'AGENZIA|1|2|70.00", "20240701|SGL|ALFA|1|1|30.00"}));
  for (const std::string& stato : ui_.stati) {
    EXPECT_NE(stato, "Lettura prenotazione n. 4") << "a booking without header shows nothing";
  }
}

// ---------------------------------------------------------------------------------------------
// In-house guests pass.

TEST_F(AlbergoTest, GuestCardsGiveOneRowPerGuestAndNight) {
  Schede({
      // Two guests in one room: the room is counted on the first occupant's card only.
      {N(1), "PRIMO", "101", "20240630", "20240702", "", "N", N(1), N(0), N(0)},
      {N(2), "SECONDO", "101", "20240630", "20240702", "", "N", N(2), N(0), N(0)},
      // Departed early: nights up to the day before the planned departure.
      {N(3), "PARTITO", "102", "20240701", "20240710", "20240705", "S", N(1), N(0), N(0)},
      // Departed, real departure in the period but planned one before it: read, no rows.
      {N(4), "PRIMA", "102", "20240625", "20240630", "20240703", "S", N(1), N(0), N(0)},
      // In a room of a non-bedroom type: not read.
      {N(5), "SALA", "S1", "20240701", "20240702", "", "N", N(1), N(0), N(0)},
      // Still in the house with a planned departure before the period: not read.
      {N(6), "VECCHIO", "201", "20240620", "20240630", "", "N", N(1), N(0), N(0)},
      // No component 1 in the room: a guest but no room. Apostrophe in the room number.
      {N(7), "TERZO", "1'A", "20240701", "20240702", "", "N", N(3), N(0), kNull},
      // An empty component counts as not 1.
      {N(8), "VUOTO", "201", "20240701", "20240702", "", "N", kNull, N(0), N(0)},
  });
  Ditte({{N(1), S("D1")},
         {N(2), S("D2")},
         {N(3), S("D3")},
         {N(4), S("D4")},
         {N(7), S("D7")},
         {N(8), S("D8")}});
  // The card's own lines of its own room count; lines of another room and booking lines do not.
  Addebito(N(1), S("101"), "20240701", "20240702", E(80), S("Pensione"), N(1), S("HB"));
  Addebito(N(1), S("102"), "20240701", "20240702", E(800), S("Pensione"), N(1), S("HB"));
  Addebito(N(1), S("*101"), "20240701", "20240702", E(800), S("Pensione"), N(1), S("HB"));
  Addebito(N(7), S("1'A"), "20240701", "20240702", E(9), S("Bar"), N(2), kNull);

  std::vector<std::string> attese = {"20240701|DBL|D1|1|1|80.00", "20240701|DBL|D2|0|1|0.00",
                                     "20240701|SGL|D7|0|1|9.00", "20240701|SGL|D8|0|1|0.00"};
  for (const char* giorno : {"01", "02", "03", "04", "05", "06", "07", "08", "09"}) {
    attese.push_back(std::string("202407") + giorno + "|DBL|D3|1|1|0.00");
  }
  std::sort(attese.begin(), attese.end());
  EXPECT_EQ(Riassunto(Esegui({0, 0, 1}, "01/07/2024", "31/07/2024")), attese);
  // Cards come by arrival, room and number, so card 8 is the last one read.
  EXPECT_EQ(ui_.stati.back(), "Lettura scheda cliente n. 8 VUOTO");
}

TEST_F(AlbergoTest, TheAgencyOfAGuestCard) {
  struct Caso {
    const char* nome;
    Valore progressivo, famiglia, gruppo;
    const char* agenzia;  // "-": no value
  };
  const Caso casi[] = {
      {"own company row", N(10), N(57), N(60), "PROPRIA"},
      {"head of family's row", N(11), N(57), N(60), "FAMIGLIA"},
      {"head of group's row when the family head has none", N(12), N(58), N(60), "GRUPPO"},
      {"no row for either head", N(13), N(58), N(61), " "},
      {"no head of family: group not consulted", N(14), N(0), N(60), "-"},
      {"empty head of family", N(15), kNull, N(60), "-"},
      {"empty head of group", N(16), N(58), kNull, "-"},
      {"negative head of family", N(17), N(-57), N(60), "-"},
      {"card without a number: no row of its own", kNull, N(57), N(0), "FAMIGLIA"},
  };
  // One night per case, each on a day of its own.
  std::vector<Scheda> schede;
  std::deque<std::string> date;
  int giorno = 1;
  for (const Caso& c : casi) {
    char testo[16];
    std::snprintf(testo, sizeof testo, "202407%02d", giorno);
    const char* arrivo = date.emplace_back(testo).c_str();
    std::snprintf(testo, sizeof testo, "202407%02d", giorno + 1);
    const char* partenza = date.emplace_back(testo).c_str();
    schede.push_back(
        {c.progressivo, c.nome, "101", arrivo, partenza, "", "N", N(1), c.famiglia, c.gruppo});
    ++giorno;
  }
  Schede(schede);
  Ditte({{N(10), S("PROPRIA")}, {N(57), S("FAMIGLIA")}, {N(60), S("GRUPPO")}});
  // A line with an empty customer code belongs to no card.
  Addebito(kNull, S("101"), "20240701", "20240801", E(5), S("Bar"), N(2), kNull);

  const std::vector<Riga> righe = Esegui({0, 0, 1}, "01/07/2024", "31/07/2024");
  ASSERT_EQ(righe.size(), std::size(casi));
  for (size_t i = 0; i < righe.size(); ++i) {
    EXPECT_EQ(righe[i].agenzia, casi[i].agenzia) << casi[i].nome;
    EXPECT_EQ(righe[i].retta, "0.00") << casi[i].nome;
    EXPECT_EQ(righe[i].pax, "1") << casi[i].nome;
  }
}

// ---------------------------------------------------------------------------------------------
// Guest history pass.

TEST_F(AlbergoTest, ArchivedCardsUseTheirOwnNumbering) {
  struct Caso {
    const char* nome;
    std::function<void(AlbergoTest&)> prepara;
    const char* dal;
    const char* al;
    std::vector<std::string> righe;  // as Riassunto gives them
  };
  const std::string ditte = t::kFileDittaStorico;
  const std::string schede = t::kFileSchedaStorico;
  const std::string addebiti = t::kFileArrangiamentoStorico;
  const Caso casi[] = {
      {"the head of family is looked up with the year offset",
       [&](AlbergoTest& a) {
         a.Schede(
             {{N(18000001), "", "101", "20180512", "20180513", "20180513", "S", N(2), N(57), N(0)}},
             schede);
         a.Ditte({{N(18000057), S("STORICA")}, {N(57), S("VIVA")}}, ditte);
       },
       "01/05/2018",
       "31/05/2018",
       {"20180512|DBL|STORICA|0|1|0.00"}},
      {"the offset comes from the member's own card",
       [&](AlbergoTest& a) {
         // The head arrived on 30/12/2018; the member, on 02/01/2019, gives the offset.
         a.Schede(
             {{N(19000005), "", "101", "20190102", "20190103", "20190103", "S", N(1), N(77), N(0)}},
             schede);
         a.Ditte({{N(19000077), S("GIUSTA")}, {N(18000077), S("SBAGLIATA")}}, ditte);
       },
       "02/01/2019",
       "02/01/2019",
       {"20190102|DBL|GIUSTA|1|1|0.00"}},
      {"the head of group too, and the own row without offset",
       [&](AlbergoTest& a) {
         a.Schede(
             {{N(24000001), "", "101", "20240701", "20240702", "20240702", "S", N(1), N(58), N(60)},
              {N(24000002), "", "102", "20240701", "20240702", "20240702", "S", N(1), N(0), N(0)}},
             schede);
         a.Ditte({{N(24000060), S("GRUPPO")}, {N(24000002), S("PROPRIA")}, {N(60), S("NO")}},
                 ditte);
       },
       "01/07/2024",
       "31/07/2024",
       {"20240701|DBL|GRUPPO|1|1|0.00", "20240701|DBL|PROPRIA|1|1|0.00"}},
      {"nights run to the planned departure",
       [&](AlbergoTest& a) {
         a.Schede(
             {{N(24000003), "", "101", "20240707", "20240710", "20240705", "S", N(1), N(0), N(0)}},
             schede);
       },
       "01/07/2024",
       "31/07/2024",
       {"20240707|DBL|-|1|1|0.00", "20240708|DBL|-|1|1|0.00", "20240709|DBL|-|1|1|0.00"}},
      {"planned departure before the period: read, no rows",
       [&](AlbergoTest& a) {
         a.Schede(
             {{N(24000004), "", "101", "20240625", "20240630", "20240703", "S", N(1), N(0), N(0)}},
             schede);
       },
       "01/07/2024",
       "31/07/2024",
       {}},
      {"any room type counts; a room no longer listed has a blank type",
       [&](AlbergoTest& a) {
         a.Schede(
             {{N(24000005), "", "S1", "20240701", "20240702", "20240702", "S", N(1), N(0), N(0)},
              {N(24000006), "", "999", "20240701", "20240702", "20240702", "S", N(1), N(0), N(0)}},
             schede);
       },
       "01/07/2024",
       "31/07/2024",
       {"20240701| |-|1|1|0.00", "20240701|SALA|-|1|1|0.00"}},
      {"archived charge lines of the card and its room",
       [&](AlbergoTest& a) {
         a.Schede(
             {{N(24000007), "", "201", "20240701", "20240703", "20240703", "S", N(1), N(0), N(0)}},
             schede);
         a.Addebito(N(24000007), S("201"), "20240701", "20240703", E(45), S("Pensione"), N(1),
                    S("HB"), addebiti);
         a.Addebito(N(24000007), S("202"), "20240701", "20240703", E(450), S("Pensione"), N(1),
                    S("HB"), addebiti);
         // The live file's lines are not the archive's.
         a.Addebito(N(24000007), S("201"), "20240701", "20240703", E(4500), S("Pensione"), N(1),
                    S("HB"));
       },
       "01/07/2024",
       "31/07/2024",
       {"20240701|SGL|-|1|1|45.00", "20240702|SGL|-|1|1|45.00"}},
      {"a card that left by the first day is not read",
       [&](AlbergoTest& a) {
         a.Schede(
             {{N(24000008), "", "101", "20240620", "20240705", "20240701", "S", N(1), N(0), N(0)}},
             schede);
       },
       "01/07/2024",
       "31/07/2024",
       {}},
  };
  for (const Caso& c : casi) {
    NuovoAlbergo();
    c.prepara(*this);
    EXPECT_EQ(Riassunto(Esegui({0, 0, 1}, c.dal, c.al)), c.righe) << c.nome;
  }
}

TEST_F(AlbergoTest, TheHistoryFolderComesFromDIRSH) {
  // The working folder's history holds one card, the folder named by DIRSH another.
  Schede({{N(24000001), "", "101", "20240701", "20240702", "20240702", "S", N(1), N(0), N(0)}},
         t::kFileSchedaStorico);
  Ditte({{N(24000001), S("QUI")}}, t::kFileDittaStorico);
  const std::string altrove = (cartella_ / "l'archivio storico").string();
  demo::CreaFileHotel(altrove);
  Schede({{N(24000002), "", "102", "20240701", "20240702", "20240702", "S", N(1), N(0), N(0)}},
         altrove + "/" + t::kFileSchedaStorico);
  Ditte({{N(24000002), S("ALTROVE")}}, altrove + "/" + t::kFileDittaStorico);
  Addebito(N(24000002), S("102"), "20240701", "20240702", E(12), S("Bar"), N(2), kNull,
           altrove + "/" + t::kFileArrangiamentoStorico);

  struct Caso {
    const char* nome;
    const char* dirsh;  // nullptr: not set
    std::string agenzia;
  };
  const std::string con_separatore = altrove + "/";
  const Caso casi[] = {
      {"not set: working folder", nullptr, "QUI"},
      {"empty: working folder", "", "QUI"},
      {"blanks only: working folder", "   ", "QUI"},
      {"a folder, with an apostrophe in its name", altrove.c_str(), "ALTROVE"},
      {"a trailing separator doubles it, harmlessly", con_separatore.c_str(), "ALTROVE"},
  };
  for (const Caso& c : casi) {
    if (c.dirsh) {
      setenv("DIRSH", c.dirsh, 1);
    } else {
      unsetenv("DIRSH");
    }
    const std::vector<Riga> righe = Esegui({0, 0, 1}, "01/07/2024", "31/07/2024");
    ASSERT_EQ(righe.size(), 1u) << c.nome;
    EXPECT_EQ(righe[0].agenzia, c.agenzia) << c.nome;
    EXPECT_EQ(righe[0].extra, c.agenzia == "ALTROVE" ? "12.00" : "0.00") << c.nome;
    EXPECT_EQ(ui_.stati.back(), std::string("Lettura scheda storico clienti n. ") +
                                    (c.agenzia == "ALTROVE" ? "24000002" : "24000001"))
        << c.nome;
  }

  // Blanks around the value stay in the path: that folder does not exist, and the run fails.
  setenv("DIRSH", (" " + altrove).c_str(), 1);
  ui_ = FintaUi();
  EXPECT_THROW(CalcolaStatistiche(ui_, Chiedi({0, 0, 1}, "01/07/2024", "31/07/2024")), Errore);
}

// ---------------------------------------------------------------------------------------------
// The run as a whole.

TEST_F(AlbergoTest, TwoRunsInARowGiveTheSameTable) {
  Prenotazione(1, "C", S("ALFA"));
  RigaCamera(1, S("1"), S("20240628"), S("20240710"), "DBL", 1, 2);
  Addebito(N(1), S("*1"), "20240628", "20240710", E(90), S("Pensione"), N(1), S("HB"));
  Schede({{N(5), "ROSSI", "101", "20240701", "20240704", "", "N", N(1), N(0), N(0)}});
  const auto prima = Riassunto(Esegui({1, 1, 1}, "01/07/2024", "31/07/2024"), false);
  const auto seconda = Riassunto(Esegui({1, 1, 1}, "01/07/2024", "31/07/2024"), false);
  EXPECT_EQ(prima.size(), 12u);
  EXPECT_EQ(prima, seconda);
  for (const auto& voce : fs::directory_iterator(cartella_)) {
    EXPECT_EQ(voce.path().filename().string().find("Vendrix.mdb.nuovo"), std::string::npos);
  }
}

TEST_F(AlbergoTest, AFailedRunLeavesThePreviousFileByteForByte) {
  struct Caso {
    const char* nome;
    std::function<void()> guasta;
  };
  const Caso casi[] = {
      {"a history file missing, after the bookings and in-house rows",
       [&] { fs::remove(P(t::kFileDittaStorico)); }},
      {"a source file that is not a database",
       [&] { ScriviFile(P(t::kFileTipiCamere), "questo non e' un database"); }},
      {"the invoice items missing", [&] { fs::remove(P(t::kFileVociFattura)); }},
      {"the room lines' table missing",
       [&] {
         fs::remove(P(t::kFileCamerePrenotazione));
         fs::copy_file(P(t::kFileVociFattura), P(t::kFileCamerePrenotazione));
       }},
  };
  for (const Caso& c : casi) {
    NuovoAlbergo();
    Prenotazione(1, "C", S("ALFA"));
    RigaCamera(1, S("1"), S("20240701"), S("20240703"));
    Schede({{N(5), "ROSSI", "101", "20240701", "20240704", "", "N", N(1), N(0), N(0)}});
    ASSERT_EQ(Esegui({1, 0, 1}, "01/07/2024", "31/07/2024").size(), 5u) << c.nome;
    const std::string prima = LeggiFile(P(t::kFileVendrix));

    // New data that the failed run would have written.
    Prenotazione(2, "C", S("BETA"));
    RigaCamera(2, S("1"), S("20240701"), S("20240731"));
    c.guasta();
    FintaUi ui;
    EXPECT_THROW(CalcolaStatistiche(ui, Chiedi({1, 0, 1}, "01/07/2024", "31/07/2024")), Errore)
        << c.nome;
    EXPECT_EQ(LeggiFile(P(t::kFileVendrix)), prima) << c.nome;
    EXPECT_TRUE(ui.messaggi.empty()) << c.nome;
    for (const auto& voce : fs::directory_iterator(cartella_)) {
      EXPECT_EQ(voce.path().filename().string().find("Vendrix.mdb.nuovo"), std::string::npos)
          << c.nome << ": " << voce.path();
    }
  }
}

// The guest passes work on a thread of their own while the bookings pass runs; the table must
// still hold the bookings rows first, then the in-house rows, then the history rows, each pass in
// its own order, as when the passes run one after the other.
TEST_F(AlbergoTest, RowsComeInTheOrderOfThePasses) {
  Prenotazione(1, "C", S("PRENOTAZIONE"));
  RigaCamera(1, S("1"), S("20200101"), S("20211001"));  // 639 nights
  Prenotazione(2, "C", S("PRENOTAZIONE"));
  RigaCamera(2, S("2"), S("20210101"), S("20210201"));
  Schede({{N(5), "PRIMO", "101", "20200301", "20211130", "", "N", N(1), N(0), N(0)},
          {N(6), "SECONDO", "102", "20200101", "20200301", "", "N", N(1), N(0), N(0)}});
  Ditte({{N(5), S("CASA")}, {N(6), S("CASA")}});
  Addebito(N(5), S("101"), "20200301", "20211130", E(10), S("Pensione"), N(1), S("HB"));
  Schede({{N(21000007), "", "201", "20210601", "20211231", "20211231", "S", N(1), N(0), N(0)}},
         t::kFileSchedaStorico);
  Ditte({{N(21000007), S("STORICO")}}, t::kFileDittaStorico);

  const std::vector<Riga> righe = Esegui({1, 0, 1}, "01/01/2020", "31/12/2021");
  std::vector<std::string> tratti;  // the agency of each run of equal agencies, in table order
  std::map<std::string, size_t> conta;
  for (const Riga& r : righe) {
    if (tratti.empty() || tratti.back() != r.agenzia) tratti.push_back(r.agenzia);
    ++conta[r.agenzia];
  }
  EXPECT_EQ(tratti, (std::vector<std::string>{"PRENOTAZIONE", "CASA", "STORICO"}));
  EXPECT_EQ(conta["PRENOTAZIONE"], 639u + 31u);
  EXPECT_EQ(conta["CASA"], 639u + 60u);
  EXPECT_EQ(conta["STORICO"], 213u);
  // Within a pass, the stays in the pass's order and the days in order.
  std::vector<std::string> casa;
  for (const Riga& r : righe) {
    if (r.agenzia == "CASA") casa.push_back(r.data);
  }
  EXPECT_EQ(casa.front(), "20200101") << "card 6 arrives first";
  EXPECT_EQ(casa[59], "20200229");
  EXPECT_EQ(casa[60], "20200301") << "then card 5";
  EXPECT_TRUE(std::is_sorted(casa.begin() + 60, casa.end()));
  EXPECT_EQ(std::count_if(righe.begin(), righe.end(),
                          [](const Riga& r) { return r.agenzia == "CASA" && r.retta == "10.00"; }),
            639);
  EXPECT_EQ(ui_.stati.back(), "Lettura scheda storico clienti n. 21000007");
  EXPECT_TRUE(Completato(ui_.messaggi));
}

// An error met by a guest pass stops the run as if the pass ran on the run's own thread: the same
// error, the status line on the stay at fault, the previous statistics untouched. An error of
// the bookings pass stops the guest passes too.
TEST_F(AlbergoTest, AnErrorStopsTheRunWhereThePassesMeetIt) {
  struct Caso {
    const char* nome;
    std::function<void(AlbergoTest&)> guasta;
    const char* errore;
    std::string ultimo_stato;
  };
  const Caso casi[] = {
      {"an amount that is not a number, on the second card",
       [](AlbergoTest& a) {
         a.Addebito(N(6), S("102"), "20240702", "20240703", S("dieci"), S("Bar"), N(2), kNull);
       },
       "Importo non valido nel file 'Arrangiamento.mdb', tabella 'Arrangiamento', scheda n. 6: "
       "Tipo non corrispondente: 'dieci' non è un numero",
       "Lettura scheda cliente n. 6 SECONDO"},
      {"an amount beyond Currency, on the third card",
       [](AlbergoTest& a) {
         a.Addebito(N(7), S("201"), "20240702", "20240703", Valore(1e300), S("Bar"), N(2), kNull);
       },
       "Importo non valido nel file 'Arrangiamento.mdb', tabella 'Arrangiamento', scheda n. 7: "
       "Overflow",
       "Lettura scheda cliente n. 7 TERZO"},
      {"a day's sum beyond Currency, each amount within it: found before the report",
       [](AlbergoTest& a) {
         for (int scheda : {5, 6}) {
           a.Addebito(N(scheda), S(scheda == 5 ? "101" : "102"), "20240702", "20240703",
                      Valore(5e14), S("Bar"), N(2), kNull);
         }
       },
       "La somma di \"Totale Retta\" del giorno 02/07/2024 è troppo grande per i fogli Excel",
       "Lettura scheda cliente n. 7 TERZO"},
      {"a history file missing, after the in-house cards",
       [](AlbergoTest& a) { fs::remove(a.P(t::kFileArrangiamentoStorico)); },
       "ArrangiamentoStoricoClienti.mdb", "Lettura scheda cliente n. 7 TERZO"},
      {"an amount that is not a number in the bookings pass",
       [](AlbergoTest& a) {
         a.Addebito(N(1), S("*1"), "20240701", "20240702", S("cento"), S("Pensione"), N(1),
                    S("HB"));
       },
       "Importo non valido nel file 'Arrangiamento.mdb', tabella 'Arrangiamento', prenotazione "
       "n. 1: Tipo non corrispondente: 'cento' non è un numero",
       "Lettura prenotazione n. 1"},
  };
  for (const Caso& c : casi) {
    NuovoAlbergo();
    Prenotazione(1, "C", S("ALFA"));
    RigaCamera(1, S("1"), S("20240701"), S("20240703"));
    Prenotazione(2, "C", S("BETA"));
    RigaCamera(2, S("1"), S("20240701"), S("20240703"));
    Schede({{N(5), "PRIMO", "101", "20240701", "20240704", "", "N", N(1), N(0), N(0)},
            {N(6), "SECONDO", "102", "20240701", "20240704", "", "N", N(1), N(0), N(0)},
            {N(7), "TERZO", "201", "20240701", "20240704", "", "N", N(1), N(0), N(0)}});
    ASSERT_EQ(Esegui({1, 0, 1}, "01/07/2024", "31/07/2024").size(), 13u) << c.nome;
    const std::string prima = LeggiFile(P(t::kFileVendrix));
    c.guasta(*this);
    FintaUi ui;
    std::string messaggio;
    try {
      CalcolaStatistiche(ui, Chiedi({1, 0, 1}, "01/07/2024", "31/07/2024"));
    } catch (const Errore& e) {
      messaggio = e.what();
    }
    EXPECT_NE(messaggio.find(c.errore), std::string::npos) << c.nome << ": " << messaggio;
    ASSERT_FALSE(ui.stati.empty()) << c.nome;
    EXPECT_EQ(ui.stati.back(), c.ultimo_stato) << c.nome;
    EXPECT_EQ(LeggiFile(P(t::kFileVendrix)), prima) << c.nome;
    EXPECT_TRUE(ui.messaggi.empty()) << c.nome;
  }
}

TEST_F(AlbergoTest, AReversedOrTooLongPeriodOrNoKindOfStayIsRefusedAndTouchesNothing) {
  Prenotazione(1, "C", S("ALFA"));
  RigaCamera(1, S("1"), S("20240701"), S("20240703"));
  Esegui({1, 0, 0}, "01/07/2024", "31/07/2024");
  fs::remove(P(kFileBloccoAlbergo));
  const std::string prima = LeggiFile(P(t::kFileVendrix));
  const auto elenco = [&] {
    std::vector<std::string> nomi;
    for (const auto& voce : fs::directory_iterator(cartella_)) {
      nomi.push_back(voce.path().filename().string());
    }
    std::sort(nomi.begin(), nomi.end());
    return nomi;
  };
  const std::vector<std::string> file_prima = elenco();
  struct Caso {
    std::array<int, 3> chk;
    const char* dal;
    const char* al;
    const char* messaggio;
  };
  const Caso casi[] = {
      {{1, 0, 0},
       "05/07/2024",
       "01/07/2024",
       "La data iniziale 05/07/2024 viene dopo la data finale 01/07/2024: correggere il periodo."},
      {{0, 0, 0}, "01/07/2024", "31/07/2024", "Selezionare almeno un tipo di soggiorno"},
      // One day more than a hundred years; a day after the last one a period may have.
      {{1, 0, 1},
       "01/01/1900",
       "01/01/2000",
       "Periodo troppo lungo: dal 01/01/1900 al 01/01/2000 sono più di 100 anni. Scegliere un "
       "periodo di al massimo 100 anni."},
      {{1, 0, 0},
       "01/07/2099",
       "01/01/2100",
       "La data 01/01/2100 è fuori dalle date ammesse: un periodo va dal 01/01/1900 al "
       "31/12/2099. Correggere il periodo."},
  };
  for (const Caso& c : casi) {
    FintaUi ui;
    std::string messaggio;
    try {
      CalcolaStatistiche(ui, Chiedi(c.chk, c.dal, c.al));
    } catch (const Errore& e) {
      messaggio = e.what();
    }
    EXPECT_EQ(messaggio, c.messaggio);
    EXPECT_EQ(LeggiFile(P(t::kFileVendrix)), prima) << c.messaggio;
    EXPECT_EQ(elenco(), file_prima) << c.messaggio;
    EXPECT_TRUE(ui.messaggi.empty());
  }
}

TEST_F(AlbergoTest, TheStoreRecordsThePeriodAndTheKindsOfStay) {
  const std::pair<std::array<int, 3>, const char*> casi[] = {{{1, 0, 0}, "31/07/2024"},
                                                              {{0, 1, 1}, "01/07/2024"}};
  for (const auto& [chk, al] : casi) {
    Esegui(chk, "01/07/2024", al);
    DBEngine motore;
    const std::optional<PeriodoStatistiche> periodo = LeggiPeriodo(motore, P(t::kFileVendrix));
    ASSERT_TRUE(periodo);
    EXPECT_EQ(ChiaveData(periodo->dal), "20240701");
    EXPECT_EQ(TestoData(periodo->al), al);
    EXPECT_EQ((std::array<int, 3>{periodo->confermate, periodo->opzionate, periodo->clienti}), chk);
    const std::string& ora = periodo->creato_il;  // "YYYY-MM-DD HH:MM:SS"
    EXPECT_TRUE(ora.size() == 19 && ora[4] == '-' && ora[10] == ' ' && ora[16] == ':') << ora;
    EXPECT_EQ(periodo->versione, kVersione);
  }
  // The statistics table keeps its own 13 fields only.
  DBEngine motore;
  auto db = motore.OpenDatabase(P(t::kFileVendrix));
  EXPECT_EQ(db->OpenRecordset(t::kVendrix)->NumeroCampi(), 13);
}

TEST_F(AlbergoTest, LeftoverTemporaryFilesAreRemovedAndNotMixedIn) {
  // What killed runs could leave: half-written statistics files, of the fixed name of older
  // versions and of a unique name, with the database library's files beside them.
  Prenotazione(1, "C", S("ALFA"));
  RigaCamera(1, S("1"), S("20240701"), S("20240702"));
  Esegui({1, 0, 0}, "01/07/2024", "31/07/2024");
  const char* const avanzi[] = {"Vendrix.mdb.nuovo", "Vendrix.mdb.nuovo-journal",
                                "Vendrix.mdb.nuovo.Ab3dEf", "Vendrix.mdb.nuovo.Ab3dEf-wal",
                                "Vendrix.mdb.nuovo.Ab3dEf-shm"};
  for (const char* avanzo : avanzi) fs::copy_file(P(t::kFileVendrix), P(avanzo));
  ScriviFile(P("Vendrix.mdb.vecchio"), "dell'utente");
  EXPECT_EQ(Esegui({1, 0, 0}, "01/07/2024", "31/07/2024").size(), 1u);
  for (const char* avanzo : avanzi) EXPECT_FALSE(fs::exists(P(avanzo))) << avanzo;
  EXPECT_TRUE(fs::exists(P("Vendrix.mdb.vecchio")));
}

TEST_F(AlbergoTest, StaysWithoutRealDatesAreSkippedAndCounted) {
  Prenotazione(1, "C", S("BUONA"));
  Prenotazione(2, "C", S("CATTIVA"));
  RigaCamera(1, S("1"), S("20240701"), S("20240703"));
  RigaCamera(2, S("2"), S("20240231"), S("20240705"));  // no such day
  RigaCamera(2, S("3"), S("2024071"), S("20240705"));   // seven digits
  RigaCamera(2, S("4"), S("20240702"), S("20240799"));  // no such day
  RigaCamera(2, S("5"), S("20240705"), S("20240702"));  // arrival after departure
  Schede({{N(5), "ROSSI", "101", "20240631", "20240704", "", "N", N(1), N(0), N(0)},
          {N(6), "VERDI", "102", "20240701", "20240702", "", "N", N(1), N(0), N(0)}});
  Ditte({{N(6), S("BUONA")}, {N(5), S("CATTIVA")}});
  const std::vector<Riga> righe = Esegui({1, 0, 1}, "01/07/2024", "31/07/2024");
  EXPECT_EQ(Riassunto(righe),
            (std::vector<std::string>{"20240701|DBL|BUONA|1|1|0.00", "20240701|DBL|BUONA|1|2|0.00",
                                      "20240702|DBL|BUONA|1|2|0.00"}));
  ASSERT_TRUE(Completato(ui_.messaggi));
  EXPECT_TRUE(ui_.messaggi[0].ends_with(
      "3 righe di statistiche.\r\nSoggiorni ignorati per date non valide: 5"))
      << ui_.messaggi[0];
}

// ---------------------------------------------------------------------------------------------
// The agency clean-up.

TEST_F(AlbergoTest, TheFilterFileBlanksMatchingAgencies) {
  const char* const agenzie[] = {"ALFA VIAGGI SRL", "Viaggi Beta", "viaggi gamma",
                                 "Alfa Tour",       "BETA",        "Città Tour"};
  struct Caso {
    const char* nome;
    std::optional<std::string> file;  // nullopt: no file
    const char* pulite;  // per agency above: 'x' blanked by the clean-up, '.' kept
  };
  const Caso casi[] = {
      {"texts anywhere in the name, case-sensitive", "ALFA\r\nViaggi\r\n", "xx...."},
      {"no file", std::nullopt, "......"},
      {"an empty first line turns the clean-up off", "\r\nBETA\r\n", "......"},
      {"an empty file", "", "......"},
      {"an empty line later is skipped, not a match for all", "ALFA\r\n\r\nBETA\r\n\r\n",
       "x...x."},
      {"lines ended by CR alone, last one without end", "viaggi\rBETA", "..x.x."},
      {"lines ended by LF alone", "viaggi\nBETA\n", "..x.x."},
      {"a whole name, and a text longer than any name", "BETA\r\nALFA VIAGGI SRL E SOCI\r\n",
       "....x."},
      {"blanks are part of a text", " Tour\r\n", "...x.x"},
      {"a file in the Windows code page", "Citt\xE0\r\n", ".....x"},
      {"a file in UTF-8", "Citt\xC3\xA0\r\n", ".....x"},
      {"a file saved by Notepad as \"Unicode\" (UTF-16 with its mark)",
       std::string("\xFF\xFE" "C\0i\0t\0t\0\xE0\0\r\0\n\0" "B\0E\0T\0A\0", 24), "....xx"},
  };
  for (const Caso& c : casi) {
    NuovoAlbergo();
    // Booking n has n guests, so that each row tells whose agency it holds.
    int32_t n = 1;
    for (const char* agenzia : agenzie) {
      Prenotazione(n, "C", S(agenzia));
      RigaCamera(n, S("1"), S("20240701"), S("20240702"), "DBL", 1, n);
      ++n;
    }
    Prenotazione(n, "C", kNull);  // an empty agency matches nothing
    RigaCamera(n, S("1"), S("20240701"), S("20240702"), "DBL", 1, n);
    if (c.file) ScriviFile(P(t::kFileFiltro), *c.file);
    const std::vector<Riga> righe = Esegui({1, 0, 0}, "01/07/2024", "01/07/2024");
    ASSERT_EQ(righe.size(), std::size(agenzie) + 1) << c.nome;
    std::vector<std::string> attese, dopo(righe.size());
    for (size_t i = 0; i < std::size(agenzie); ++i) {
      attese.push_back(c.pulite[i] == 'x' ? " " : agenzie[i]);
    }
    attese.push_back("-");
    for (const Riga& r : righe) dopo.at(std::stoi(r.pax) - 1) = r.agenzia;
    EXPECT_EQ(dopo, attese) << c.nome;
    EXPECT_TRUE(Completato(ui_.messaggi)) << c.nome;
  }
}

TEST_F(AlbergoTest, AStoreUsedOnceIsCleanedAsVendrixMdb) {
  // CalcolaStatisticheIn cleans agencies as it stores rows: the same texts must go as the
  // clean-up of the stored table blanks, tested as the field holds them (cut to 100 characters).
  const std::string lunga = std::string(100, 'X') + "ALFA";
  const char* const agenzie[] = {"ALFA VIAGGI SRL", "Viaggi Beta", lunga.c_str(), "BETA"};
  int32_t n = 1;
  for (const char* agenzia : agenzie) {
    Prenotazione(n, "C", S(agenzia));
    RigaCamera(n, S("1"), S("20240701"), S("20240703"), "DBL", 1, n);
    ++n;
  }
  ScriviFile(P(t::kFileFiltro), "ALFA\r\nBeta\r\n");
  const std::vector<Riga> attese = Esegui({1, 0, 0}, "01/07/2024", "02/07/2024");
  std::vector<std::string> agenzie_dopo;
  for (const Riga& r : attese) agenzie_dopo.push_back(r.agenzia);
  EXPECT_EQ(agenzie_dopo, (std::vector<std::string>{" ", " ", " ", " ", std::string(100, 'X'),
                                                    std::string(100, 'X'), "BETA", "BETA"}));

  FintaUi ui;
  CalcolaStatisticheIn(ui, Chiedi({1, 0, 0}, "01/07/2024", "02/07/2024"), P("una-volta.mdb"));
  EXPECT_EQ(LeggiStatistiche("una-volta.mdb"), attese);
}

TEST_F(AlbergoTest, TheCleanUpCountsEveryRow) {
  Prenotazione(1, "C", S("ALFA"));
  RigaCamera(1, S("1"), S("20240701"), S("20240812"));  // 42 nights
  Esegui({1, 0, 0}, "01/01/2024", "31/12/2024");
  ScriviFile(P(t::kFileFiltro), "ALFA\r\n");

  FintaUi ui;
  LineaStato linea(ui, std::chrono::milliseconds(0));
  DBEngine motore(cartella_);
  PulisciAgenzie(motore, t::kFileVendrix, linea);
  ASSERT_EQ(ui.stati.size(), 42u);
  EXPECT_EQ(ui.stati.front(), "Pulizia record n. 0 di 41");
  EXPECT_EQ(ui.stati.back(), "Pulizia record n. 41 di 41");
  for (const Riga& r : LeggiStatistiche()) EXPECT_EQ(r.agenzia, " ");
}

TEST_F(AlbergoTest, AnEmptyTableEndsTheCleanUpAtOnce) {
  ScriviFile(P(t::kFileFiltro), "ALFA\r\n");
  EXPECT_TRUE(Esegui({1, 0, 0}, "01/07/2024", "31/07/2024").empty());
  EXPECT_TRUE(ui_.stati.empty());
  EXPECT_TRUE(NessunSoggiorno(ui_.messaggi));
}

TEST_F(AlbergoTest, ARunThatFindsNoStayNamesTheKindOfStayThatWouldCountIt) {
  const std::pair<std::array<int, 3>, std::string> casi[] = {
      {{1, 1, 0}, "per i giorni passati, «Clienti in casa + storico»."},
      {{0, 0, 1}, "per i giorni futuri, «Prenotazioni confermate»."},
      {{1, 0, 1}, "controllare il periodo."},
  };
  for (const auto& [chk, consiglio] : casi) {
    EXPECT_TRUE(Esegui(chk, "01/06/2024", "30/06/2024").empty());
    EXPECT_TRUE(NessunSoggiorno(ui_.messaggi) && ui_.messaggi[0].ends_with(consiglio));
  }
}

TEST_F(AlbergoTest, CountersGoPast32767) {
  // One booking of a century, the longest period: 36524 rows, all of them cleaned.
  Prenotazione(1, "C", S("ALFA SRL"));
  RigaCamera(1, S("1"), S("19000101"), S("20000101"));
  Addebito(N(1), S("*1"), "19000101", "20000101", E(1), S("Pensione"), N(1), S("RO"));
  ScriviFile(P(t::kFileFiltro), "ALFA");
  const long giorni = (*LeggiData("01/01/2000") - *LeggiData("01/01/1900")).count();
  ASSERT_EQ(giorni, 36524);
  const std::vector<Riga> righe = Esegui({1, 0, 0}, "01/01/1900", "31/12/1999");
  ASSERT_EQ(righe.size(), static_cast<size_t>(giorni));
  EXPECT_EQ(righe.front().data, "19000101");
  EXPECT_EQ(righe.back().data, "19991231");
  EXPECT_EQ(std::count_if(righe.begin(), righe.end(),
                          [](const Riga& r) { return r.agenzia == " " && r.ro == "1.00"; }),
            giorni);
  EXPECT_EQ(ui_.stati.back(), "Pulizia record n. 36523 di 36523");
}

}  // namespace
}  // namespace vendrix
