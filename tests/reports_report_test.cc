// The "C&rea Excel" run on small statistics tables written by the tests: the three saved
// workbooks read back cell by cell.

#include "reports/report.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/demo/hotel_demo.h"
#include "comune/date.h"
#include "comune/nome_hotel.h"
#include "comune/richiesta.h"
#include "comune/versione.h"
#include "data/archivio.h"
#include "data/blocco_cartella.h"
#include "data/dbengine.h"
#include "data/tabelle.h"
#include "reports/cartella_lavoro.h"
#include "tests/support/albergo_piccolo.h"
#include "tests/support/lettore_xlsx.h"

namespace vendrix {
namespace {

namespace fs = std::filesystem;
namespace t = tabelle;
using prova::CellaLetta;
using prova::FoglioLetto;

using FinestraFinta = prova::InterfacciaRegistrata;

// A statistics row; amounts as decimal texts.
struct Statistica {
  std::string data_rif;
  Valore tipo_camera;
  Valore agenzia;
  int32_t camere;
  int32_t pax;
  const char* retta;
  const char* ro = "0";
  const char* bb = "0";
  const char* hb = "0";
  const char* fb = "0";
  const char* supl = "0";
  const char* extra = "0";
  int16_t hotel = 1;
};

struct TipoCamera {
  const char* sigla;
  const char* tipologia;
  Valore descrizione;
  Valore quantita;
};

// What a cell of a saved sheet must hold.
struct Atteso {
  enum class Tipo { kTesto, kValuta, kIntero, kPercentuale, kData, kMese, kVuota };
  Tipo tipo;
  std::string testo;
  double numero = 0;
};
Atteso Txt(const std::string& s) { return {Atteso::Tipo::kTesto, s}; }
Atteso Eur(double x) { return {Atteso::Tipo::kValuta, "", x}; }
Atteso Int(double x) { return {Atteso::Tipo::kIntero, "", x}; }
Atteso Pct(double x) { return {Atteso::Tipo::kPercentuale, "", x}; }
// A date as a spreadsheet stores a typed "DD/MM/YYYY" (a day) or "MM/YYYY" (its month's first
// day): the days since 30/12/1899, shown in that form.
Atteso Dat(const std::string& testo) {
  const bool mese = testo.size() == 7;
  const std::optional<Giorno> giorno = LeggiData(mese ? "01/" + testo : testo);
  EXPECT_TRUE(giorno) << testo;
  const auto origine = std::chrono::sys_days(std::chrono::year(1899) / 12 / 30);
  return {mese ? Atteso::Tipo::kMese : Atteso::Tipo::kData, testo,
          static_cast<double>((giorno.value_or(origine) - origine).count())};
}
Atteso Vuota() { return {Atteso::Tipo::kVuota, ""}; }

// The zero row of the daily and room-type sheets: every number in its column's format.
std::vector<Atteso> RigaZero(const Atteso& prima, int64_t libere) {
  return {prima,  Eur(0), Eur(0), Eur(0), Eur(0),      Eur(0), Eur(0), Eur(0), Pct(0),
          Eur(0), Int(0), Pct(0), Int(0), Int(libere), Eur(0), Eur(0), Int(0)};
}

// The row of the sheet whose first cell reads "Totale"; 0 when there is none.
int RigaTotale(const FoglioLetto& foglio) {
  for (int r = 1; r <= foglio.UltimaRigaConValori(); ++r) {
    if (foglio.Cella(r, 1).testo == "Totale") return r;
  }
  return 0;
}

void ControllaRiga(const FoglioLetto& foglio, int riga, const std::vector<Atteso>& attesi,
                   const std::string& formato_testo = "General") {
  for (size_t i = 0; i < attesi.size(); ++i) {
    const int colonna = static_cast<int>(i) + 1;
    SCOPED_TRACE("foglio \"" + foglio.nome + "\", riga " + std::to_string(riga) + ", colonna " +
                 std::string(1, static_cast<char>('A' + i)));
    const Atteso& a = attesi[i];
    const CellaLetta c = foglio.Cella(riga, colonna);
    switch (a.tipo) {
      case Atteso::Tipo::kTesto:
        EXPECT_EQ(c.tipo, CellaLetta::Tipo::kTesto) << c.grezzo;
        EXPECT_EQ(c.testo, a.testo);
        EXPECT_EQ(c.formato, formato_testo);
        break;
      case Atteso::Tipo::kVuota:
        EXPECT_EQ(c.tipo, CellaLetta::Tipo::kVuota) << c.grezzo;
        break;
      default: {
        EXPECT_EQ(c.tipo, CellaLetta::Tipo::kNumero) << c.testo;
        // A ratio is stored with 16 significant digits: equal to the last few bits.
        EXPECT_DOUBLE_EQ(c.numero, a.numero) << c.grezzo;
        const char* formato = a.tipo == Atteso::Tipo::kValuta        ? excel::kFormatoValuta
                              : a.tipo == Atteso::Tipo::kPercentuale ? "0.00%"
                              : a.tipo == Atteso::Tipo::kData        ? "dd/mm/yyyy"
                              : a.tipo == Atteso::Tipo::kMese        ? "mm/yyyy"
                                                                     : "General";
        EXPECT_EQ(c.formato, formato);
      }
    }
  }
  EXPECT_EQ(foglio.Cella(riga, static_cast<int>(attesi.size()) + 1).tipo, CellaLetta::Tipo::kVuota)
      << "colonna in piu' alla riga " << riga;
}

std::string Contenuto(const fs::path& file) {
  std::ifstream f(file, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// The hotel of most tests: 10 rooms of bedroom types, a hall that is no bedroom, an empty type.
const std::vector<TipoCamera> kTipi = {
    {"DBL", "C", Valore("Doppia"), Valore(int16_t{6})},
    {"SGL", "C", Valore("Singola"), Valore(int16_t{4})},
    {"SALA", "S", Valore("Sala riunioni"), Valore(int16_t{50})},
    {"VUOTA", "C", Valore("Senza camere"), Valore(int16_t{0})},
};

class ReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char modello[] = "/tmp/vendrix_report_XXXXXX";
    ASSERT_NE(::mkdtemp(modello), nullptr);
    cartella_ = modello;
    demo::CreaFileHotel(cartella_.string());
  }
  void TearDown() override {
    std::error_code e;
    fs::remove_all(cartella_, e);
  }

  void ScriviTipi(const std::vector<TipoCamera>& tipi) {
    std::vector<std::vector<Valore>> righe;
    for (const TipoCamera& tipo : tipi) {
      righe.push_back({Valore(int16_t{1}), Valore(tipo.sigla), Valore(tipo.tipologia),
                       tipo.descrizione, tipo.quantita});
    }
    demo::InserisciRighe(P(t::kFileTipiCamere), t::kTipiCamere,
                         {t::kNumeroHotel, t::kSigla, t::kTipologia, t::kDescrizione, t::kQuantita},
                         righe);
  }

  // The statistics store as a calculation run leaves it.
  // The hotel of kTipi with the statistics `righe`.
  void ScriviAlbergo(const std::vector<Statistica>& righe) {
    ScriviTipi(kTipi);
    ScriviStatistiche(righe);
  }
  void ScriviStatistiche(const std::vector<Statistica>& righe) {
    DBEngine motore(cartella_);
    CreaArchivio(motore);
    auto db = motore.OpenDatabase(t::kFileVendrix);
    auto rs = db->OpenRecordset(t::kVendrix);
    db->BeginTrans();
    for (const Statistica& s : righe) {
      rs->AddNew();
      rs->Fields(t::kNumeroHotel) = Valore(s.hotel);
      rs->Fields(t::kDataRif) = Valore(s.data_rif);
      rs->Fields(t::kTotRO) = Valore(Valuta::DaTesto(s.ro));
      rs->Fields(t::kTotBB) = Valore(Valuta::DaTesto(s.bb));
      rs->Fields(t::kTotHB) = Valore(Valuta::DaTesto(s.hb));
      rs->Fields(t::kTotFB) = Valore(Valuta::DaTesto(s.fb));
      rs->Fields(t::kTotSupl) = Valore(Valuta::DaTesto(s.supl));
      rs->Fields(t::kTotRetta) = Valore(Valuta::DaTesto(s.retta));
      rs->Fields(t::kExtra) = Valore(Valuta::DaTesto(s.extra));
      rs->Fields(t::kTipoCamera) = s.tipo_camera;
      rs->Fields(t::kAgenzia) = s.agenzia;
      rs->Fields(t::kTotCamOcc) = Valore(s.camere);
      rs->Fields(t::kTotPax) = Valore(s.pax);
      rs->Update();
    }
    db->CommitTrans();
    rs->Close();
    db->Close();
  }

  // A file of the hotel folder.
  fs::path P(const std::string& file) const { return cartella_ / file; }

  // The report of the period asked, into `excel` (inside the hotel folder when relative).
  Richiesta Chiedi(const std::string& dal, const std::string& al,
                   const fs::path& excel = "Excel") const {
    const std::optional<Giorno> giorno_dal = LeggiData(dal), giorno_al = LeggiData(al);
    EXPECT_TRUE(giorno_dal && giorno_al) << dal << " - " << al;
    Richiesta r =
        NuovaRichiesta(giorno_dal.value_or(Giorno{}), giorno_al.value_or(Giorno{}), cartella_);
    r.cartella_excel = excel;
    return r;
  }

  std::vector<std::string> Esegui(const std::string& dal, const std::string& al) {
    FinestraFinta finestra;
    auto percorsi = CreaReportExcel(finestra, Chiedi(dal, al));
    EXPECT_TRUE(finestra.messaggi.empty());
    return percorsi;
  }

  prova::CartellaLetta Cartella(const std::string& file) {
    return prova::LeggiXlsx((cartella_ / "Excel" / file).string());
  }
  // The first sheet of a workbook, the one each workbook has always had.
  FoglioLetto Foglio(const std::string& file) { return Cartella(file).fogli.at(0); }

  fs::path cartella_;
};

TEST_F(ReportTest, TreCartelleConFogliIntestazioniEFormatiAncheSenzaStatistiche) {
  ScriviAlbergo({});
  std::vector<std::string> percorsi = Esegui("01/07/2024", "03/07/2024");
  ASSERT_EQ(percorsi.size(), 3u);
  const char* nomi[] = {"REPORT_DATA.xlsx", "REPORT_TIPOCAMERA.xlsx", "REPORT_AGENZIA.xlsx"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(fs::path(percorsi[i]), P("Excel") / nomi[i]);
    EXPECT_TRUE(prova::EFileZip(percorsi[i])) << percorsi[i];
  }
  std::vector<std::string> presenti;
  for (const auto& e : fs::directory_iterator(P("Excel"))) presenti.push_back(e.path().filename());
  std::sort(presenti.begin(), presenti.end());
  // Beside the workbooks, only the lock file of their folder.
  EXPECT_EQ(presenti, (std::vector<std::string>{".REPORT.lock", "REPORT_AGENZIA.xlsx",
                                                "REPORT_DATA.xlsx", "REPORT_TIPOCAMERA.xlsx"}));

  struct Atteso {
    const char* file;
    const char* foglio;
    std::vector<std::string> intestazioni;
    std::vector<std::pair<int, double>> larghezze;  // (column, least width)
  };
  const std::vector<std::string> comuni = {"RO",
                                           "BB",
                                           "HB",
                                           "FB",
                                           "Supplementi",
                                           "Totale Retta",
                                           "ADR",
                                           "% occupazione",
                                           "RevPar",
                                           "Camere occupate",
                                           "% occupazione agenzia",
                                           "Camere occupate agenzia",
                                           "Camere libere",
                                           "Entrata media per ospite",
                                           "Extra",
                                           "Tot Pax"};
  std::vector<std::string> data = {"Data"}, tipo = {"Tipo camera"};
  data.insert(data.end(), comuni.begin(), comuni.end());
  tipo.insert(tipo.end(), comuni.begin(), comuni.end());
  // The agency sheet: the agency first, and no columns of the rooms sold through an agency.
  std::vector<std::string> agenzia = {"Agenzia", "Tipo camera"};
  for (const std::string& c : comuni) {
    if (c.find("agenzia") == std::string::npos) agenzia.push_back(c);
  }
  std::vector<std::pair<int, double>> larghezze_data, larghezze_tipo = {{1, 50}},
                                                      larghezze_agenzia = {{1, 50}, {2, 50}};
  for (int c = 1; c <= 17; ++c) larghezze_data.push_back({c, 10});
  for (int c = 2; c <= 17; ++c) larghezze_tipo.push_back({c, 10});
  for (int c = 3; c <= 16; ++c) larghezze_agenzia.push_back({c, 10});
  const Atteso attesi[] = {
      {"REPORT_DATA.xlsx", "Data", data, larghezze_data},
      {"REPORT_TIPOCAMERA.xlsx", "Tipo camera", tipo, larghezze_tipo},
      {"REPORT_AGENZIA.xlsx", "Agenzia", agenzia, larghezze_agenzia},
  };
  for (const Atteso& a : attesi) {
    SCOPED_TRACE(a.file);
    FoglioLetto f = Foglio(a.file);
    EXPECT_EQ(f.nome, a.foglio);
    for (size_t c = 0; c < a.intestazioni.size(); ++c) {
      EXPECT_EQ(f.Cella(1, static_cast<int>(c) + 1).testo, a.intestazioni[c]) << c;
    }
    EXPECT_EQ(f.Cella(1, static_cast<int>(a.intestazioni.size()) + 1).tipo,
              CellaLetta::Tipo::kVuota);
    EXPECT_EQ(f.altezze, (std::map<int, double>{{1, 45}}));
    // The widths written are the least a column gets: fitting only widens.
    for (const auto& [colonna, larghezza] : a.larghezze) {
      EXPECT_GE(f.Larghezza(colonna).value_or(0), larghezza) << colonna;
    }
  }

  // Daily sheet: a zero row for each day, the day a date.
  FoglioLetto f = Foglio("REPORT_DATA.xlsx");
  ControllaRiga(f, 2, RigaZero(Dat("01/07/2024"), 10));
  ControllaRiga(f, 3, RigaZero(Dat("02/07/2024"), 10));
  ControllaRiga(f, 4, RigaZero(Dat("03/07/2024"), 10));
  EXPECT_EQ(RigaTotale(f), 6);
  // Only the days are dates: the empty row under them and the headings are not.
  EXPECT_EQ(f.Cella("A5").formato, "General");
  EXPECT_EQ(f.Cella("A1").formato, "General");

  // Room-type sheet: a zero row for each bedroom type, with the room nights it offers.
  f = Foglio("REPORT_TIPOCAMERA.xlsx");
  ControllaRiga(f, 2, RigaZero(Txt("Doppia"), 18));
  ControllaRiga(f, 3, RigaZero(Txt("Singola"), 12));
  ControllaRiga(f, 4, RigaZero(Txt("Senza camere"), 0));
  EXPECT_EQ(RigaTotale(f), 6);

  EXPECT_EQ(RigaTotale(Foglio("REPORT_AGENZIA.xlsx")), 3);
}

TEST_F(ReportTest, FoglioDataSommaIGruppiDelGiornoECalcolaGliIndici) {
  ScriviAlbergo({
      // 30/12: an agency with 2 rooms (two stays) and a stay without agency with 1 room.
      {"20231230", Valore("DBL"), Valore("Rossi Viaggi"), 1, 2, "30", "30"},
      {"20231230", Valore("DBL"), Valore("Rossi Viaggi"), 1, 2, "30", "0", "30", "0", "0", "0",
       "5.5"},
      {"20231230", Valore("SGL"), Valore(""), 1, 2, "40", "0", "0", "30", "0", "10", "1.25"},
      // 31/12: nothing sold. 01/01: blanked agency, missing agency, a charge without rooms.
      {"20240101", Valore("DBL"), Valore(" "), 2, 3, "100.05", "100.05"},
      {"20240101", Valore("SGL"), Valore(), 1, 1, "0"},
      {"20240101", Valore("DBL"), Valore("Bianchi"), 0, 0, "20", "0", "0", "0", "20"},
      // 02/01: two spaces sort after one: an agency.
      {"20240102", Valore("DBL"), Valore("  "), 3, 0, "99.99", "99.99"},
      // Outside the period, or of another hotel: never shown.
      {"20231229", Valore("DBL"), Valore("Rossi Viaggi"), 5, 5, "500"},
      {"20240103", Valore("DBL"), Valore("Rossi Viaggi"), 5, 5, "500"},
      {"20240102", Valore("DBL"), Valore("Rossi Viaggi"), 5, 5, "500", "0", "0", "0", "0", "0", "0",
       2},
  });
  ASSERT_EQ(Esegui("30/12/2023", "02/01/2024").size(), 3u);
  FoglioLetto f = Foglio("REPORT_DATA.xlsx");

  // G = 100, K = 3, 10 rooms: ADR 33.33, 30.00%, RevPar 0.3 x 33.33 = 9.999 -> 10.00.
  ControllaRiga(
      f, 2,
      {Dat("30/12/2023"), Eur(30), Eur(30), Eur(30), Eur(0), Eur(10), Eur(100), Eur(33.33),
       Pct(0.3), Eur(10), Int(3), Pct(0.2), Int(2), Int(7), Eur(16.67), Eur(6.75), Int(6)});
  ControllaRiga(f, 3, RigaZero(Dat("31/12/2023"), 10));
  // 100.05 + 0 + 20 over 3 rooms: 40.016.. -> 40.02; no agency rooms; 120.05 / 4 guests.
  ControllaRiga(
      f, 4,
      {Dat("01/01/2024"), Eur(100.05), Eur(0), Eur(0), Eur(20), Eur(0), Eur(120.05), Eur(40.02),
       Pct(0.3), Eur(12.01), Int(3), Pct(0), Int(0), Int(7), Eur(30.01), Eur(0), Int(4)});
  // No guests: the revenue per guest is 0, as on a day without sales.
  ControllaRiga(
      f, 5,
      {Dat("02/01/2024"), Eur(99.99), Eur(0), Eur(0), Eur(0), Eur(0), Eur(99.99), Eur(33.33),
       Pct(0.3), Eur(10), Int(3), Pct(0.3), Int(3), Int(7), Eur(0), Eur(0), Int(0)});
  EXPECT_EQ(RigaTotale(f), 7);
}

TEST_F(ReportTest, DivisioniPerZeroDannoIValoriDellaRigaZero) {
  // A hotel without bedrooms: no percentage, no RevPar; a day whose rows have no rooms: no ADR.
  ScriviTipi({{"SALA", "S", Valore("Sala"), Valore(int16_t{50})},
              {"VUOTA", "C", Valore("Vuota"), Valore(int16_t{0})}});
  ScriviStatistiche({
      {"20240301", Valore("VUOTA"), Valore("Rossi"), 2, 4, "100.05", "100.05"},
      {"20240302", Valore("VUOTA"), Valore("Rossi"), 0, 0, "50", "50"},
  });
  Esegui("01/03/2024", "02/03/2024");
  FoglioLetto f = Foglio("REPORT_DATA.xlsx");
  ControllaRiga(
      f, 2,
      {Dat("01/03/2024"), Eur(100.05), Eur(0), Eur(0), Eur(0), Eur(0), Eur(100.05), Eur(50.03),
       Pct(0), Eur(0), Int(2), Pct(0), Int(2), Int(-2), Eur(25.01), Eur(0), Int(4)});
  ControllaRiga(f, 3,
                {Dat("02/03/2024"), Eur(50), Eur(0), Eur(0), Eur(0), Eur(0), Eur(50), Eur(0),
                 Pct(0), Eur(0), Int(0), Pct(0), Int(0), Int(0), Eur(0), Eur(0), Int(0)});
  // The type without rooms, with sales: capacity 0 in every division.
  f = Foglio("REPORT_TIPOCAMERA.xlsx");
  ControllaRiga(f, 2,
                {Txt("Vuota"), Eur(150.05), Eur(0), Eur(0), Eur(0), Eur(0), Eur(150.05), Eur(75.03),
                 Pct(0), Eur(0), Int(2), Pct(0), Int(2), Int(-2), Eur(37.51), Eur(0), Int(4)});
  EXPECT_EQ(RigaTotale(f), 4);
  f = Foglio("REPORT_AGENZIA.xlsx");
  ControllaRiga(
      f, 2,
      {Txt("Rossi"), Txt("Vuota"), Eur(150.05), Eur(0), Eur(0), Eur(0), Eur(0), Eur(150.05),
       Eur(75.03), Pct(0), Eur(0), Int(2), Int(0), Eur(37.51), Eur(0), Int(4)});
}

TEST_F(ReportTest, UnaRigaPerOgniGiornoDelPeriodo) {
  ScriviAlbergo({{"20240229", Valore("DBL"), Valore("X"), 1, 1, "10"}});
  struct Caso {
    const char* protegge;
    const char* dal;
    const char* al;
    std::vector<std::string> giorni;
  };
  const Caso casi[] = {
      {"cambio d'anno",
       "30/12/2023",
       "02/01/2024",
       {"30/12/2023", "31/12/2023", "01/01/2024", "02/01/2024"}},
      {"29 febbraio di un anno bisestile",
       "27/02/2024",
       "01/03/2024",
       {"27/02/2024", "28/02/2024", "29/02/2024", "01/03/2024"}},
      {"febbraio di un anno comune",
       "27/02/2023",
       "01/03/2023",
       {"27/02/2023", "28/02/2023", "01/03/2023"}},
      {"un giorno solo", "29/02/2024", "29/02/2024", {"29/02/2024"}},
      {"ogni riga porta la data come GG/MM/AAAA, anche se scritta altrimenti",
       "28.02.2024",
       "01/03/2024",
       {"28/02/2024", "29/02/2024", "01/03/2024"}},
      {"spazi attorno alle date", " 28/02/2024 ", "29/02/2024 ", {"28/02/2024", "29/02/2024"}},
  };
  for (const Caso& c : casi) {
    SCOPED_TRACE(c.protegge);
    Esegui(c.dal, c.al);
    FoglioLetto f = Foglio("REPORT_DATA.xlsx");
    EXPECT_EQ(RigaTotale(f), static_cast<int>(c.giorni.size()) + 3);
    for (size_t i = 0; i < c.giorni.size(); ++i) {
      const int riga = static_cast<int>(i) + 2;
      EXPECT_EQ(f.Cella(riga, 1).numero, Dat(c.giorni[i]).numero) << riga;
      EXPECT_EQ(f.Cella(riga, 1).formato, "dd/mm/yyyy") << riga;
      // The day's sales land on the 29th, whatever the row.
      const bool venduto = c.giorni[i].substr(0, 2) == "29" && c.giorni[i].substr(3, 2) == "02";
      EXPECT_EQ(f.Cella(riga, 11).numero, venduto ? 1 : 0) << c.giorni[i];
    }
    // Room nights of the types follow the days of the period.
    FoglioLetto tipi = Foglio("REPORT_TIPOCAMERA.xlsx");
    EXPECT_EQ(tipi.Cella("N3").numero, 4.0 * static_cast<double>(c.giorni.size()));
  }
}

TEST_F(ReportTest, FoglioTipoCameraUnaRigaPerTipoNellOrdineDeiTipi) {
  ScriviTipi({
      {"SGL", "C", Valore("Singola"), Valore(int16_t{4})},
      {"DBL", "C", Valore("Suite"), Valore(int16_t{2})},
      {"SALA", "S", Valore("Sala"), Valore(int16_t{50})},
      {"TRP", "C", Valore("Suite"), Valore(int16_t{1})},
      {"QDP", "C", Valore(), Valore()},
  });
  std::vector<Statistica> righe;
  // SGL: 21 room nights over 7 days, 12 of them through an agency.
  for (int giorno = 1; giorno <= 7; ++giorno) {
    std::string data = "2024070" + std::to_string(giorno);
    righe.push_back({data, Valore("SGL"), Valore("Rossi"), 2, 3, "101", "101"});
    righe.push_back({data, Valore("SGL"), Valore(""), 1, 1, "50.5", "0", "50.5"});
  }
  righe.push_back({"20240703", Valore("SGL"), Valore("Verdi"), -2, -1, "-100", "-100"});
  // A code that is not a room type, or differs only by spaces, is on no row.
  righe.push_back({"20240701", Valore("XXX"), Valore("Rossi"), 1, 1, "70", "70"});
  righe.push_back({"20240701", Valore("DBL "), Valore("Rossi"), 1, 1, "70", "70"});
  righe.push_back({"20240701", Valore("SALA"), Valore("Rossi"), 1, 1, "70", "70"});
  ScriviStatistiche(righe);
  Esegui("01/07/2024", "07/07/2024");
  FoglioLetto f = Foglio("REPORT_TIPOCAMERA.xlsx");
  // 7 x 101 + 7 x 50.5 - 100 = 960.5 over 19 rooms: 50.55; 19 of 28: 67.86%; RevPar
  // 19/28 x 50.55 = 34.30; 14 agency rooms - 2 = 12 of 28: 42.86%; 960.5 / 27 guests = 35.57.
  ControllaRiga(
      f, 2,
      {Txt("Singola"), Eur(607), Eur(353.5), Eur(0), Eur(0), Eur(0), Eur(960.5), Eur(50.55),
       Pct(0.6786), Eur(34.3), Int(19), Pct(0.4286), Int(12), Int(9), Eur(35.57), Eur(0), Int(27)});
  ControllaRiga(f, 3, RigaZero(Txt("Suite"), 14));
  ControllaRiga(f, 4, RigaZero(Txt("Suite"), 7));
  ControllaRiga(f, 5,
                {Vuota(), Eur(0), Eur(0), Eur(0), Eur(0), Eur(0), Eur(0), Eur(0), Pct(0), Eur(0),
                 Int(0), Pct(0), Int(0), Int(0), Eur(0), Eur(0), Int(0)});
  EXPECT_EQ(RigaTotale(f), 7);
}

TEST_F(ReportTest, FoglioTipoCameraEsempioDiOccupazione) {
  // 4 rooms over 7 days: 28 room nights; 21 sold: 75.00% and 7 free.
  ScriviTipi({{"DBL", "C", Valore("Doppia"), Valore(int16_t{4})}});
  std::vector<Statistica> righe;
  for (int giorno = 1; giorno <= 7; ++giorno) {
    std::string data = "2024070" + std::to_string(giorno);
    righe.push_back({data, Valore("DBL"), Valore("Rossi"), 3, 6, "300", "300"});
  }
  ScriviStatistiche(righe);
  Esegui("01/07/2024", "07/07/2024");
  ControllaRiga(
      Foglio("REPORT_TIPOCAMERA.xlsx"), 2,
      {Txt("Doppia"), Eur(2100), Eur(0), Eur(0), Eur(0), Eur(0), Eur(2100), Eur(100), Pct(0.75),
       Eur(75), Int(21), Pct(0.75), Int(21), Int(7), Eur(50), Eur(0), Int(42)});
}

TEST_F(ReportTest, FoglioAgenziaUnaRigaPerAgenziaETipo) {
  ScriviAlbergo({
      {"20240701", Valore("SGL"), Valore("Rossi"), 1, 2, "80", "0", "80", "0", "0", "0", "3"},
      {"20240702", Valore("SGL"), Valore("Rossi"), 1, 1, "80.01", "0", "80.01"},
      {"20240701", Valore("DBL"), Valore("Rossi"), 2, 3, "150", "0", "0", "150"},
      {"20240701", Valore("DBL  "), Valore("Bianchi"), 1, 2, "90", "0", "0", "0", "90"},
      {"20240701", Valore("XXX"), Valore("Bianchi"), 1, 0, "60", "60"},
      {"20240701", Valore("DBL"), Valore(" "), 1, 1, "10", "10"},
      {"20240701", Valore("DBL"), Valore(""), 4, 4, "400", "400"},
      {"20240701", Valore("DBL"), Valore(), 4, 4, "400", "400"},
      {"20240702", Valore("SGL"), Valore("Rossi"), 1, 1, "5", "5", "0", "0", "0", "0", "0", 2},
  });
  Esegui("01/07/2024", "02/07/2024");
  FoglioLetto f = Foglio("REPORT_AGENZIA.xlsx");
  // Ordered by agency, then by the code as stored: " " first, "DBL  " before "XXX".
  ControllaRiga(f, 2,
                {Txt(" "), Txt("Doppia"), Eur(10), Eur(0), Eur(0), Eur(0), Eur(0), Eur(10), Eur(10),
                 Pct(0.0833), Eur(0.83), Int(1), Int(12), Eur(10), Eur(0), Int(1)});
  ControllaRiga(f, 3,
                {Txt("Bianchi"), Txt("Doppia"), Eur(0), Eur(0), Eur(0), Eur(90), Eur(0), Eur(90),
                 Eur(90), Pct(0.0833), Eur(7.5), Int(1), Int(12), Eur(45), Eur(0), Int(2)});
  // A code missing from the room types: the code itself, no room nights, no guests.
  ControllaRiga(f, 4,
                {Txt("Bianchi"), Txt("XXX"), Eur(60), Eur(0), Eur(0), Eur(0), Eur(0), Eur(60),
                 Eur(60), Pct(0), Eur(0), Int(1), Int(0), Eur(0), Eur(0), Int(0)});
  ControllaRiga(f, 5,
                {Txt("Rossi"), Txt("Doppia"), Eur(0), Eur(0), Eur(150), Eur(0), Eur(0), Eur(150),
                 Eur(75), Pct(0.1667), Eur(12.5), Int(2), Int(12), Eur(50), Eur(0), Int(3)});
  // 160.01 over 2 rooms: 80.005 -> 80.01; 2 of 8 room nights; 2/8 x 80.01 = 20.0025 -> 20.00.
  ControllaRiga(
      f, 6,
      {Txt("Rossi"), Txt("Singola"), Eur(0), Eur(160.01), Eur(0), Eur(0), Eur(0), Eur(160.01),
       Eur(80.01), Pct(0.25), Eur(20), Int(2), Int(8), Eur(53.34), Eur(3), Int(3)});
  EXPECT_EQ(RigaTotale(f), 8);
}

TEST_F(ReportTest, PeriodoInvertitoOTroppoLungoRifiutatoSenzaToccareFile) {
  ScriviAlbergo({});
  struct Caso {
    const char* protegge;
    const char* dal;
    const char* al;
  };
  const Caso casi[] = {
      {"data iniziale dopo la finale", "02/07/2024", "01/07/2024"},
      {"anno dopo, stesso giorno", "01/07/2025", "01/07/2024"},
      {"periodo più lungo delle righe di un foglio", "01/01/1900", "31/12/9999"},
  };
  for (const Caso& c : casi) {
    SCOPED_TRACE(c.protegge);
    FinestraFinta finestra;
    EXPECT_THROW(CreaReportExcel(finestra, Chiedi(c.dal, c.al)), Errore);
    EXPECT_FALSE(fs::exists(P("Excel")));
  }
}

TEST_F(ReportTest, SenzaArchivioStatisticheSiChiedeDiCalcolarePrima) {
  ScriviTipi(kTipi);
  FinestraFinta finestra;
  try {
    CreaReportExcel(finestra, Chiedi("01/07/2024", "02/07/2024"));
    ADD_FAILURE() << "report creato senza Vendrix.mdb";
  } catch (const StatisticheDaCalcolare& e) {
    EXPECT_NE(std::string(e.what()).find("Vendrix.mdb"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("premere \"Calcola\""), std::string::npos) << e.what();
  }
  EXPECT_FALSE(fs::exists(P("Excel")));
}

TEST_F(ReportTest, RipetereIlReportSostituisceIFileEUnErroreLasciaIPrecedenti) {
  ScriviAlbergo({{"20240701", Valore("DBL"), Valore("Rossi"), 1, 1, "10", "10"}});
  Esegui("01/07/2024", "01/07/2024");
  EXPECT_EQ(RigaTotale(Foglio("REPORT_DATA.xlsx")), 4);
  Esegui("01/07/2024", "03/07/2024");
  EXPECT_EQ(RigaTotale(Foglio("REPORT_DATA.xlsx")), 6);

  // A run that fails half-way (the room types are gone) leaves the workbooks as they were.
  std::map<std::string, std::string> prima;
  for (const auto& e : fs::directory_iterator(P("Excel")))
    prima[e.path().filename()] = Contenuto(e);
  fs::remove(P(t::kFileTipiCamere));
  FinestraFinta finestra;
  EXPECT_THROW(CreaReportExcel(finestra, Chiedi("01/07/2024", "02/07/2024")), Errore);
  std::map<std::string, std::string> dopo;
  for (const auto& e : fs::directory_iterator(P("Excel"))) dopo[e.path().filename()] = Contenuto(e);
  EXPECT_EQ(dopo, prima);
}

// The three grouped queries run at the same time, yet a fault is reported as the sheets meet it
// in their order: the first failing query in sheet order gives the error, and nothing is saved.
TEST_F(ReportTest, UnErroreDelleQueryArrivaNellOrdineDeiFogli) {
  ScriviTipi(kTipi);
  struct Caso {
    const char* nome;
    const char* colonne;  // of a table Vendrix that lacks what some queries need
    const char* atteso;   // what the message says of the query that must fail first
    const char* assente;  // and no SQL text
  };
  const Caso casi[] = {
      {"no day: the daily sheet fails first",
       "NumeroHotel, TipoCamera, Agenzia, TotRO, TotBB, TotHB, TotFB, TotSupl, TotRetta, "
       "TotCamOcc, TotPax, Extra",
       "Campo 'DataRif' non trovato nel database", "Group by"},
      {"no room type: the room-type sheet, not the agency sheet",
       "NumeroHotel, DataRif, Agenzia, TotRO, TotBB, TotHB, TotFB, TotSupl, TotRetta, "
       "TotCamOcc, TotPax, Extra",
       "Campo 'TipoCamera' non trovato nel database", "Group by"},
      {"no extras: the daily sheet again",
       "NumeroHotel, DataRif, TipoCamera, Agenzia, TotRO, TotBB, TotHB, TotFB, TotSupl, TotRetta, "
       "TotCamOcc, TotPax",
       "Campo 'Extra' non trovato nel database", "Select"},
  };
  for (const Caso& c : casi) {
    fs::remove(P(t::kFileVendrix));
    fs::remove_all(P("Excel"));
    {
      sqlite3* db = nullptr;
      sqlite3_open(P(t::kFileVendrix).c_str(), &db);
      const std::string sql = std::string("CREATE TABLE Vendrix (") + c.colonne + ")";
      ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << c.nome;
      sqlite3_close(db);
    }
    FinestraFinta finestra;
    std::string messaggio;
    try {
      CreaReportExcel(finestra, Chiedi("01/07/2024", "02/07/2024"));
    } catch (const Errore& e) {
      messaggio = e.what();
    }
    EXPECT_NE(messaggio.find(c.atteso), std::string::npos) << c.nome << ": " << messaggio;
    EXPECT_EQ(messaggio.find(c.assente), std::string::npos) << c.nome << ": " << messaggio;
    EXPECT_FALSE(fs::exists(P("Excel"))) << c.nome;
  }
}

TEST_F(ReportTest, CartellaCreataQuandoMancaEErroreQuandoNonSiPuoScrivere) {
  ScriviAlbergo({});
  FinestraFinta finestra;
  auto percorsi = CreaReportExcel(finestra, Chiedi("01/07/2024", "01/07/2024", "uscita/annuale"));
  for (const std::string& p : percorsi) {
    EXPECT_EQ(fs::path(p).parent_path(), P("uscita/annuale"));
    EXPECT_TRUE(prova::EFileZip(p)) << p;
  }

  // A file where the folder should be.
  { std::ofstream(P("occupato")) << "x"; }
  EXPECT_THROW(CreaReportExcel(finestra, Chiedi("01/07/2024", "01/07/2024", "occupato/Excel")),
               Errore);
  // A workbook name taken by a folder that cannot be replaced: the error is reported and no
  // temporary file is left behind.
  fs::create_directories(P("bloccato/REPORT_AGENZIA.xlsx/dentro"));
  EXPECT_THROW(CreaReportExcel(finestra, Chiedi("01/07/2024", "01/07/2024", "bloccato")), Errore);
  for (const auto& e : fs::directory_iterator(P("bloccato"))) {
    const std::string nome = e.path().filename();
    EXPECT_TRUE((nome.starts_with("REPORT_") && nome.ends_with(".xlsx")) || nome == ".REPORT.lock")
        << nome;
  }
}

TEST_F(ReportTest, AltriFogliInScritturaNellaStessaCartellaFermanoIlReportSenzaToccareFile) {
  ScriviAlbergo({{"20240701", Valore("DBL"), Valore("Rossi"), 1, 1, "10", "10"}});
  FinestraFinta finestra;
  // Another report of the same hotel reads too, into another folder: both go ahead.
  const BloccoCartella lettura(cartella_, kFileBloccoAlbergo, BloccoCartella::Modo::kCondiviso);
  Esegui("01/07/2024", "01/07/2024");
  std::map<std::string, std::string> prima;
  for (const auto& e : fs::directory_iterator(P("Excel"))) {
    prima[e.path().filename()] = Contenuto(e);
  }
  // Another run is writing into the same folder.
  const BloccoCartella scrittura(P("Excel"), ".REPORT.lock", BloccoCartella::Modo::kEsclusivo);
  try {
    CreaReportExcel(finestra, Chiedi("01/07/2024", "01/07/2024"));
    ADD_FAILURE() << "due report nella stessa cartella";
  } catch (const CartellaOccupata& e) {
    EXPECT_EQ(std::string(e.what()), "Altri fogli Excel sono in scrittura nella cartella " +
                                         P("Excel").string() + ": riprovare al termine.");
  }
  std::map<std::string, std::string> dopo;
  for (const auto& e : fs::directory_iterator(P("Excel"))) dopo[e.path().filename()] = Contenuto(e);
  EXPECT_EQ(dopo, prima);
}

TEST_F(ReportTest, ITemporaneiDiRunInterrottiSpariscono) {
  ScriviAlbergo({});
  fs::create_directories(P("Excel"));
  // What killed runs leave, of this version and of earlier ones, and files of the user's.
  const char* const avanzi[] = {
      "REPORT_DATA.xlsx.4242.nuovo", "REPORT_DATA.xlsx.4242.nuovo.4242.tmp",
      "REPORT_AGENZIA.xlsx.Ab3dEf.nuovo", "REPORT_TIPOCAMERA.xlsx.Ab3dEf.nuovo.77.tmp",
      "REPORT_TIPOCAMERA.xlsx.Ab3dEf.nuovo.77.tmp.Zz9Yx8"};
  const char* const dell_utente[] = {"REPORT_DATA.xlsx.copia", "ALTRO.xlsx.1.nuovo"};
  for (const char* f : avanzi) std::ofstream(P("Excel") / f) << "avanzo";
  for (const char* f : dell_utente) std::ofstream(P("Excel") / f) << "da tenere";
  Esegui("01/07/2024", "01/07/2024");
  for (const char* f : avanzi) EXPECT_FALSE(fs::exists(P("Excel") / f)) << f;
  for (const char* f : dell_utente) EXPECT_EQ(Contenuto(P("Excel") / f), "da tenere") << f;
}

// A number as a spreadsheet shows it in the formats the reports use; texts as they are.
std::string Mostrato(const CellaLetta& c) {
  if (c.tipo != CellaLetta::Tipo::kNumero) return c.testo;
  char testo[64];
  if (c.formato == "0.00%") {
    std::snprintf(testo, sizeof testo, "%.2f%%", c.numero * 100);
  } else if (c.formato == "0.00") {
    std::snprintf(testo, sizeof testo, "%.2f", c.numero);
  } else if (c.formato.find(" pp") != std::string::npos) {
    std::snprintf(testo, sizeof testo, "%+.2f pp", c.numero);  // a change in points
  } else if (c.formato.starts_with("+0.00%")) {
    std::snprintf(testo, sizeof testo, "%+.2f%%", c.numero * 100);  // a relative change
  } else if (c.formato == excel::kFormatoValuta) {
    std::snprintf(testo, sizeof testo, "%'.2f €", c.numero);  // with a thousands separator
  } else {
    std::snprintf(testo, sizeof testo, "%.10g", c.numero);
  }
  return testo;
}

// Every value of the sheet fits its column: at least one character of width per character
// shown (for a wrapped heading, per character of its longest word).
void ControllaLarghezze(const FoglioLetto& f) {
  for (const auto& [posizione, cella] : f.celle) {
    std::string testo = Mostrato(cella);
    if (posizione.first == 1) {
      size_t piu_lunga = 0, inizio = 0;
      for (size_t p = 0; p <= testo.size(); ++p) {
        if (p == testo.size() || testo[p] == ' ') {
          piu_lunga = std::max(piu_lunga, p - inizio);
          inizio = p + 1;
        }
      }
      testo = testo.substr(0, piu_lunga);
    }
    size_t caratteri = 0;
    for (unsigned char ch : testo) caratteri += (ch & 0xC0) != 0x80;
    EXPECT_GE(f.Larghezza(posizione.second).value_or(8.43), static_cast<double>(caratteri))
        << f.nome << " riga " << posizione.first << ", colonna " << posizione.second << ": "
        << testo;
  }
}

// Sales on the last day of a year, the first of the next, a leap day and the day after, over a
// period that cuts December and March.
const std::vector<Statistica> kVenditeAnnoBisestile = {
    {"20231231", Valore("DBL"), Valore("Rossi"), 2, 3, "200.10", "100.05", "100.05", "0", "0", "0",
     "10"},
    {"20240101", Valore("SGL"), Valore(""), 1, 1, "50", "0", "0", "50"},
    {"20240229", Valore("DBL"), Valore("Bianchi"), 3, 6, "299.99", "0", "0", "0", "299.99", "0",
     "0.01"},
    {"20240301", Valore("SGL"), Valore(), 1, 2, "33.33", "0", "0", "0", "0", "33.33"},
};

TEST_F(ReportTest, TotaleERigheDeiMesiRicalcolanoGliIndiciDalleSomme) {
  ScriviAlbergo(kVenditeAnnoBisestile);
  Esegui("30/12/2023", "01/03/2024");
  prova::CartellaLetta cartella = Cartella("REPORT_DATA.xlsx");
  ASSERT_EQ(cartella.fogli.size(), 3u);
  EXPECT_EQ(cartella.fogli[1].nome, "Mesi");
  EXPECT_EQ(cartella.fogli[2].nome, "Riepilogo");

  // 63 days on rows 2 to 64, an empty row, the totals. 10 rooms x 63 days = 630 room nights.
  const FoglioLetto& data = cartella.Foglio("Data");
  EXPECT_EQ(data.Cella("A64").numero, Dat("01/03/2024").numero);
  EXPECT_EQ(data.Cella("A65").tipo, CellaLetta::Tipo::kVuota);
  ControllaRiga(data, 66,
                {Txt("Totale"), Eur(100.05), Eur(100.05), Eur(50), Eur(299.99), Eur(33.33),
                 Eur(583.42), Eur(83.35), Pct(7.0 / 630), Eur(0.93), Int(7), Pct(5.0 / 630), Int(5),
                 Int(623), Eur(48.62), Eur(10.01), Int(12)});
  struct Formula {
    const char* cella;
    const char* formula;
  };
  const Formula formule[] = {
      {"B66", "SUBTOTAL(109,B2:B64)"},
      {"K66", "SUBTOTAL(109,K2:K64)"},
      {"H66", "IF(K66=0,0,ROUND(G66/K66,2))"},
      {"I66", "IF((N66+K66)=0,0,K66/(N66+K66))"},
      {"J66", "IF((N66+K66)=0,0,ROUND(G66/(N66+K66),2))"},
      {"O66", "IF(Q66=0,0,ROUND(G66/Q66,2))"},
  };
  for (const Formula& f : formule) EXPECT_EQ(data.Cella(f.cella).formula, f.formula) << f.cella;
  EXPECT_TRUE(data.Cella("G66").grassetto);
  EXPECT_EQ(data.Cella("G64").formula, "");

  // One row per month, only its days inside the period; capacity = free + sold.
  const FoglioLetto& mesi = cartella.Foglio("Mesi");
  ControllaRiga(
      mesi, 2,
      {Dat("12/2023"), Eur(100.05), Eur(100.05), Eur(0), Eur(0), Eur(0), Eur(200.10), Eur(100.05),
       Pct(0.1), Eur(10.01), Int(2), Pct(0.1), Int(2), Int(18), Eur(66.70), Eur(10), Int(3)});
  ControllaRiga(
      mesi, 3,
      {Dat("01/2024"), Eur(0), Eur(0), Eur(50), Eur(0), Eur(0), Eur(50), Eur(50), Pct(1.0 / 310),
       Eur(0.16), Int(1), Pct(0), Int(0), Int(309), Eur(50), Eur(0), Int(1)});
  ControllaRiga(mesi, 4,
                {Dat("02/2024"), Eur(0), Eur(0), Eur(0), Eur(299.99), Eur(0), Eur(299.99), Eur(100),
                 Pct(3.0 / 290), Eur(1.03), Int(3), Pct(3.0 / 290), Int(3), Int(287), Eur(50),
                 Eur(0.01), Int(6)});
  ControllaRiga(mesi, 5,
                {Dat("03/2024"), Eur(0), Eur(0), Eur(0), Eur(0), Eur(33.33), Eur(33.33), Eur(33.33),
                 Pct(0.1), Eur(3.33), Int(1), Pct(0), Int(0), Int(9), Eur(16.67), Eur(0), Int(2)});
  EXPECT_EQ(mesi.Cella("B2").formula, "SUM('Data'!B2:B3)");
  EXPECT_EQ(mesi.Cella("G4").formula, "SUM('Data'!G35:G63)");
  EXPECT_EQ(mesi.Cella("H5").formula, "IF(K5=0,0,ROUND(G5/K5,2))");
  EXPECT_EQ(RigaTotale(mesi), 7);
  EXPECT_EQ(mesi.Cella("G7").formula, "SUBTOTAL(109,G2:G5)");
  EXPECT_EQ(mesi.Cella("G7").numero, 583.42);
  EXPECT_EQ(mesi.Cella("J7").numero, 0.93);

  // The summary: figures over the totals of "Data", with their formulas.
  const FoglioLetto& riepilogo = cartella.Foglio("Riepilogo");
  std::map<std::string, int> riga;
  for (int r = 2; r <= riepilogo.UltimaRigaConValori(); ++r) riga[riepilogo.Cella(r, 1).testo] = r;
  EXPECT_EQ(riga.count("Tipi di soggiorno"), 0u) << "the store does not record them";
  EXPECT_EQ(riepilogo.Cella(riga["Periodo"], 2).testo, "30/12/2023 - 01/03/2024");
  EXPECT_EQ(riepilogo.Cella(riga["Creato il"], 2).testo.size(), 16u);
  struct Cifra {
    const char* voce;
    double valore;
    const char* formato;
  };
  const Cifra cifre[] = {
      {"Giorni", 63, "0"},
      {"Camere disponibili", 630, "#,##0"},
      {"Camere vendute", 7, "#,##0"},
      {"% occupazione", 7.0 / 630, "0.00%"},
      {"ADR", 83.35, excel::kFormatoValuta},
      {"RevPar", 0.93, excel::kFormatoValuta},
      {"Totale Retta", 583.42, excel::kFormatoValuta},
      {"di cui Extra", 10.01, excel::kFormatoValuta},
      {"Retta senza extra", 573.41, excel::kFormatoValuta},
      {"ADR senza extra", 81.92, excel::kFormatoValuta},
      {"RevPar senza extra", 0.91, excel::kFormatoValuta},
      {"Ospiti", 12, "#,##0"},
      {"Entrata media per ospite", 48.62, excel::kFormatoValuta},
      {"RO", 100.05, excel::kFormatoValuta},
      {"FB", 299.99, excel::kFormatoValuta},
      {"Supplementi", 33.33, excel::kFormatoValuta},
  };
  for (const Cifra& c : cifre) {
    SCOPED_TRACE(c.voce);
    ASSERT_EQ(riga.count(c.voce), 1u);
    const CellaLetta cella = riepilogo.Cella(riga[c.voce], 2);
    EXPECT_NEAR(cella.numero, c.valore, 1e-12);
    EXPECT_EQ(cella.formato, c.formato);
  }
  EXPECT_EQ(riepilogo.Cella(riga["Camere disponibili"], 2).formula, "'Data'!N66+'Data'!K66");
  EXPECT_EQ(riepilogo.Cella(riga["Totale Retta"], 2).formula, "'Data'!G66");
  EXPECT_DOUBLE_EQ(riepilogo.Cella(riga["FB"], 3).numero, 299.99 / 583.42);
  EXPECT_EQ(riepilogo.Cella(riga["Ospiti"], 3).tipo, CellaLetta::Tipo::kVuota);

  // Charts beside the summary, over the days of "Data" and the months of "Mesi".
  ASSERT_EQ(riepilogo.grafici.size(), 2u);
  const prova::GraficoLetto& giorni = riepilogo.grafici[0];
  ASSERT_EQ(giorni.serie.size(), 2u);
  EXPECT_EQ(giorni.serie[0].valori, "Data!$I$2:$I$64");
  EXPECT_EQ(giorni.serie[0].categorie, "Data!$A$2:$A$64");
  EXPECT_FALSE(giorni.serie[0].asse_secondario);
  EXPECT_EQ(giorni.serie[1].nome, "ADR");
  EXPECT_EQ(giorni.serie[1].valori, "Data!$H$2:$H$64");
  EXPECT_EQ(giorni.serie[1].gruppo, "lineChart");
  EXPECT_TRUE(giorni.serie[1].asse_secondario);
  EXPECT_GE(giorni.colonna, 6) << "beside the table, with room for more columns";
  const prova::GraficoLetto& per_mese = riepilogo.grafici[1];
  EXPECT_EQ(per_mese.raggruppamento, "stacked");
  ASSERT_EQ(per_mese.serie.size(), 5u);
  EXPECT_EQ(per_mese.serie[0].nome, "RO");
  EXPECT_EQ(per_mese.serie[4].valori, "Mesi!$F$2:$F$5");
  EXPECT_EQ(per_mese.serie[4].categorie, "Mesi!$A$2:$A$5");
  EXPECT_EQ(per_mese.titoli_assi, (std::vector<std::string>{"Mese", "Retta"}));
}

// What a manager meets first: the summary, the hotel and the period on every printed page, the
// days by weekday, the notes and the charts' axes.
TEST_F(ReportTest, IlRiepilogoPerPrimoLAlbergoSuOgniPaginaEGraficiCheSiLeggono) {
  ScriviAlbergo(kVenditeAnnoBisestile);
  ASSERT_EQ(ImpostaNomeHotel(cartella_, "Sole & Mare"), std::nullopt);
  Esegui("30/12/2023", "01/03/2024");
  const prova::CartellaLetta data = Cartella("REPORT_DATA.xlsx");
  EXPECT_EQ(data.fogli.at(0).nome, "Data");
  EXPECT_EQ(data.foglio_attivo, 3);
  for (const FoglioLetto& f : data.fogli) EXPECT_EQ(f.selezionato, f.nome == "Riepilogo") << f.nome;

  // Every sheet prints the hotel (a literal '&' doubled), the workbook and the period on top, the
  // creation time and the page number below.
  for (const char* file : kFileReport) {
    const prova::CartellaLetta cartella = Cartella(file);
    for (const FoglioLetto& f : cartella.fogli) {
      SCOPED_TRACE(std::string(file) + " " + f.nome);
      EXPECT_TRUE(f.intestazione.starts_with("&LSole && Mare&C" + cartella.titolo + "&R"))
          << f.intestazione;
      EXPECT_TRUE(f.intestazione.ends_with("dal 30/12/2023 al 01/03/2024")) << f.intestazione;
      EXPECT_NE(f.pie_di_pagina.find("Creato il "), std::string::npos) << f.pie_di_pagina;
      EXPECT_TRUE(f.pie_di_pagina.ends_with("&RPagina &P di &N")) << f.pie_di_pagina;
      // Percentages and amounts are drawn from zero.
      for (const prova::GraficoLetto& g : f.grafici) {
        for (const prova::AsseLetto& a : g.assi) {
          if (a.tipo == "valAx") {
            EXPECT_EQ(a.minimo, 0.0) << g.titolo;
          }
        }
      }
    }
  }

  const FoglioLetto& riepilogo = data.Foglio("Riepilogo");
  EXPECT_EQ(riepilogo.Cella("A2").testo, "Hotel");
  EXPECT_EQ(riepilogo.Cella("B2").testo, "Sole & Mare");
  // 63 days from a Saturday: 9 of each weekday, 90 room nights each.
  int intestazione = 0;
  for (int r = 1; r <= riepilogo.UltimaRigaConValori(); ++r) {
    if (riepilogo.Cella(r, 1).testo == "Giorno della settimana") intestazione = r;
  }
  ASSERT_GT(intestazione, 0);
  struct Giorno {
    int indice;  // 0 Monday
    const char* nome;
    double vendute, adr, revpar, retta;
  };
  const Giorno giorni[] = {
      {0, "lunedì", 1, 50, 0.56, 50},           {1, "martedì", 0, 0, 0, 0},
      {3, "giovedì", 3, 100, 3.33, 299.99},     {4, "venerdì", 1, 33.33, 0.37, 33.33},
      {6, "domenica", 2, 100.05, 2.22, 200.10},
  };
  for (const Giorno& g : giorni) {
    SCOPED_TRACE(g.nome);
    const int r = intestazione + 1 + g.indice;
    EXPECT_EQ(riepilogo.Cella(r, 1).testo, g.nome);
    EXPECT_EQ(riepilogo.Cella(r, 2).numero, 9);
    EXPECT_EQ(riepilogo.Cella(r, 3).numero, g.vendute);
    EXPECT_DOUBLE_EQ(riepilogo.Cella(r, 4).numero, g.vendute / 90);
    EXPECT_DOUBLE_EQ(riepilogo.Cella(r, 5).numero, g.adr);
    EXPECT_DOUBLE_EQ(riepilogo.Cella(r, 6).numero, g.revpar);
    EXPECT_DOUBLE_EQ(riepilogo.Cella(r, 7).numero, g.retta);
    EXPECT_EQ(riepilogo.Cella(r, 7).formato, excel::kFormatoValuta);
  }
  EXPECT_NE(riepilogo.Cella(intestazione + 1, 3).formula.find("WEEKDAY"), std::string::npos);

  // The daily chart on a date axis, one label a month; the monthly ones label their months.
  ASSERT_EQ(riepilogo.grafici.size(), 2u);
  for (const prova::GraficoLetto& g : riepilogo.grafici) {
    SCOPED_TRACE(g.titolo);
    ASSERT_FALSE(g.assi.empty());
    EXPECT_EQ(g.assi[0].tipo, "dateAx");
    EXPECT_EQ(g.assi[0].unita_principale, "months");
    EXPECT_EQ(g.assi[0].passo, 1);
  }
  EXPECT_EQ(riepilogo.grafici[0].assi[0].formato, "mm/yyyy");
  for (const prova::SerieLetta& s : riepilogo.grafici[0].serie) {
    EXPECT_FALSE(s.liscia) << s.nome << ": straight between the days, no invented values";
  }

  // The agency sheet: its "Camere libere" explained; the bars listed from the top, the value
  // axis below them in whole euros.
  const FoglioLetto agenzia = Foglio("REPORT_AGENZIA.xlsx");
  EXPECT_EQ(agenzia.Cella("M1").testo, "Camere libere");
  const std::string nota = agenzia.note.count({1, 13}) ? agenzia.note.at({1, 13}) : "";
  EXPECT_NE(nota.find("Notti camera disponibili"), std::string::npos) << nota;
  ASSERT_EQ(agenzia.grafici.size(), 1u);
  for (const prova::AsseLetto& a : agenzia.grafici[0].assi) {
    if (a.tipo == "catAx") {
      EXPECT_EQ(a.direzione, "maxMin") << "the first row on top";
    } else {
      EXPECT_EQ(a.direzione, "minMax") << "bars growing from the left";
      EXPECT_EQ(a.posizione, "b");
      EXPECT_EQ(a.formato, "#,##0 [$€-410]") << "whole euros";
    }
  }
}

// "Riepilogo" names the first and last night with statistics and warns of a period chosen much
// wider than they are; a short period labels its days a week apart.
TEST_F(ReportTest, LePrimeEUltimeNottiConStatisticheEIlPeriodoTroppoLargo) {
  ScriviAlbergo(kVenditeAnnoBisestile);  // 31/12/2023, 01/01, 29/02 and 01/03/2024
  struct Caso {
    const char* protegge;
    const char* dal;
    const char* al;
    const char* prima;  // empty: none
    const char* ultima;
    const char* avviso;  // start of the warning above the figures; empty: none
    const char* etichette;
  };
  const Caso casi[] = {
      {"a few days either side: no warning", "30/12/2023", "01/03/2024", "31/12/2023", "01/03/2024",
       "", "months"},
      {"two months beyond the data", "01/11/2023", "30/04/2024", "31/12/2023", "01/03/2024",
       "Attenzione: le statistiche coprono solo le notti dal 31/12/2023 al 01/03/2024", "months"},
      {"under two months: a label a week", "25/02/2024", "05/03/2024", "29/02/2024", "01/03/2024",
       "", "days"},
      {"no statistics at all", "01/06/2024", "30/06/2024", "", "",
       "Attenzione: nessuna notte del periodo ha statistiche.", "days"},
  };
  for (const Caso& c : casi) {
    SCOPED_TRACE(c.protegge);
    Esegui(c.dal, c.al);
    const FoglioLetto riepilogo = Cartella("REPORT_DATA.xlsx").Foglio("Riepilogo");
    std::map<std::string, int> riga;
    for (int r = 2; r <= riepilogo.UltimaRigaConValori(); ++r) {
      riga.emplace(riepilogo.Cella(r, 1).testo, r);
    }
    for (const auto& [voce, attesa] : {std::pair{"Prima notte con statistiche", c.prima},
                                       std::pair{"Ultima notte con statistiche", c.ultima}}) {
      ASSERT_EQ(riga.count(voce), 1u);
      const CellaLetta cella = riepilogo.Cella(riga[voce], 2);
      if (*attesa == '\0') {
        EXPECT_EQ(cella.testo, "nessuna") << voce;
      } else {
        EXPECT_EQ(cella.numero, Dat(attesa).numero) << voce;
        EXPECT_EQ(cella.formato, "dd/mm/yyyy") << voce;
      }
    }
    std::string avviso;
    for (int r = riga["Creato il"] + 1; r < riga["Giorni"]; ++r) {
      if (riepilogo.Cella(r, 1).testo.starts_with("Attenzione"))
        avviso = riepilogo.Cella(r, 1).testo;
    }
    EXPECT_TRUE(avviso.starts_with(c.avviso)) << avviso;
    EXPECT_EQ(avviso.empty(), *c.avviso == '\0') << avviso;
    ASSERT_FALSE(riepilogo.grafici.empty());
    const prova::AsseLetto& giorni = riepilogo.grafici[0].assi.at(0);
    EXPECT_EQ(giorni.unita_principale, c.etichette);
    EXPECT_EQ(giorni.passo, std::string(c.etichette) == "days" ? 7 : 1);
  }
}

TEST_F(ReportTest, UnaRigaPerOgniMeseToccatoDalPeriodo) {
  ScriviAlbergo({});
  struct Caso {
    const char* protegge;
    const char* dal;
    const char* al;
    std::vector<std::pair<std::string, int>> mesi;  // month, room nights available
  };
  const Caso casi[] = {
      {"un giorno solo", "29/02/2024", "29/02/2024", {{"02/2024", 10}}},
      {"cambio d'anno", "30/12/2023", "02/01/2024", {{"12/2023", 20}, {"01/2024", 20}}},
      {"29 febbraio", "15/02/2024", "15/03/2024", {{"02/2024", 150}, {"03/2024", 150}}},
      {"febbraio comune intero", "01/02/2023", "28/02/2023", {{"02/2023", 280}}},
  };
  for (const Caso& c : casi) {
    SCOPED_TRACE(c.protegge);
    Esegui(c.dal, c.al);
    const FoglioLetto mesi = Cartella("REPORT_DATA.xlsx").Foglio("Mesi");
    for (size_t i = 0; i < c.mesi.size(); ++i) {
      const int r = static_cast<int>(i) + 2;
      EXPECT_EQ(mesi.Cella(r, 1).numero, Dat(c.mesi[i].first).numero);
      EXPECT_EQ(mesi.Cella(r, 1).formato, "mm/yyyy");
      EXPECT_EQ(mesi.Cella(r, 14).numero + mesi.Cella(r, 11).numero, c.mesi[i].second);
    }
    EXPECT_EQ(RigaTotale(mesi), static_cast<int>(c.mesi.size()) + 3);
  }
}

// Every sheet: header frozen and filtered over the data rows, printed landscape one page wide
// with the header on each page, widths that fit; the workbooks name the period and the program.
TEST_F(ReportTest, OgniFoglioBloccatoFiltratoStampabileELeggibile) {
  ScriviAlbergo(kVenditeAnnoBisestile);
  Esegui("30/12/2023", "01/03/2024");
  struct Caso {
    const char* file;
    const char* foglio;
    const char* filtro;
  };
  const Caso casi[] = {
      {"REPORT_DATA.xlsx", "Data", "A1:Q64"},
      {"REPORT_DATA.xlsx", "Mesi", "A1:Q5"},
      {"REPORT_TIPOCAMERA.xlsx", "Tipo camera", "A1:Q4"},
      {"REPORT_AGENZIA.xlsx", "Agenzia", "A1:P3"},
  };
  for (const Caso& c : casi) {
    SCOPED_TRACE(c.foglio);
    const prova::CartellaLetta cartella = Cartella(c.file);
    const FoglioLetto& f = cartella.Foglio(c.foglio);
    EXPECT_EQ(f.riquadro, "A2");
    EXPECT_EQ(f.filtro, c.filtro);
    EXPECT_TRUE(f.orizzontale);
    EXPECT_EQ(f.pagine_in_larghezza, 1);
    EXPECT_EQ(f.righe_stampa, "$1:$1");
    EXPECT_TRUE(f.Cella("B1").grassetto);
    EXPECT_FALSE(f.Cella("B2").grassetto);
    EXPECT_EQ(cartella.soggetto, "Periodo dal 30/12/2023 al 01/03/2024");
    EXPECT_EQ(cartella.applicazione, std::string("Vendrix ") + kVersione);
    EXPECT_FALSE(cartella.titolo.empty());
    for (const FoglioLetto& foglio : cartella.fogli) ControllaLarghezze(foglio);
  }
}

TEST_F(ReportTest, TipoCameraTotaleSulleNottiDeiTipiEGrafico) {
  ScriviAlbergo(kVenditeAnnoBisestile);
  Esegui("30/12/2023", "01/03/2024");
  const FoglioLetto f = Foglio("REPORT_TIPOCAMERA.xlsx");
  // Doppia 6 x 63 and Singola 4 x 63 room nights (the empty type adds none): 630.
  ControllaRiga(f, 6,
                {Txt("Totale"), Eur(100.05), Eur(100.05), Eur(50), Eur(299.99), Eur(33.33),
                 Eur(583.42), Eur(83.35), Pct(7.0 / 630), Eur(0.93), Int(7), Pct(5.0 / 630), Int(5),
                 Int(623), Eur(48.62), Eur(10.01), Int(12)});
  EXPECT_EQ(f.Cella("N6").formula, "SUBTOTAL(109,N2:N4)");
  ASSERT_EQ(f.grafici.size(), 1u);
  const prova::GraficoLetto& g = f.grafici[0];
  EXPECT_EQ(g.direzione, "col");
  ASSERT_EQ(g.serie.size(), 2u);
  EXPECT_EQ(g.serie[0].valori, "'Tipo camera'!$G$2:$G$4");
  EXPECT_EQ(g.serie[0].categorie, "'Tipo camera'!$A$2:$A$4");
  EXPECT_EQ(g.serie[1].valori, "'Tipo camera'!$I$2:$I$4");
  EXPECT_TRUE(g.serie[1].asse_secondario);
  EXPECT_GT(g.colonna, 17);
}

TEST_F(ReportTest, SenzaStatisticheOgniFoglioEGraficoConTotaliAZero) {
  ScriviAlbergo({});
  Esegui("01/07/2024", "01/07/2024");
  const prova::CartellaLetta data = Cartella("REPORT_DATA.xlsx");
  ControllaRiga(data.Foglio("Data"), 4,
                {Txt("Totale"), Eur(0), Eur(0), Eur(0), Eur(0), Eur(0), Eur(0), Eur(0), Pct(0),
                 Eur(0), Int(0), Pct(0), Int(0), Int(10), Eur(0), Eur(0), Int(0)});
  EXPECT_EQ(data.Foglio("Riepilogo").grafici.size(), 2u);
  const FoglioLetto agenzia = Foglio("REPORT_AGENZIA.xlsx");
  EXPECT_EQ(agenzia.filtro, "A1:P1");
  EXPECT_EQ(agenzia.Cella("B3").formula, "");
  EXPECT_EQ(agenzia.Cella("C3").formula, "SUBTOTAL(109,C2:C2)");
  EXPECT_EQ(agenzia.Cella("A5").testo, "Totale generale");
  EXPECT_EQ(agenzia.Cella("M5").numero, 10);
  for (int c = 1; c <= 16; ++c) {
    EXPECT_NE(agenzia.Cella(5, c).tipo, CellaLetta::Tipo::kErrore) << c;
  }
  ASSERT_EQ(agenzia.grafici.size(), 1u);
  EXPECT_EQ(Foglio("REPORT_TIPOCAMERA.xlsx").grafici.size(), 1u);
}

// The agency sheet leaves out the stays without an agency text: below its total, those and the
// sum of the two, which is the hotel's, as on the daily sheet.
TEST_F(ReportTest, AgenziaRiconciliataConIlFoglioDataEPrimeDieciAgenzie) {
  ScriviAlbergo({
      {"20240701", Valore("SGL"), Valore("Rossi"), 1, 2, "80", "0", "80", "0", "0", "0", "3"},
      {"20240702", Valore("DBL"), Valore("Rossi"), 2, 3, "150", "0", "0", "150"},
      {"20240701", Valore("DBL"), Valore("Bianchi"), 1, 2, "90", "0", "0", "0", "90"},
      {"20240701", Valore("DBL"), Valore(" "), 1, 1, "500", "500"},
      {"20240701", Valore("DBL"), Valore(""), 4, 4, "400", "400", "0", "0", "0", "0", "1.5"},
      {"20240702", Valore("SGL"), Valore(), 3, 5, "300.01", "0", "0", "0", "0", "300.01"},
      {"20240702", Valore("SGL"), Valore("Rossi"), 1, 1, "5", "5", "0", "0", "0", "0", "0", 2},
  });
  Esegui("01/07/2024", "02/07/2024");
  const FoglioLetto data = Foglio("REPORT_DATA.xlsx");
  const FoglioLetto f = Foglio("REPORT_AGENZIA.xlsx");
  // Rows 2 to 5: " " / Doppia, Bianchi / Doppia, Rossi / Doppia, Rossi / Singola.
  EXPECT_EQ(f.Cella("A7").testo, "Totale");
  EXPECT_EQ(f.Cella("H7").numero, 820);
  ControllaRiga(
      f, 8,
      {Txt("Senza agenzia"), Vuota(), Eur(400), Eur(0), Eur(0), Eur(0), Eur(300.01), Eur(700.01),
       Eur(100), Pct(7.0 / 20), Eur(35), Int(7), Int(20), Eur(77.78), Eur(1.5), Int(9)});
  EXPECT_EQ(f.Cella("A9").testo, "Totale generale");
  EXPECT_EQ(f.Cella("H9").formula, "H7+H8");
  // Amounts, rooms and guests of the whole as on "Data" (B..G, P, K, Q there).
  const std::pair<int, int> stesse[] = {{3, 2}, {4, 3},   {5, 4},   {6, 5},  {7, 6},
                                        {8, 7}, {15, 16}, {12, 11}, {16, 17}};
  for (const auto& [agenzia, giorno] : stesse) {
    EXPECT_EQ(f.Cella(9, agenzia).numero, data.Cella(5, giorno).numero) << agenzia;
  }
  EXPECT_EQ(f.Cella("I9").numero, data.Cella("H5").numero);

  // The chart's agencies by room revenue over their types; the blanked agencies as one line,
  // ranked with the others and explained under the ten.
  EXPECT_EQ(f.Cella("R2").testo, "Agenzie filtrate");
  EXPECT_EQ(f.Cella("S2").numero, 500);
  EXPECT_EQ(f.Cella("R3").testo, "Rossi");
  EXPECT_EQ(f.Cella("S3").numero, 230);
  EXPECT_EQ(f.Cella("R4").testo, "Bianchi");
  EXPECT_EQ(f.Cella("R5").tipo, CellaLetta::Tipo::kVuota);
  EXPECT_NE(f.Cella("R12").testo.find("VendrixFiltro.txt"), std::string::npos);
  ASSERT_EQ(f.grafici.size(), 1u);
  EXPECT_EQ(f.grafici[0].direzione, "bar");
  ASSERT_EQ(f.grafici[0].serie.size(), 1u);
  EXPECT_EQ(f.grafici[0].serie[0].categorie, "Agenzia!$R$2:$R$4");
  EXPECT_EQ(f.grafici[0].serie[0].valori, "Agenzia!$S$2:$S$4");
}

TEST_F(ReportTest, LaCartellaPredefinitaEExcelNellAlbergoEIVecchiXlsRestano) {
  ScriviAlbergo({});
  fs::create_directories(P("Excel"));
  { std::ofstream(P("Excel/REPORT_DATA.XLS")) << "di un'altra versione"; }
  FinestraFinta finestra;
  const Richiesta r = NuovaRichiesta(*LeggiData("01/07/2024"), *LeggiData("01/07/2024"), cartella_);
  const std::vector<std::string> percorsi = CreaReportExcel(finestra, r);
  ASSERT_EQ(percorsi.size(), 3u);
  EXPECT_EQ(fs::path(percorsi[0]), P("Excel/REPORT_DATA.xlsx"));
  EXPECT_EQ(Contenuto(P("Excel/REPORT_DATA.XLS")), "di un'altra versione");
}

TEST_F(ReportTest, StatisticheDiUnAltroPeriodoRifiutateSenzaTabellaPeriodoLetteComeSono) {
  ScriviAlbergo({{"20240701", Valore("DBL"), Valore("Rossi"), 1, 1, "10", "10"}});
  // Without the table Periodo (a store made elsewhere), any period is read.
  EXPECT_EQ(Esegui("01/06/2024", "30/06/2024").size(), 3u);

  PeriodoStatistiche periodo;
  periodo.dal = *LeggiData("01/07/2024");
  periodo.al = *LeggiData("31/07/2024");
  periodo.confermate = periodo.clienti = true;
  periodo.creato_il = "2024-08-01 09:30:00";
  periodo.versione = "1.1.0";
  {
    DBEngine motore(cartella_);
    ScriviPeriodo(motore, t::kFileVendrix, periodo);
    EXPECT_EQ(LeggiPeriodo(motore, t::kFileVendrix), periodo);
  }
  fs::remove_all(P("Excel"));
  FinestraFinta finestra;
  for (const auto& [dal, al] :
       {std::pair{"01/07/2024", "30/07/2024"}, {"02/07/2024", "31/07/2024"}}) {
    try {
      CreaReportExcel(finestra, Chiedi(dal, al));
      ADD_FAILURE() << "report di un altro periodo: " << dal << " - " << al;
    } catch (const StatisticheDaCalcolare& e) {
      EXPECT_EQ(std::string(e.what()),
                "Le statistiche sono del periodo dal 01/07/2024 al 31/07/2024 (prenotazioni "
                "confermate, clienti in casa + storico): premere \"Calcola\" per il periodo "
                "richiesto.");
      EXPECT_NE(e.TestoSenzaFinestra().find("eseguire prima vendrix-batch calcola"),
                std::string::npos);
    }
  }
  EXPECT_FALSE(fs::exists(P("Excel")));
  EXPECT_EQ(Esegui("01/07/2024", "31/07/2024").size(), 3u);
  // The summary names the kinds of stay the store records.
  const FoglioLetto riepilogo = Cartella("REPORT_DATA.xlsx").Foglio("Riepilogo");
  EXPECT_EQ(riepilogo.Cella("A4").testo, "Tipi di soggiorno");
  EXPECT_EQ(riepilogo.Cella("B4").testo, "prenotazioni confermate, clienti in casa + storico");
}

TEST_F(ReportTest, LAnnoPrecedenteIlleggibileNonFermaIlReportEDicePerche) {
  ScriviTipi(kTipi);
  // Without table Periodo in this year's store the summary has no line "Tipi di soggiorno":
  // Totale Retta is on row 13, the line under the table on row 26.
  // Last year's store: one day of sales a year before, with the period it was computed for.
  ScriviStatistiche(
      {{"20230702", Valore("DBL"), Valore("Rossi"), 3, 5, "1234567.89", "0", "1234567.89"}});
  fs::rename(P(t::kFileVendrix), P("anno_precedente.mdb"));
  PeriodoStatistiche registrato;
  registrato.dal = *LeggiData("01/07/2023");
  registrato.al = *LeggiData("02/07/2023");
  registrato.confermate = registrato.clienti = true;
  {
    DBEngine motore(cartella_);
    ScriviPeriodo(motore, P("anno_precedente.mdb").string(), registrato);
  }
  ScriviStatistiche({{"20240701", Valore("DBL"), Valore("Rossi"), 1, 1, "10", "10"}});

  const std::string nota = "Confronto con l'anno precedente non disponibile: ";
  struct Caso {
    const char* nome;
    ConfrontoAnnoPrecedente confronto;
    std::string nota;  // the line under the summary; its start when it ends with '*'
  };
  const Caso casi[] = {
      {"given: figures beside the period",
       StatisticheAnnoPrecedente{P("anno_precedente.mdb"), registrato.dal, registrato.al},
       "Anno precedente dal 01/07/2023 al 02/07/2023: soggiorni effettivi (prenotazioni "
       "confermate, clienti in casa + storico)."},
      {"not available", AnnoPrecedenteNonDisponibile{"file mancante."}, nota + "file mancante."},
      {"a store that is not there",
       StatisticheAnnoPrecedente{P("manca.mdb"), registrato.dal, registrato.al}, nota + "*"},
      {"a store of another period",
       StatisticheAnnoPrecedente{P("anno_precedente.mdb"), registrato.dal, registrato.dal},
       nota + "*"},
  };
  for (const Caso& c : casi) {
    SCOPED_TRACE(c.nome);
    FinestraFinta finestra;
    ASSERT_EQ(CreaReportExcel(finestra, Chiedi("01/07/2024", "02/07/2024"), c.confronto).size(),
              3u);
    const prova::CartellaLetta cartella = Cartella("REPORT_DATA.xlsx");
    const FoglioLetto& riepilogo = cartella.Foglio("Riepilogo");
    const std::string riga = riepilogo.Cella("A26").testo;
    if (c.nota.ends_with('*')) {
      EXPECT_TRUE(riga.starts_with(c.nota.substr(0, c.nota.size() - 1))) << riga;
    } else {
      EXPECT_EQ(riga, c.nota);
    }
    const bool dato = std::holds_alternative<StatisticheAnnoPrecedente>(c.confronto) &&
                      cartella.fogli.size() == 4;
    EXPECT_EQ(riepilogo.Cella("D13").tipo,
              dato ? CellaLetta::Tipo::kNumero : CellaLetta::Tipo::kVuota);
    if (dato) {
      EXPECT_DOUBLE_EQ(riepilogo.Cella("D13").numero, 1234567.89);
      EXPECT_NEAR(riepilogo.Cella("E13").numero, 10 / 1234567.89 - 1, 1e-12);
    }
    // Every figure fits its column; the line under the table runs on into the empty cells.
    for (FoglioLetto foglio : cartella.fogli) {
      if (foglio.nome == "Riepilogo") foglio.celle.erase({26, 1});
      ControllaLarghezze(foglio);
    }
  }
}

}  // namespace
}  // namespace vendrix
