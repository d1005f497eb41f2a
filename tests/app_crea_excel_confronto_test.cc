// "C&rea Excel" with last year beside the period, on small hotels whose last year is planted by
// the tests: bookings, in-house cards and history cards a year before the period.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/crea_excel_confronto.h"
#include "app/demo/hotel_demo.h"
#include "calc/calcolo.h"
#include "comune/date.h"
#include "comune/richiesta.h"
#include "data/tabelle.h"
#include "reports/report.h"
#include "tests/support/albergo_piccolo.h"
#include "tests/support/comando.h"
#include "tests/support/lettore_xlsx.h"

namespace vendrix {
namespace {

namespace fs = std::filesystem;
namespace t = tabelle;
using Muta = prova::InterfacciaRegistrata;
using prova::CellaLetta;
using prova::E;
using prova::FoglioLetto;
using prova::N;
using prova::S;

const char kNonDisponibile[] = "Confronto con l'anno precedente non disponibile: ";

// The rows of "Riepilogo" by the label in their column A.
std::map<std::string, int> RigheRiepilogo(const FoglioLetto& riepilogo) {
  std::map<std::string, int> righe;
  for (int r = 2; r <= riepilogo.UltimaRigaConValori(); ++r) {
    righe.emplace(riepilogo.Cella(r, 1).testo, r);
  }
  return righe;
}

// The first row whose column A starts with `inizio`; 0 when none does.
int RigaCheInizia(const FoglioLetto& foglio, const std::string& inizio) {
  for (int r = 1; r <= foglio.UltimaRigaConValori(); ++r) {
    if (foglio.Cella(r, 1).testo.starts_with(inizio)) return r;
  }
  return 0;
}

class ConfrontoTest : public ::testing::Test {
 public:
  void SetUp() override {
    cartella_ = albergo_.cartella();
    // The hotel's TMPDIR is its own "tmp": last year's temporary store goes there, where the
    // test can see what is left. Half board besides the breakfast.
    Metti(t::kFileArrangiamenti, t::kNomiArrangiamenti,
          {t::kNumeroHotel, t::kSigla, t::kDescrizione, t::kTipo},
          {{N(1), S("HB"), S("Mezza pensione"), S("M")}});

    // This year: a confirmed and an optional booking, both counted by the run of the period.
    Prenotazione(1, "C", "20240701", "20240702", 100);
    Prenotazione(2, "O", "20240702", "20240703", 50);
    // Last year: a confirmed booking (2 guests), an optional one that last year never counts, a
    // departed card still in the live file and a card of the history with two nights.
    Prenotazione(11, "C", "20230701", "20230702", 50);
    Prenotazione(12, "O", "20230702", "20230703", 80);
    Scheda(t::kFileSchedaCliente, t::kFileArrangiamento, 7, "101", "20230720", "20230721", 90);
    Scheda(t::kFileSchedaStorico, t::kFileArrangiamentoStorico, 23000001, "201", "20230710",
           "20230712", 60);
  }
  void TearDown() override { unsetenv("DIRSH"); }

  void Metti(const std::string& file, const char* tabella, const std::vector<std::string>& campi,
             const std::vector<std::vector<Valore>>& righe) {
    albergo_.Metti(file, tabella, campi, righe);
  }
  // A booking of one room for one night, with its charge line.
  void Prenotazione(int32_t n, const char* tipo, const char* arrivo, const char* partenza,
                    double retta) {
    Metti(t::kFileSchedaPrenotazione, t::kSchedaPrenotazione,
          {t::kNumeroHotel, t::kNumeroPrenotazione, t::kTipoPrenotazione, t::kDitta},
          {{N(1), N(n), S(tipo), S("AGENZIA")}});
    Metti(t::kFileCamerePrenotazione, t::kCamerePrenotazione,
          {t::kNumeroHotel, t::kNumeroPrenotazione, t::kNumeroCamera, t::kDataArrivo,
           t::kDataPartenza, t::kTipoCamera, t::kQuantitaCamere, t::kNumeroPersone},
          {{N(1), N(n), S("1"), S(arrivo), S(partenza), S("DBL"), N(1), N(2)}});
    Addebito(t::kFileArrangiamento, n, "*1", arrivo, partenza, retta, "BB");
  }
  // A departed guest alone in `camera`, with one charge line of `retta` per night.
  void Scheda(const std::string& schede, const std::string& addebiti, int32_t n, const char* camera,
              const char* arrivo, const char* partenza, double retta) {
    Metti(schede, t::kSchedaCliente,
          {t::kNumeroHotel, t::kNumeroProgressivo, t::kNomeCliente, t::kNumeroCamera,
           t::kDataArrivo, t::kDataPartenza, t::kDataPartenzaReale, t::kPartito,
           t::kNumeroComponente, t::kCodiceCapoFamiglia, t::kCodiceCapoGruppo},
          {{N(1), N(n), S("OSPITE"), S(camera), S(arrivo), S(partenza), S(partenza), S("S"), N(1),
            N(0), N(0)}});
    for (Giorno g = *GiornoDaChiave(arrivo); g < *GiornoDaChiave(partenza);
         g += std::chrono::days(1)) {
      const std::string da = ChiaveData(g), a = ChiaveData(g + std::chrono::days(1));
      Addebito(addebiti, n, camera, da.c_str(), a.c_str(), retta, "HB");
    }
  }
  void Addebito(const std::string& file, int32_t codice, const char* camera, const char* inizio,
                const char* fine, double importo, const char* arrangiamento) {
    Metti(file, t::kArrangiamento,
          {t::kNumeroHotel, t::kCodiceCliente, t::kNumeroCamera, t::kDataInizio, t::kDataFine,
           t::kImportoTotale, t::kDescrizione, t::kVoceAddebito, t::kArrangiamento},
          {{N(1), N(codice), S(camera), S(inizio), S(fine), E(importo), S("Pensione"), N(1),
            S(arrangiamento)}});
  }

  // This year's statistics of the period with both kinds of booking, as "Calcola" leaves them.
  Richiesta Calcola(const std::string& dal, const std::string& al) {
    Richiesta r = NuovaRichiesta(*LeggiData(dal), *LeggiData(al), cartella_);
    r.confermate = r.opzionate = true;
    Muta ui;
    CalcolaStatistiche(ui, r);
    return r;
  }
  prova::CartellaLetta Leggi(const std::string& file, const std::string& cartella = "Excel") {
    return prova::LeggiXlsx((cartella_ / cartella / file).string());
  }
  // Nothing of last year's store is left behind.
  void NienteAvanzi() {
    EXPECT_TRUE(fs::is_empty(cartella_ / "tmp"));
    for (const auto& e : fs::directory_iterator(cartella_)) {
      EXPECT_FALSE(e.path().filename().string().starts_with("vendrix-anno-precedente")) << e.path();
    }
  }

  prova::AlbergoPiccolo albergo_;
  fs::path cartella_;
};

void ControllaUguali(const FoglioLetto& a, const FoglioLetto& b) {
  EXPECT_EQ(a.nome, b.nome);
  ASSERT_EQ(a.celle.size(), b.celle.size()) << a.nome;
  for (auto i = a.celle.begin(), j = b.celle.begin(); i != a.celle.end(); ++i, ++j) {
    EXPECT_EQ(i->first, j->first) << a.nome;
    EXPECT_EQ(i->second.grezzo, j->second.grezzo) << a.nome << " " << i->first.first;
    EXPECT_EQ(i->second.formato, j->second.formato) << a.nome << " " << i->first.first;
    EXPECT_EQ(i->second.formula, j->second.formula) << a.nome << " " << i->first.first;
  }
  EXPECT_EQ(a.larghezze, b.larghezze) << a.nome;
  EXPECT_EQ(a.filtro, b.filtro) << a.nome;
  EXPECT_EQ(a.grafici.size(), b.grafici.size()) << a.nome;
}

TEST(UnAnnoPrima, IlVentinoveFebbraioDiventaIlVentotto) {
  const std::pair<const char*, const char*> casi[] = {
      {"29/02/2024", "28/02/2023"}, {"28/02/2024", "28/02/2023"}, {"01/03/2024", "01/03/2023"},
      {"31/12/2024", "31/12/2023"}, {"01/01/2025", "01/01/2024"}, {"29/02/2000", "28/02/1999"}};
  for (const auto& [oggi, atteso] : casi) {
    EXPECT_EQ(TestoData(UnAnnoPrima(*LeggiData(oggi))), atteso) << oggi;
  }
}

TEST_F(ConfrontoTest, LAnnoPrecedenteSonoISoggiorniEffettiviAccantoAlPeriodo) {
  const Richiesta r = Calcola("01/07/2024", "31/07/2024");
  Richiesta senza = r;
  senza.cartella_excel = "Senza";
  Muta ui;
  CreaReportExcel(ui, senza);
  const std::string vendrix = prova::LeggiFile(cartella_ / t::kFileVendrix);
  ASSERT_EQ(CreaExcelConConfronto(ui, r).size(), 3u);
  EXPECT_EQ(prova::LeggiFile(cartella_ / t::kFileVendrix), vendrix) << "Vendrix.mdb toccato";
  EXPECT_TRUE(ui.messaggi.empty());
  // Last year is worked out beside the report, off the caller's thread: one status text says so.
  EXPECT_EQ(ui.stati, (std::vector<std::string>{kStatoConfronto}));
  NienteAvanzi();

  const prova::CartellaLetta data = Leggi("REPORT_DATA.xlsx");
  std::vector<std::string> nomi;
  for (const FoglioLetto& f : data.fogli) nomi.push_back(f.nome);
  EXPECT_EQ(nomi, (std::vector<std::string>{"Data", "Mesi", "Riepilogo", "Data anno precedente"}));
  // The first sheet of each workbook is the one written without comparison.
  ControllaUguali(data.fogli[0], Leggi("REPORT_DATA.xlsx", "Senza").fogli[0]);
  for (const char* file : {"REPORT_TIPOCAMERA.xlsx", "REPORT_AGENZIA.xlsx"}) {
    ControllaUguali(Leggi(file).fogli.at(0), Leggi(file, "Senza").fogli.at(0));
  }

  // Last year: 4 room nights of 10 rooms x 31 days, 260.00 of revenue, 5 guests; the optional
  // booking of last year is left out although this year's run counts optional bookings.
  // Below the hotel, the period, the kinds of stay, the creation time, the first and last
  // night and the warning that the kinds of stay differ, from row 9.
  const FoglioLetto& riepilogo = data.Foglio("Riepilogo");
  const std::map<std::string, int> riga_di = RigheRiepilogo(riepilogo);
  struct Riga {
    int riga;
    const char* voce;
    double attuale, passato;
    const char* formula_passato;
  };
  const Riga righe[] = {
      {9, "Giorni", 31, 31, ""},
      {10, "Camere disponibili", 310, 310, "'Data anno precedente'!N34+'Data anno precedente'!K34"},
      {11, "Camere vendute", 2, 4, "'Data anno precedente'!K34"},
      {12, "% occupazione", 2.0 / 310, 4.0 / 310, "IF(D10=0,0,D11/D10)"},
      {13, "ADR", 75, 65, "IF(D11=0,0,ROUND(D15/D11,2))"},
      {14, "RevPar", 0.48, 0.84, "IF(D10=0,0,ROUND(D15/D10,2))"},
      {15, "Totale Retta", 150, 260, "'Data anno precedente'!G34"},
      {20, "Ospiti", 4, 5, "'Data anno precedente'!Q34"},
      {22, "RO", 0, 0, "'Data anno precedente'!B34"},
      {23, "BB", 150, 50, "'Data anno precedente'!C34"},
      {24, "HB", 0, 210, "'Data anno precedente'!D34"},
  };
  for (const Riga& w : righe) {
    SCOPED_TRACE(w.voce);
    EXPECT_EQ(riepilogo.Cella(w.riga, 1).testo, w.voce);
    EXPECT_DOUBLE_EQ(riepilogo.Cella(w.riga, 2).numero, w.attuale);
    EXPECT_DOUBLE_EQ(riepilogo.Cella(w.riga, 4).numero, w.passato);
    EXPECT_EQ(riepilogo.Cella(w.riga, 4).formula, w.formula_passato);
    const CellaLetta variazione = riepilogo.Cella(w.riga, 5);
    if (w.riga == 12) {
      EXPECT_DOUBLE_EQ(variazione.numero, (2.0 / 310 - 4.0 / 310) * 100);
      EXPECT_EQ(variazione.formula, "(B12-D12)*100");
      EXPECT_NE(variazione.formato.find("pp"), std::string::npos) << variazione.formato;
    } else if (w.passato == 0) {
      EXPECT_EQ(variazione.tipo, CellaLetta::Tipo::kVuota) << variazione.grezzo;
    } else {
      EXPECT_NEAR(variazione.numero, w.attuale / w.passato - 1, 1e-12);
      EXPECT_NE(variazione.formato.find('%'), std::string::npos) << variazione.formato;
    }
  }
  EXPECT_EQ(riepilogo.Cella("E15").formula, "IF(D15=0,\"\",B15/D15-1)");
  // The board shares: this year's in C, last year's in F, their difference in points in G.
  EXPECT_DOUBLE_EQ(riepilogo.Cella("F24").numero, 210.0 / 260);
  EXPECT_DOUBLE_EQ(riepilogo.Cella("G23").numero, (1 - 50.0 / 260) * 100);
  EXPECT_EQ(riepilogo.Cella("D3").testo, "01/07/2023 - 31/07/2023");
  EXPECT_EQ(riepilogo.Cella("A28").testo,
            "Anno precedente dal 01/07/2023 al 31/07/2023: soggiorni effettivi (prenotazioni "
            "confermate, clienti in casa + storico).");
  // This year counts optional bookings, last year actual stays: said above the figures.
  const int avviso = RigaCheInizia(riepilogo, "Attenzione: quest'anno si contano");
  EXPECT_GT(avviso, riga_di.at("Creato il"));
  EXPECT_LT(avviso, riga_di.at("Giorni"));

  // "Mesi": last year's month beside the month, and in the totals row.
  const FoglioLetto& mesi = data.Foglio("Mesi");
  const std::vector<std::string> intestazioni = {"Camere vendute AP", "% occupazione AP", "ADR AP",
                                                 "RevPar AP", "Totale Retta AP"};
  for (int c = 0; c < 5; ++c) EXPECT_EQ(mesi.Cella(1, 18 + c).testo, intestazioni[c]);
  EXPECT_EQ(mesi.filtro, "A1:AA2");
  for (int riga : {2, 4}) {
    SCOPED_TRACE(riga);
    const double attesi[] = {4, 4.0 / 310, 65, 0.84, 260};
    for (int c = 0; c < 5; ++c) EXPECT_DOUBLE_EQ(mesi.Cella(riga, 18 + c).numero, attesi[c]) << c;
  }
  // The changes after last year's figures, on the month and on the totals: relative, occupancy
  // in points.
  const std::vector<std::string> variazioni = {"Var. camere vendute", "Var. % occupazione",
                                               "Var. ADR", "Var. RevPar", "Var. Totale Retta"};
  for (int riga : {2, 4}) {
    SCOPED_TRACE(riga);
    const double attese[] = {2.0 / 4 - 1, (2.0 / 310 - 4.0 / 310) * 100, 75.0 / 65 - 1,
                             0.48 / 0.84 - 1, 150.0 / 260 - 1};
    for (int c = 0; c < 5; ++c) {
      EXPECT_EQ(mesi.Cella(1, 23 + c).testo, variazioni[c]);
      EXPECT_NEAR(mesi.Cella(riga, 23 + c).numero, attese[c], 1e-12) << variazioni[c];
      EXPECT_NE(mesi.Cella(riga, 23 + c).formato.find(c == 1 ? "pp" : "%"), std::string::npos);
    }
  }
  EXPECT_EQ(mesi.Cella("W4").formula, "IF(R4=0,\"\",K4/R4-1)");
  EXPECT_EQ(mesi.Cella("R2").formula, "SUM('Data anno precedente'!K2:K32)");
  EXPECT_EQ(mesi.Cella("V4").formula, "SUBTOTAL(109,V2:V2)");
  EXPECT_EQ(mesi.Cella("U4").formula,
            "IF(('Data anno precedente'!N34+R4)=0,0,ROUND(V4/('Data anno precedente'!N34+R4),2))");

  ASSERT_EQ(riepilogo.grafici.size(), 3u);
  for (const prova::GraficoLetto& g : riepilogo.grafici) {
    EXPECT_GT(g.colonna, 7) << g.titolo << ": on the columns of last year";
  }
  const prova::GraficoLetto& revpar = riepilogo.grafici[2];
  ASSERT_EQ(revpar.serie.size(), 2u);
  EXPECT_EQ(revpar.direzione, "col");
  EXPECT_EQ(revpar.raggruppamento, "clustered");
  EXPECT_EQ(revpar.serie[0].valori, "Mesi!$J$2");
  EXPECT_EQ(revpar.serie[1].valori, "Mesi!$U$2");
  EXPECT_EQ(revpar.serie[1].categorie, "Mesi!$A$2");
}

TEST_F(ConfrontoTest, SenzaAnnoPrecedenteICartelliSonoCompletiEDiconoPerche) {
  struct Caso {
    const char* nome;
    const char* dal;
    const char* al;
    std::function<void(ConfrontoTest&)> prepara;
    bool disponibile;
  };
  const Caso casi[] = {
      {"no stays a year before: zeros, no relative change", "01/09/2024", "30/09/2024",
       [](ConfrontoTest&) {}, true},
      {"a history file missing", "01/07/2024", "31/07/2024",
       [](ConfrontoTest& c) { fs::remove(c.cartella_ / t::kFileSchedaStorico); }, false},
      {"DIRSH pointing nowhere", "01/07/2024", "31/07/2024",
       [](ConfrontoTest& c) { setenv("DIRSH", (c.cartella_ / "manca").c_str(), 1); }, false},
  };
  for (const Caso& c : casi) {
    SCOPED_TRACE(c.nome);
    c.prepara(*this);
    const Richiesta r = Calcola(c.dal, c.al);
    Muta ui;
    ASSERT_EQ(CreaExcelConConfronto(ui, r).size(), 3u);
    NienteAvanzi();
    const prova::CartellaLetta data = Leggi("REPORT_DATA.xlsx");
    EXPECT_EQ(data.fogli.size(), c.disponibile ? 4u : 3u);
    const FoglioLetto& riepilogo = data.Foglio("Riepilogo");
    const FoglioLetto& mesi = data.Foglio("Mesi");
    const std::map<std::string, int> riga_di = RigheRiepilogo(riepilogo);
    const int riga_nota =
        RigaCheInizia(riepilogo, c.disponibile ? "Anno precedente dal" : "Confronto");
    const std::string nota = riepilogo.Cella(riga_nota, 1).testo;
    if (c.disponibile) {
      // Worked out, but without a single statistic: "n.d.", not zeros and changes against them.
      EXPECT_EQ(riepilogo.Cella(riga_di.at("Ultima notte con statistiche"), 4).testo, "n.d.");
      for (const char* voce : {"Camere vendute", "% occupazione", "Totale Retta", "Ospiti", "RO"}) {
        for (int colonna : {4, 5}) {
          EXPECT_EQ(riepilogo.Cella(riga_di.at(voce), colonna).testo, "n.d.") << voce;
        }
      }
      EXPECT_EQ(riepilogo.Cella(riga_di.at("RO"), 7).testo, "n.d.");
      EXPECT_DOUBLE_EQ(riepilogo.Cella(riga_di.at("Giorni"), 4).numero, 30);
      EXPECT_DOUBLE_EQ(mesi.Cella("S2").numero, 0);
      EXPECT_EQ(mesi.Cella("X2").testo, "n.d.");
      EXPECT_TRUE(nota.starts_with("Anno precedente dal 01/09/2023 al 30/09/2023")) << nota;
    } else {
      EXPECT_TRUE(nota.starts_with(kNonDisponibile)) << nota;
      EXPECT_GT(nota.size(), std::string(kNonDisponibile).size()) << "manca il motivo";
      for (int riga = 2; riga < riga_nota; ++riga) {
        EXPECT_EQ(riepilogo.Cella(riga, 4).tipo, CellaLetta::Tipo::kVuota) << riga;
        EXPECT_EQ(riepilogo.Cella(riga, 5).tipo, CellaLetta::Tipo::kVuota) << riga;
      }
      for (const char* cella : {"R2", "S2", "V2", "R4", "V4", "W2", "AA4"}) {
        EXPECT_EQ(mesi.Cella(cella).tipo, CellaLetta::Tipo::kVuota) << cella;
      }
    }
    unsetenv("DIRSH");
  }
}

TEST_F(ConfrontoTest, UnPeriodoCheToccaIlVentinoveFebbraioPrendeIlVentotto) {
  // The one stay of last year in February: the night of 28/02/2023.
  Scheda(t::kFileSchedaStorico, t::kFileArrangiamentoStorico, 23000002, "201", "20230228",
         "20230301", 70);
  struct Caso {
    const char* dal;
    const char* al;
    const char* periodo_passato;
    double giorni_passati;
  };
  const Caso casi[] = {
      {"01/02/2024", "29/02/2024", "01/02/2023 - 28/02/2023", 28},
      {"29/02/2024", "29/02/2024", "28/02/2023 - 28/02/2023", 1},
  };
  for (const Caso& c : casi) {
    SCOPED_TRACE(c.dal);
    Muta ui;
    CreaExcelConConfronto(ui, Calcola(c.dal, c.al));
    const prova::CartellaLetta data = Leggi("REPORT_DATA.xlsx");
    const FoglioLetto& riepilogo = data.Foglio("Riepilogo");
    const std::map<std::string, int> riga_di = RigheRiepilogo(riepilogo);
    EXPECT_EQ(riepilogo.Cella(riga_di.at("Periodo"), 4).testo, c.periodo_passato);
    EXPECT_DOUBLE_EQ(riepilogo.Cella(riga_di.at("Giorni"), 4).numero, c.giorni_passati);
    EXPECT_DOUBLE_EQ(riepilogo.Cella(riga_di.at("Totale Retta"), 4).numero, 70);
    EXPECT_DOUBLE_EQ(data.Foglio("Mesi").Cella("V2").numero, 70);
    // February 2024 as a date on its first day: 45323 days after 30/12/1899.
    EXPECT_DOUBLE_EQ(data.Foglio("Mesi").Cella("A2").numero, 45323);
  }
}

// What the window tells beside the workbooks: why last year is missing, as the sheet says it.
TEST_F(ConfrontoTest, ThePathsComeWithWhyLastYearIsMissing) {
  std::string motivo = "(not written)";
  Muta ui;
  CreaExcelConConfronto(ui, Calcola("01/07/2024", "31/07/2024"), &motivo);
  EXPECT_EQ(motivo, "") << "last year there";
  CreaExcelConConfronto(ui, Calcola("01/09/2024", "30/09/2024"), &motivo);
  EXPECT_EQ(motivo, "nessun soggiorno nei file dell'hotel dal 01/09/2023 al 30/09/2023.");
  fs::remove(cartella_ / t::kFileSchedaStorico);
  CreaExcelConConfronto(ui, Calcola("01/07/2024", "31/07/2024"), &motivo);
  const FoglioLetto riepilogo = Leggi("REPORT_DATA.xlsx").Foglio("Riepilogo");
  const std::string nota = riepilogo.Cella(RigaCheInizia(riepilogo, "Confronto"), 1).testo;
  EXPECT_EQ(kNonDisponibile + motivo, nota);
}

}  // namespace
}  // namespace vendrix
