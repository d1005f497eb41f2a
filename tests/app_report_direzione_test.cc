// The manager's report on small hotels whose stays the test plants around yesterday: every
// figure read back from the workbook against sums the test works out from the same stays.

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "app/crea_report_direzione.h"
#include "comune/date.h"
#include "comune/richiesta.h"
#include "data/cartella_temporanea.h"
#include "data/errore.h"
#include "reports/report_direzione.h"
#include "tests/support/albergo_piccolo.h"
#include "tests/support/comando.h"
#include "tests/support/lettore_xlsx.h"

namespace vendrix {
namespace {

namespace fs = std::filesystem;
using prova::G;
using prova::SoggiornoPiantato;
using P = SoggiornoPiantato;
using std::chrono::days;

class Muta : public Interfaccia {
 public:
  void ImpostaStato(const std::string&) override {}
  void MsgBox(const std::string&, const std::string&) override {}
};

// Stays around day `g` this year and the same dates last year.
std::vector<SoggiornoPiantato> Soggiorni(Giorno g) {
  const auto k = [&](int d) { return ChiaveData(g + days(d)); };
  const auto ka = [&](int d) { return ChiaveData(UnAnnoPrima(g) + days(d)); };
  return {
      {P::kScheda, "", "101", k(-2), k(3), 2, 100, 10, "Booking.com srl", "N"},
      {P::kScheda, "", "201", k(-6), k(1), 1, 60, 0, "Rossi Viaggi"},
      {P::kStorico, "", "102", k(-45), k(-41), 2, 80, 5, ""},
      {P::kStorico, "", "201", ka(-1), ka(2), 1, 70, 0, "Booking.com srl"},
      {P::kStorico, "", "101", ka(-30), ka(-27), 2, 90, 0, ""},
      {P::kStorico, "", "102", ka(3), ka(6), 2, 95, 0, "Expedia"},
      {P::kPrenotazione, "C", "102", k(5), k(8), 2, 120, 0, "Expedia"},
      {P::kPrenotazione, "O", "201", k(10), k(12), 1, 80, 0, "Tour Sud"},
      {P::kPrenotazione, "D", "101", k(40), k(43), 2, 110, 0, ""},
      // A booking of past nights that never became a card counts nowhere.
      {P::kPrenotazione, "C", "201", k(-3), k(-2), 1, 999, 0, ""},
  };
}

enum class Conta { kEffettive, kConfermate, kOpzionate };

struct Cifre {
  int64_t camere = 0, ospiti = 0, arrivi = 0, partenze = 0, notti_partiti = 0;
  double retta = 0;
};

// What the stays give over the nights a..b by the rule: cards are actual, and on the books
// after the reference day with the confirmed bookings; optional bookings apart. `segmento`, when
// given, keeps the stays whose agency it accepts.
Cifre Somma(const std::vector<SoggiornoPiantato>& stays, Giorno a, Giorno b, Conta conta,
            const std::function<bool(const std::string&)>& segmento = {}) {
  Cifre c;
  for (const SoggiornoPiantato& s : stays) {
    const bool scheda = s.fonte != P::kPrenotazione;
    const bool opzione = std::string(s.tipo_prenotazione) == "O";
    if (conta == Conta::kEffettive && !scheda) continue;
    if (conta == Conta::kConfermate && !scheda && opzione) continue;
    if (conta == Conta::kOpzionate && !opzione) continue;
    if (segmento && !segmento(s.agenzia)) continue;
    for (Giorno n = a; n <= b; n += days(1)) {
      if (!s.Copre(n)) continue;
      c.camere += 1;
      c.ospiti += s.ospiti;
      c.retta += s.retta_notte + s.extra_notte;
    }
    if (!scheda) continue;
    const Giorno ultima = G(s.partenza) - days(1);
    if (a <= G(s.arrivo) && G(s.arrivo) <= b) ++c.arrivi;
    if (a <= ultima && ultima <= b) {
      ++c.partenze;
      c.notti_partiti += s.Notti();
    }
  }
  return c;
}

double Rapporto(double a, double b) { return b == 0 ? 0 : a / b; }

// The row of `foglio` whose column A holds `etichetta`, from row `da`; 0 when none.
int Riga(const prova::FoglioLetto& foglio, const std::string& etichetta, int da = 1) {
  for (int r = da; r <= foglio.UltimaRigaConValori(); ++r) {
    if (foglio.Cella(r, 1).testo.rfind(etichetta, 0) == 0) return r;
  }
  return 0;
}

class ReportDirezioneTest : public ::testing::Test {
 protected:
  prova::CartellaLetta Scrivi(Giorno giorno) {
    Richiesta r = NuovaRichiesta(giorno, giorno, albergo_.cartella());
    Muta ui;
    const std::string percorso = CreaReportDirezione(ui, r, giorno);
    EXPECT_EQ(fs::path(percorso),
              albergo_.cartella() / "Excel" / ("REPORT_DIREZIONE_" + ChiaveData(giorno) + ".xlsx"));
    // Nothing of the private stores is left, and Vendrix.mdb was never made.
    EXPECT_TRUE(fs::is_empty(albergo_.cartella() / "tmp"));
    EXPECT_FALSE(fs::exists(albergo_.cartella() / "Vendrix.mdb"));
    return prova::LeggiXlsx(percorso);
  }
  prova::AlbergoPiccolo albergo_;
};

TEST_F(ReportDirezioneTest, OgniCifraDiIeriDelMeseEDellAnnoAccantoAllAnnoPrecedente) {
  const Giorno g = IeriLocale();
  const auto stays = Soggiorni(g);
  albergo_.Pianta(stays);
  std::ofstream(albergo_.cartella() / "VendrixSegmenti.txt") << "Booking\tOTA\nExpedia\tOTA\n";
  const prova::CartellaLetta cartella = Scrivi(g);
  ASSERT_EQ(cartella.fogli.size(), 3u);
  EXPECT_EQ(cartella.fogli[0].nome, "Direzione");
  const prova::FoglioLetto& d = cartella.Foglio("Direzione");

  const std::chrono::year_month_day ymd(g);
  const Giorno mese = Giorno(ymd.year() / ymd.month() / 1);
  const Giorno anno = Giorno(ymd.year() / 1 / 1);
  const Giorno fine_mese = Giorno(ymd.year() / ymd.month() / std::chrono::last);
  const int intestazione = Riga(d, "Voce");
  ASSERT_GT(intestazione, 0);
  const std::vector<std::string> titoli = {"Voce",         "Giorno",   "Giorno AP", "Var. giorno",
                                           "Mese ad oggi", "Mese AP",  "Var. mese", "Anno ad oggi",
                                           "Anno AP",      "Var. anno"};
  for (size_t c = 0; c < titoli.size(); ++c) {
    EXPECT_EQ(d.Cella(intestazione, static_cast<int>(c) + 1).testo, titoli[c]);
  }
  EXPECT_GT(Riga(d, "Prenotazioni al "), 0);

  // Column of each span, this year and last.
  const struct {
    int colonna;
    Giorno a, b;
  } kColonne[] = {
      {2, g, g},    {3, UnAnnoPrima(g), UnAnnoPrima(g)},
      {5, mese, g}, {6, UnAnnoPrima(mese), UnAnnoPrima(g)},
      {8, anno, g}, {9, UnAnnoPrima(anno), UnAnnoPrima(g)},
  };
  const auto ota = [](const std::string& a) {
    return a.find("Booking") != std::string::npos || a.find("Expedia") != std::string::npos;
  };
  for (const auto& k : kColonne) {
    SCOPED_TRACE("colonna " + std::to_string(k.colonna));
    const Cifre c = Somma(stays, k.a, k.b, Conta::kEffettive);
    const double disponibili = 10.0 * ((k.b - k.a).count() + 1);
    const auto cifra = [&](const char* etichetta) {
      const int r = Riga(d, etichetta, intestazione);
      EXPECT_GT(r, 0) << etichetta;
      return d.Cella(r, k.colonna).numero;
    };
    EXPECT_EQ(cifra("Camere disponibili"), disponibili);
    EXPECT_EQ(cifra("Camere vendute"), c.camere);
    EXPECT_NEAR(cifra("Totale Retta"), c.retta, 0.005);
    EXPECT_NEAR(cifra("% occupazione"), c.camere / disponibili, 1e-9);
    EXPECT_NEAR(cifra("ADR"), Rapporto(c.retta, c.camere), 0.006);
    EXPECT_NEAR(cifra("RevPar"), c.retta / disponibili, 0.006);
    EXPECT_EQ(cifra("Ospiti"), c.ospiti);
    EXPECT_EQ(cifra("Arrivi"), c.arrivi);
    EXPECT_EQ(cifra("Partenze"), c.partenze);
    EXPECT_NEAR(cifra("Durata media del soggiorno"), Rapporto(c.notti_partiti, c.partenze), 1e-9);
    EXPECT_NEAR(cifra("Ospiti per camera"), Rapporto(c.ospiti, c.camere), 1e-9);
    EXPECT_NEAR(cifra("OTA"), Somma(stays, k.a, k.b, Conta::kEffettive, ota).retta, 0.005);
  }
  // The change of the day: relative for amounts, "n.d." where last year has nothing.
  const int vendute = Riga(d, "Camere vendute", intestazione);
  const Cifre oggi = Somma(stays, g, g, Conta::kEffettive);
  const Cifre prima = Somma(stays, UnAnnoPrima(g), UnAnnoPrima(g), Conta::kEffettive);
  ASSERT_GT(prima.camere, 0);
  EXPECT_NEAR(d.Cella(vendute, 4).numero, double(oggi.camere) / prima.camere - 1, 1e-9);
  EXPECT_EQ(d.Cella(Riga(d, "Altre agenzie", intestazione), 4).testo, "n.d.");

  // The month's forecast: actual to g, then what is on the books to the month's end.
  const int previsione = Riga(d, "Previsione del mese");
  ASSERT_GT(previsione, 0);
  const int righe_previsione[] = {Riga(d, "Camere vendute", previsione),
                                  Riga(d, "Totale Retta", previsione)};
  const Cifre effettivo = Somma(stays, mese, g, Conta::kEffettive);
  const Cifre confermato = Somma(stays, g + days(1), fine_mese, Conta::kConfermate);
  const Cifre opzionato = Somma(stays, g + days(1), fine_mese, Conta::kOpzionate);
  const Cifre ap = Somma(stays, UnAnnoPrima(mese), UnAnnoPrima(fine_mese), Conta::kEffettive);
  EXPECT_EQ(d.Cella(righe_previsione[0], 2).numero, effettivo.camere);
  EXPECT_EQ(d.Cella(righe_previsione[0], 3).numero, confermato.camere);
  EXPECT_EQ(d.Cella(righe_previsione[0], 4).numero, effettivo.camere + confermato.camere);
  EXPECT_EQ(d.Cella(righe_previsione[0], 5).numero, opzionato.camere);
  EXPECT_EQ(d.Cella(righe_previsione[0], 6).numero, ap.camere);
  EXPECT_NEAR(d.Cella(righe_previsione[1], 4).numero, effettivo.retta + confermato.retta, 0.005);
  EXPECT_NEAR(d.Cella(righe_previsione[1], 5).numero, opzionato.retta, 0.005);
  EXPECT_GT(Riga(d, "Previsione dell'anno", previsione), 0);

  // "Prossimi giorni", night by night from g + 1.
  const prova::FoglioLetto& p = cartella.Foglio("Prossimi giorni");
  for (int i = 0; i < kNottiProssimiGiorni; ++i) {
    const Giorno n = g + days(i + 1);
    SCOPED_TRACE(TestoData(n));
    const int r = i + 2;
    const Cifre conf = Somma(stays, n, n, Conta::kConfermate);
    const Cifre opz = Somma(stays, n, n, Conta::kOpzionate);
    const Cifre prec = Somma(stays, UnAnnoPrima(n), UnAnnoPrima(n), Conta::kEffettive);
    ASSERT_EQ(p.Cella(r, 1).testo, TestoData(n));
    EXPECT_EQ(p.Cella(r, 2).numero, conf.camere);
    EXPECT_EQ(p.Cella(r, 3).numero, opz.camere);
    EXPECT_NEAR(p.Cella(r, 4).numero, conf.camere / 10.0, 1e-9);
    EXPECT_NEAR(p.Cella(r, 5).numero, conf.retta, 0.005);
    EXPECT_NEAR(p.Cella(r, 6).numero, opz.retta, 0.005);
    EXPECT_EQ(p.Cella(r, 7).numero, prec.camere);
    EXPECT_NEAR(p.Cella(r, 9).numero, prec.retta, 0.005);
  }
  const int totale = Riga(p, "Totale");
  EXPECT_EQ(p.Cella(totale, 2).numero,
            Somma(stays, g + days(1), g + days(90), Conta::kConfermate).camere);
  EXPECT_EQ(p.Cella(Riga(p, "Prossime 7 notti"), 2).numero,
            Somma(stays, g + days(1), g + days(7), Conta::kConfermate).camere);
  ASSERT_EQ(p.grafici.size(), 1u);

  // "Segmenti": the year by segment, and the next 30 nights on the books.
  const prova::FoglioLetto& s = cartella.Foglio("Segmenti");
  const int blocco_anno = Riga(s, "Anno ad oggi");
  const int blocco_30 = Riga(s, "Prossime 30 notti");
  ASSERT_GT(blocco_anno, 0);
  ASSERT_GT(blocco_30, 0);
  const struct {
    const char* segmento;
    std::function<bool(const std::string&)> accetta;
  } kSegmenti[] = {
      {"Diretto", [](const std::string& a) { return a.empty(); }},
      {"OTA", ota},
      {"Altre agenzie", [&](const std::string& a) { return !a.empty() && !ota(a); }},
  };
  for (const auto& seg : kSegmenti) {
    SCOPED_TRACE(seg.segmento);
    const int ra = Riga(s, seg.segmento, blocco_anno);
    EXPECT_NEAR(s.Cella(ra, 3).numero, Somma(stays, anno, g, Conta::kEffettive, seg.accetta).retta,
                0.005);
    EXPECT_NEAR(
        s.Cella(ra, 7).numero,
        Somma(stays, UnAnnoPrima(anno), UnAnnoPrima(g), Conta::kEffettive, seg.accetta).retta,
        0.005);
    const int r30 = Riga(s, seg.segmento, blocco_30);
    EXPECT_EQ(s.Cella(r30, 2).numero,
              Somma(stays, g + days(1), g + days(30), Conta::kConfermate, seg.accetta).camere);
    EXPECT_NEAR(s.Cella(r30, 12).numero,
                Somma(stays, g + days(1), g + days(30), Conta::kOpzionate, seg.accetta).retta,
                0.005);
  }
}

TEST_F(ReportDirezioneTest, GiorniParticolariEFileMancanti) {
  const Giorno ieri = IeriLocale();
  const struct {
    const char* caso;
    Giorno giorno;
    std::function<void(prova::AlbergoPiccolo&)> prepara;
    std::function<void(const prova::CartellaLetta&)> controlla;
  } kCasi[] = {
      {"un giorno passato: senza prenotazioni, e perché", ieri - days(10),
       [&](prova::AlbergoPiccolo& a) { a.Pianta(Soggiorni(ieri - days(10))); },
       [](const prova::CartellaLetta& c) {
         const prova::FoglioLetto& d = c.Foglio("Direzione");
         EXPECT_GT(Riga(d, "Prenotazioni e previsioni non incluse"), 0);
         EXPECT_EQ(Riga(d, "Previsione del mese"), 0);
         EXPECT_NE(c.Foglio("Prossimi giorni").Cella(2, 1).testo.find("non incluse"),
                   std::string::npos);
       }},
      {"29 febbraio: l'anno prima è il 28", G("20240229"),
       [](prova::AlbergoPiccolo& a) {
         a.Pianta({P::kStorico, "", "101", "20230228", "20230301", 2, 50, 0, ""});
       },
       [](const prova::CartellaLetta& c) {
         const prova::FoglioLetto& d = c.Foglio("Direzione");
         const int r = Riga(d, "Camere vendute", Riga(d, "Voce"));
         EXPECT_EQ(d.Cella(r, 2).numero, 0);
         EXPECT_EQ(d.Cella(r, 3).numero, 1);
         EXPECT_EQ(d.Cella(r, 6).numero, 1);  // the month of February last year
       }},
      {"prima di ogni statistica: zeri e n.d.", G("19990105"), [](prova::AlbergoPiccolo&) {},
       [](const prova::CartellaLetta& c) {
         const prova::FoglioLetto& d = c.Foglio("Direzione");
         const int r = Riga(d, "ADR", Riga(d, "Voce"));
         EXPECT_EQ(d.Cella(r, 2).numero, 0);
         EXPECT_EQ(d.Cella(r, 4).testo, "n.d.");
       }},
      {"storico mancante: il resto c'è, e lo dice", ieri,
       [&](prova::AlbergoPiccolo& a) {
         a.Pianta(Soggiorni(ieri));
         fs::remove(a.cartella() / "SchedaStoricoClienti.mdb");
       },
       [&](const prova::CartellaLetta& c) {
         const prova::FoglioLetto& d = c.Foglio("Direzione");
         EXPECT_GT(Riga(d, "Non disponibile: Storico clienti non disponibile: manca il file"), 0);
         // The in-house cards still count, and the bookings.
         const int r = Riga(d, "Camere vendute", Riga(d, "Voce"));
         EXPECT_EQ(d.Cella(r, 2).numero, 2);
         EXPECT_EQ(c.Foglio("Prossimi giorni").Cella(7, 2).numero, 1);
       }},
  };
  for (const auto& caso : kCasi) {
    SCOPED_TRACE(caso.caso);
    prova::AlbergoPiccolo albergo;
    caso.prepara(albergo);
    Richiesta r = NuovaRichiesta(caso.giorno, caso.giorno, albergo.cartella());
    Muta ui;
    caso.controlla(prova::LeggiXlsx(CreaReportDirezione(ui, r, caso.giorno)));
  }
  // A night that has not ended is refused before anything is written.
  Richiesta r = NuovaRichiesta(ieri + days(1), ieri + days(1), albergo_.cartella());
  Muta ui;
  EXPECT_THROW(CreaReportDirezione(ui, r, ieri + days(1)), Errore);
  EXPECT_FALSE(fs::exists(albergo_.cartella() / "Excel"));
}

// Coming nights beside last year's: every block of nights ("Totale", "Prossime N notti", the
// segments' blocks) holds last year's figures of the same nights as the rows that show them,
// whichever of the two years has a 29 February. Last year's rooms differ night by night, so a
// night counted twice or left out shows.
TEST(ReportDirezione, BlocchiDiNottiAccantoAlleStesseNottiDellAnnoPrima) {
  for (const Giorno g : {G("20280215"), G("20290215")}) {
    SCOPED_TRACE(TestoData(g));
    DatiDirezione dati;
    dati.giorno = g;
    dati.segmenti = {"Diretto"};
    Portafoglio& p = dati.portafoglio;
    std::tie(p.dal, p.al) = NottiReportDirezione(g);
    p.riferimento = g;
    p.tipi_camere = {{"DBL", 20}};
    for (Giorno n = p.dal; n <= p.al; n += days(1)) {
      p.righe.push_back(
          {n, n <= g ? StatoNotte::kEffettiva : StatoNotte::kConfermata, "DBL", "Diretto", {}});
      p.righe.back().cifre.camere = 1 + unsigned(std::chrono::year_month_day(n).day()) % 9;
    }
    const CartellaTemporanea cartella;
    const prova::CartellaLetta c =
        prova::LeggiXlsx(ScriviReportDirezione(dati, cartella.Percorso()));
    const prova::FoglioLetto& f = c.Foglio("Prossimi giorni");
    const auto ap_delle_righe = [&](int notti) {
      double somma = 0;
      for (int r = 2; r < 2 + notti; ++r) somma += f.Cella(r, 7).numero;
      return somma;
    };
    for (const auto& [blocco, notti] : {std::pair{"Totale", 90},
                                        {"Prossime 7 notti", 7},
                                        {"Prossime 30 notti", 30},
                                        {"Prossime 90 notti", 90}}) {
      SCOPED_TRACE(blocco);
      const int r = Riga(f, blocco);
      EXPECT_EQ(f.Cella(r, 7).numero, ap_delle_righe(notti));
      EXPECT_NEAR(f.Cella(r, 8).numero, ap_delle_righe(notti) / (20.0 * notti), 1e-12);
    }
    const prova::FoglioLetto& s = c.Foglio("Segmenti");
    EXPECT_EQ(s.Cella(Riga(s, "Totale", Riga(s, "Prossime 30 notti")), 6).numero,
              ap_delle_righe(30));
  }
}

TEST_F(ReportDirezioneTest, VendrixBatchDirezione) {
  albergo_.Pianta(Soggiorni(G("20240310")));
  const prova::Esito esito =
      prova::EseguiBatch(albergo_.cartella(), {"direzione", "10/03/2024", "--cartella", "out"});
  ASSERT_EQ(esito.codice, 0) << esito.err;
  const fs::path atteso = albergo_.cartella() / "out" / "REPORT_DIREZIONE_20240310.xlsx";
  EXPECT_EQ(esito.out, atteso.string() + "\n");
  EXPECT_TRUE(fs::exists(atteso));
  // A second run for the same day replaces the file, leaving no temporary beside it.
  ASSERT_EQ(prova::EseguiBatch(albergo_.cartella(), {"direzione", "10032024", "--cartella", "out"})
                .codice,
            0);
  EXPECT_EQ(
      std::distance(fs::directory_iterator(albergo_.cartella() / "out"), fs::directory_iterator()),
      2);  // the workbook and the folder's lock file
  for (const std::vector<std::string>& sbagliati :
       std::vector<std::vector<std::string>>{{"direzione", "31/02/2024"},
                                             {"direzione", "01/01/2024", "02/01/2024"},
                                             {"direzione", "--cartella"}}) {
    EXPECT_EQ(prova::EseguiBatch(albergo_.cartella(), sbagliati).codice, 2);
  }
  const std::string domani = TestoData(IeriLocale() + days(2));
  EXPECT_EQ(prova::EseguiBatch(albergo_.cartella(), {"direzione", domani}).codice, 1);
}

}  // namespace
}  // namespace vendrix
