// One calculation at a time per hotel folder: vendrix-batch runs started together, a run killed
// while it works, and the window refused while another run holds the folder.

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <string>
#include <vector>

#include "app/demo/hotel_demo.h"
#include "calc/calcolo.h"
#include "comune/date.h"
#include "data/archivio.h"
#include "data/blocco_cartella.h"
#include "data/dbengine.h"
#include "data/tabelle.h"
#include "reports/report.h"
#include "tests/support/cartella_prova.h"
#include "tests/support/comando.h"
#include "ui/vendrix_dt.h"

namespace vendrix {
namespace {

namespace fs = std::filesystem;
using prova::Esito;

const std::string kBatch = std::string(VENDRIX_APP_DIR) + "/vendrix-batch";
// The two runs that compete: different periods, so the store tells whose it is.
const std::vector<std::string> kLungo = {"calcola",      "01/01/2024",  "30/06/2024",
                                         "--confermate", "--opzionate", "--clienti"};
const std::vector<std::string> kBreve = {"calcola",      "01/01/2024",  "15/01/2024",
                                         "--confermate", "--opzionate", "--clienti"};

// What a store holds, enough to tell one run's complete output from anything else.
struct Contenuto {
  int64_t righe = -1;
  std::string al;  // the to-date its table Periodo records
  bool operator==(const Contenuto&) const = default;
};

Contenuto LeggiContenuto(const fs::path& cartella) {
  Contenuto c;
  DBEngine motore(cartella);
  const std::string vendrix = (cartella / tabelle::kFileVendrix).string();
  auto db = motore.OpenDatabase(vendrix);
  auto rs = db->OpenRecordset("Select count(*) as N From Vendrix");
  c.righe = rs->Fields("N").Value().Intero();
  rs->Close();
  db->Close();
  if (const std::optional<PeriodoStatistiche> periodo = LeggiPeriodo(motore, vendrix)) {
    c.al = TestoData(periodo->al);
  }
  return c;
}

// The temporary stores in `cartella`; only those already written to when `scritti`.
std::vector<std::string> Temporanei(const fs::path& cartella, bool scritti = false) {
  std::vector<std::string> nomi;
  for (const auto& voce : fs::directory_iterator(cartella)) {
    const std::string nome = voce.path().filename().string();
    if (!nome.starts_with("Vendrix.mdb.nuovo")) continue;
    std::error_code errore;
    const uintmax_t dimensione = fs::file_size(voce.path(), errore);
    if (!scritti || (!errore && dimensione > 0)) nomi.push_back(nome);
  }
  return nomi;
}

class UnCalcoloAllaVoltaTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    unsetenv("DIRSH");
    albergo_ = prova::HotelDiProva("vendrix_blocco", prova::OpzioniHotel(120, 180, 90));
    // Each run's complete output, made alone.
    for (const auto* argomenti : {&kBreve, &kLungo}) {
      const Esito esito = prova::EseguiBatch(*albergo_, *argomenti);
      ASSERT_EQ(esito.codice, 0) << esito.err;
      (argomenti == &kBreve ? breve_ : lungo_) = LeggiContenuto(*albergo_);
    }
    ASSERT_EQ(lungo_.al, "30/06/2024");
    ASSERT_GT(lungo_.righe, breve_.righe);
  }
  static void TearDownTestSuite() { prova::RimuoviCartella(albergo_); }

  static fs::path* albergo_;
  static Contenuto breve_, lungo_;
};

fs::path* UnCalcoloAllaVoltaTest::albergo_ = nullptr;
Contenuto UnCalcoloAllaVoltaTest::breve_, UnCalcoloAllaVoltaTest::lungo_;

TEST_F(UnCalcoloAllaVoltaTest, ARunFindingTheFolderTakenEndsAtOnceWithTheMessage) {
  const std::string prima = prova::LeggiFile(*albergo_ / tabelle::kFileVendrix);
  struct Caso {
    BloccoCartella::Modo tenuto;  // as a calculation (exclusive) or a report (shared) holds it
    std::vector<std::string> argomenti;
    std::string messaggio;
  };
  const Caso casi[] = {
      {BloccoCartella::Modo::kEsclusivo, kBreve, "Un altro calcolo è in corso in questa cartella"},
      {BloccoCartella::Modo::kCondiviso, kBreve,
       "I fogli Excel sono in creazione in questa cartella: riprovare al termine"},
      {BloccoCartella::Modo::kEsclusivo,
       {"excel", "01/01/2024", "30/06/2024", "--cartella", "fogli"},
       "Un calcolo è in corso in questa cartella: riprovare al termine"},
  };
  for (const Caso& c : casi) {
    const BloccoCartella altro(*albergo_, kFileBloccoAlbergo, c.tenuto);
    const Esito esito = prova::EseguiBatch(*albergo_, c.argomenti);
    EXPECT_EQ(esito.codice, 1) << c.messaggio;
    EXPECT_EQ(esito.err, "vendrix-batch: " + c.messaggio + "\n");
    EXPECT_EQ(esito.out, "");
    EXPECT_EQ(prova::LeggiFile(*albergo_ / tabelle::kFileVendrix), prima) << c.messaggio;
    EXPECT_TRUE(Temporanei(*albergo_).empty());
    EXPECT_FALSE(fs::exists(*albergo_ / "fogli"));
  }
}

TEST_F(UnCalcoloAllaVoltaTest, TwoRunsStartedTogetherLeaveOneRunsCompleteStatistics) {
  const std::string batch = prova::QuotaShell(kBatch);
  auto comando = [&](const std::vector<std::string>& argomenti, const std::string& nome) {
    std::string riga = batch;
    for (const std::string& a : argomenti) riga += " " + prova::QuotaShell(a);
    const std::string file = prova::QuotaShell((*albergo_ / nome).string());
    return riga + " >" + file + ".out 2>" + file + ".err; echo $? >" + file + ".rc";
  };
  // From both at once to the second starting when the first has done much of its work.
  for (const char* ritardo : {"0", "0.01", "0.05", "0.2"}) {
    SCOPED_TRACE(std::string("second run after ") + ritardo + " s");
    const Esito shell =
        prova::Shell(*albergo_, "{ (" + comando(kLungo, "uno") + ") & sleep " + ritardo + "; " +
                                    comando(kBreve, "due") + "; wait; }");
    ASSERT_EQ(shell.codice, 0) << shell.err;
    Esito runs[2];
    for (int i = 0; i < 2; ++i) {
      const fs::path nome = *albergo_ / (i == 0 ? "uno" : "due");
      runs[i] = {std::stoi(prova::LeggiFile(nome.string() + ".rc")),
                 prova::LeggiFile(nome.string() + ".out"),
                 prova::LeggiFile(nome.string() + ".err")};
    }
    const Contenuto finale = LeggiContenuto(*albergo_);
    if (runs[0].codice == 0 && runs[1].codice == 0) {
      // One after the other: the store is the complete output of one of them.
      EXPECT_TRUE(finale == lungo_ || finale == breve_) << finale.righe << " " << finale.al;
    } else {
      // Exactly one ran; the other was refused at once and the store is the winner's.
      const int vinto = runs[0].codice == 0 ? 0 : 1;
      ASSERT_EQ(runs[vinto].codice, 0) << runs[vinto].err;
      EXPECT_NE(runs[vinto].out.find("Creazione dati completata!"), std::string::npos);
      EXPECT_EQ(runs[1 - vinto].codice, 1);
      EXPECT_EQ(runs[1 - vinto].err,
                "vendrix-batch: Un altro calcolo è in corso in questa cartella\n");
      EXPECT_EQ(runs[1 - vinto].out, "");
      EXPECT_EQ(finale, vinto == 0 ? lungo_ : breve_) << finale.righe << " " << finale.al;
    }
    EXPECT_TRUE(Temporanei(*albergo_).empty());
  }
}

TEST_F(UnCalcoloAllaVoltaTest, AfterARunKilledAtWorkTheNextRunProceedsAndRemovesItsLeftovers) {
  const Contenuto prima = LeggiContenuto(*albergo_);
  bool ucciso = false;
  // A run is killed as soon as it writes its temporary store; should it finish before (a fast
  // machine), another is started.
  for (int tentativo = 0; tentativo < 5 && !ucciso; ++tentativo) {
    const pid_t pid = prova::AvviaBatch(*albergo_, kLungo);
    ASSERT_GT(pid, 0);
    const int stato = prova::InterrompiQuando(
        pid, SIGKILL, [&] { return !Temporanei(*albergo_, true).empty(); });
    ucciso = stato != -1 && WIFSIGNALED(stato);
  }
  ASSERT_TRUE(ucciso);
  ASSERT_FALSE(Temporanei(*albergo_).empty());
  EXPECT_EQ(LeggiContenuto(*albergo_), prima);  // the store stays as the killed run found it

  const Esito dopo = prova::EseguiBatch(*albergo_, kBreve);
  EXPECT_EQ(dopo.codice, 0) << dopo.err;
  EXPECT_EQ(LeggiContenuto(*albergo_), breve_);
  EXPECT_TRUE(Temporanei(*albergo_).empty());
}

TEST_F(UnCalcoloAllaVoltaTest, TheWindowShowsTheRefusalInItsMessageBox) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char nome[] = "e2e_un_calcolo_alla_volta_test";
  char* argv[] = {nome, nullptr};
  QApplication applicazione(argc, argv);
  Elaborazioni elaborazioni;
  elaborazioni.cartella_hotel = *albergo_;
  elaborazioni.calcola = [](Interfaccia& ui, const Richiesta& r) { CalcolaStatistiche(ui, r); };
  elaborazioni.crea_excel = [](Interfaccia& ui, const Richiesta& r) {
    return CreaReportExcel(ui, r);
  };
  std::vector<std::string> messaggi;
  VendrixDT finestra(elaborazioni,
                     [&](QWidget*, const QString& testo, const QString& titolo, const QString&) {
                       messaggi.push_back(titolo.toStdString() + ": " + testo.toStdString());
                       return false;
                     });
  finestra.findChild<QLineEdit*>("Text1_0")->setText("01/01/2024");
  finestra.findChild<QLineEdit*>("Text1_1")->setText("15/01/2024");
  const std::string prima = prova::LeggiFile(*albergo_ / tabelle::kFileVendrix);
  const BloccoCartella altro(*albergo_, kFileBloccoAlbergo, BloccoCartella::Modo::kEsclusivo);
  finestra.findChild<QPushButton*>("T_0")->click();
  finestra.findChild<QPushButton*>("T_1")->click();
  EXPECT_EQ(messaggi, (std::vector<std::string>{
                          "Statistiche: Un altro calcolo è in corso in questa cartella",
                          "Statistiche: Un calcolo è in corso in questa cartella: riprovare al "
                          "termine"}));
  EXPECT_EQ(prova::LeggiFile(*albergo_ / tabelle::kFileVendrix), prima);
}

}  // namespace
}  // namespace vendrix
