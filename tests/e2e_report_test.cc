// "calcola" then "excel" with vendrix-batch on a sample hotel: the three workbooks agree with the
// statistics table they come from, and a spreadsheet application opens them.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "app/demo/hotel_demo.h"
#include "data/dbengine.h"
#include "data/tabelle.h"
#include "tests/support/comando.h"
#include "tests/support/lettore_xlsx.h"

namespace vendrix {
namespace {

namespace fs = std::filesystem;
using prova::CellaLetta;
using prova::FoglioLetto;

using prova::Esito;
using prova::Shell;

Esito Batch(const fs::path& cartella, const std::vector<std::string>& argomenti) {
  return prova::EseguiBatch(cartella, argomenti);
}

Valuta Importo(const CellaLetta& c) { return Valuta::DaDouble(c.numero); }

// A sum over the statistics rows of hotel 1 that satisfy `condizione`, through the engine.
Valore Somma(const fs::path& cartella, const std::string& campo, const std::string& condizione) {
  // The other files an SQL text names are found in the working folder.
  struct CartellaDiLavoro {
    explicit CartellaDiLavoro(const fs::path& c) : prima(fs::current_path()) {
      fs::current_path(c);
    }
    ~CartellaDiLavoro() { fs::current_path(prima); }
    fs::path prima;
  } qui(cartella);
  DBEngine motore;
  auto db = motore.OpenDatabase(tabelle::kFileVendrix);
  auto rs = db->OpenRecordset("Select NumeroHotel,sum(" + campo + ") as S From Vendrix" +
                              (condizione.empty() ? "" : " Where " + condizione) +
                              " Group by NumeroHotel");
  rs->FindFirst("NumeroHotel = 1");
  Valore v = rs->NoMatch() ? Valore() : rs->Fields("S").Value();
  rs->Close();
  db->Close();
  return v;
}

class ReportBatchTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char modello[] = "/tmp/vendrix_e2e_report_XXXXXX";
    ASSERT_NE(mkdtemp(modello), nullptr);
    albergo_ = new fs::path(modello);
    demo::OpzioniDemo opzioni;
    opzioni.camere = 20;
    opzioni.giorni = 40;
    opzioni.dal = "01/01/2024";
    opzioni.giorni_storico = 30;
    riepilogo_ = demo::ScriviHotelDemo(albergo_->string(), opzioni);
    unsetenv("DIRSH");
    calcola_ = Batch(*albergo_, {"calcola", "01/01/2024", "31/01/2024", "--confermate",
                                 "--opzionate", "--clienti"});
    excel_ = Batch(*albergo_, {"excel", "01/01/2024", "31/01/2024", "--cartella",
                               (*albergo_ / "uscita").string()});
  }
  static void TearDownTestSuite() {
    std::error_code e;
    fs::remove_all(*albergo_, e);
    delete albergo_;
  }

  static FoglioLetto Foglio(const std::string& file) {
    auto letta = prova::LeggiXlsx((*albergo_ / "uscita" / file).string());
    EXPECT_EQ(letta.fogli.size(), 1u);
    return letta.fogli.at(0);
  }

  static fs::path* albergo_;
  static demo::RiepilogoDemo riepilogo_;
  static Esito calcola_, excel_;
};

fs::path* ReportBatchTest::albergo_ = nullptr;
demo::RiepilogoDemo ReportBatchTest::riepilogo_;
Esito ReportBatchTest::calcola_, ReportBatchTest::excel_;

TEST_F(ReportBatchTest, ExcelScriveITreFileEStampaIPercorsi) {
  ASSERT_EQ(calcola_.codice, 0) << calcola_.err;
  ASSERT_EQ(excel_.codice, 0) << excel_.err;
  std::string attesi;
  for (const char* nome : {"REPORT_DATA.xlsx", "REPORT_TIPOCAMERA.xlsx", "REPORT_AGENZIA.xlsx"}) {
    const fs::path file = *albergo_ / "uscita" / nome;
    EXPECT_TRUE(prova::EFileZip(file.string())) << file;
    attesi += file.string() + "\n";
  }
  EXPECT_EQ(excel_.out, attesi);
}

TEST_F(ReportBatchTest, IFogliTornanoConLaTabellaStatistiche) {
  ASSERT_EQ(excel_.codice, 0) << excel_.err;
  const Valuta retta = Somma(*albergo_, "TotRetta", "").ComeValuta();
  const int64_t camere = Somma(*albergo_, "TotCamOcc", "").Intero();
  const int64_t pax = Somma(*albergo_, "TotPax", "").Intero();
  ASSERT_GT(camere, 0) << "il calcolo non ha prodotto statistiche";

  // Daily sheet: 31 days, every sale of the period on one of them.
  FoglioLetto data = Foglio("REPORT_DATA.xlsx");
  EXPECT_EQ(data.UltimaRigaConValori(), 32);
  Valuta g;
  int64_t k = 0, q = 0;
  for (int riga = 2; riga <= 32; ++riga) {
    char giorno[11];
    std::snprintf(giorno, sizeof giorno, "%02d/01/2024", riga - 1);
    EXPECT_EQ(data.Cella(riga, 1).testo, giorno);
    g += Importo(data.Cella(riga, 7));
    k += static_cast<int64_t>(data.Cella(riga, 11).numero);
    q += static_cast<int64_t>(data.Cella(riga, 17).numero);
    // Free rooms are the hotel's bedrooms less the occupied ones.
    EXPECT_EQ(data.Cella(riga, 14).numero + data.Cella(riga, 11).numero,
              static_cast<double>(riepilogo_.camere_letto))
        << riga;
  }
  EXPECT_EQ(g, retta);
  EXPECT_EQ(k, camere);
  EXPECT_EQ(q, pax);

  // Room-type sheet: the sales of the rows whose type is a bedroom type of the hotel.
  const Valuta retta_tipi =
      Somma(*albergo_, "TotRetta",
            "TipoCamera In (Select Sigla From TipiCamere In 'TipiCamere.mdb' Where "
            "NumeroHotel = 1 and Tipologia = 'C')")
          .ComeValuta();
  FoglioLetto tipi = Foglio("REPORT_TIPOCAMERA.xlsx");
  Valuta g_tipi;
  int64_t capacita = 0;
  for (int riga = 2; riga <= tipi.UltimaRigaConValori(); ++riga) {
    g_tipi += Importo(tipi.Cella(riga, 7));
    capacita += static_cast<int64_t>(tipi.Cella(riga, 14).numero + tipi.Cella(riga, 11).numero);
  }
  EXPECT_EQ(g_tipi, retta_tipi);
  EXPECT_EQ(capacita, riepilogo_.camere_letto * 31);

  // Agency sheet: every row with an agency text, a blank one included.
  const Valore retta_agenzie = Somma(*albergo_, "TotRetta", "Agenzia >= ' '");
  FoglioLetto agenzie = Foglio("REPORT_AGENZIA.xlsx");
  Valuta g_agenzie;
  for (int riga = 2; riga <= agenzie.UltimaRigaConValori(); ++riga) {
    g_agenzie += Importo(agenzie.Cella(riga, 8));
  }
  EXPECT_EQ(g_agenzie, retta_agenzie.IsNull() ? Valuta() : retta_agenzie.ComeValuta());
}

TEST_F(ReportBatchTest, SenzaStatisticheExcelFallisceESpiegaCosaFare) {
  const fs::path vuota = *albergo_ / "senza_statistiche";
  fs::create_directories(vuota);
  for (const char* file : {tabelle::kFileTipiCamere}) fs::copy_file(*albergo_ / file, vuota / file);
  Esito esito = Batch(vuota, {"excel", "01/01/2024", "31/01/2024", "--cartella", "Excel"});
  EXPECT_EQ(esito.codice, 1);
  EXPECT_NE(esito.err.find("esegui prima `vendrix-batch calcola`"), std::string::npos) << esito.err;
  EXPECT_EQ(esito.out, "");
  EXPECT_FALSE(fs::exists(vuota / "Excel"));
}

// A spreadsheet application opens the three files: LibreOffice, when it is installed, converts
// each to CSV and finds the headings and one row per day.
TEST_F(ReportBatchTest, LibreOfficeApreITreFile) {
  std::string programma;
  for (const char* nome : {"soffice", "libreoffice"}) {
    if (Shell(*albergo_, std::string("command -v ") + nome).codice == 0) {
      programma = nome;
      break;
    }
  }
  if (programma.empty()) GTEST_SKIP() << "LibreOffice non installato";
  ASSERT_EQ(excel_.codice, 0) << excel_.err;
  const fs::path csv = *albergo_ / "csv";
  fs::create_directories(csv);
  std::string comando =
      programma + " -env:UserInstallation=file://" + (*albergo_ / "profilo").string() +
      " --headless --norestore --convert-to csv --outdir " + prova::QuotaShell(csv.string());
  for (const char* nome : {"REPORT_DATA.xlsx", "REPORT_TIPOCAMERA.xlsx", "REPORT_AGENZIA.xlsx"}) {
    comando += " " + prova::QuotaShell((*albergo_ / "uscita" / nome).string());
  }
  Esito esito = Shell(*albergo_, "timeout 300 " + comando);
  ASSERT_EQ(esito.codice, 0) << esito.out << esito.err;

  struct Atteso {
    const char* file;
    const char* intestazione;
    int righe;  // -1: not checked
  };
  const Atteso attesi[] = {
      {"REPORT_DATA.csv",
       "Data,RO,BB,HB,FB,Supplementi,Totale Retta,ADR,% occupazione,RevPar,Camere occupate,"
       "% occupazione agenzia,Camere occupate agenzia,Camere libere,Entrata media per ospite,"
       "Extra,Tot Pax",
       32},
      {"REPORT_TIPOCAMERA.csv",
       "Tipo camera,RO,BB,HB,FB,Supplementi,Totale Retta,ADR,% occupazione,RevPar,"
       "Camere occupate,% occupazione agenzia,Camere occupate agenzia,Camere libere,"
       "Entrata media per ospite,Extra,Tot Pax",
       -1},
      {"REPORT_AGENZIA.csv",
       "Agenzia,Tipo camera,RO,BB,HB,FB,Supplementi,Totale Retta,ADR,% occupazione,RevPar,"
       "Camere occupate,Camere libere,Entrata media per ospite,Extra,Tot Pax",
       -1},
  };
  for (const Atteso& a : attesi) {
    SCOPED_TRACE(a.file);
    std::istringstream righe(prova::LeggiFile(csv / a.file));
    std::string riga;
    ASSERT_TRUE(std::getline(righe, riga)) << "file CSV vuoto o mancante";
    EXPECT_EQ(riga, a.intestazione);
    int n = 1;
    std::string ultima;
    while (std::getline(righe, riga)) {
      ++n;
      ultima = riga;
    }
    if (a.righe > 0) {
      EXPECT_EQ(n, a.righe);
      EXPECT_EQ(ultima.substr(0, 11), "31/01/2024,");
    }
  }
}

}  // namespace
}  // namespace vendrix
