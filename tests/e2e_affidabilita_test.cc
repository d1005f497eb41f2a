// Runs that fail, are stopped or are attacked: private temporary folders, nothing left behind,
// the workbooks replaced as one set, special files and symlinks where hotel and lock files
// should be.

#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "app/demo/hotel_demo.h"
#include "data/cartella_temporanea.h"
#include "reports/report.h"
#include "tests/support/cartella_prova.h"
#include "tests/support/comando.h"
#include "tests/support/lettore_xlsx.h"

namespace vendrix {
namespace {

namespace fs = std::filesystem;
using prova::Esito;
using prova::QuotaShell;

const std::string kBatch = std::string(VENDRIX_APP_DIR) + "/vendrix-batch";
const std::vector<std::string> kCalcolaMarzo = {"calcola", "01/01/2024", "31/03/2024",
                                                "--confermate", "--clienti"};
const std::vector<std::string> kCalcolaGiugno = {"calcola", "01/01/2024", "30/06/2024",
                                                 "--confermate", "--clienti"};
const std::vector<std::string> kExcelMarzo = {"excel", "01/01/2024", "31/03/2024"};
const std::vector<std::string> kExcelGiugno = {"excel", "01/01/2024", "30/06/2024"};

std::set<std::string> Nomi(const fs::path& cartella) {
  std::set<std::string> nomi;
  for (const auto& voce : fs::directory_iterator(cartella)) {
    nomi.insert(voce.path().filename().string());
  }
  return nomi;
}

// The names of `cartella` that are neither the hotel's own files nor the store.
std::set<std::string> Avanzi(const fs::path& cartella) {
  std::set<std::string> nomi;
  for (const std::string& nome : Nomi(cartella)) {
    if (nome.find(".nuovo") != std::string::npos || nome.find(".vecchio") != std::string::npos ||
        nome.find(".tmp") != std::string::npos || nome.find("giornale") != std::string::npos ||
        nome.starts_with(kInizioCartellaTemporanea)) {
      nomi.insert(nome);
    }
  }
  return nomi;
}

class AffidabilitaTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    radice_ = new fs::path(prova::NuovaCartella("vendrix_affidabilita"));
    unsetenv("DIRSH");
    demo::ScriviHotelDemo((*radice_ / "albergo").string(), prova::OpzioniHotel(120, 200, 400));
  }
  static void TearDownTestSuite() { prova::RimuoviCartella(radice_); }

  void SetUp() override {
    static int numero = 0;
    caso_ = *radice_ / ("caso" + std::to_string(++numero));
    albergo_ = caso_ / "albergo";
    temporanea_ = caso_ / "tmp";
    fs::create_directories(temporanea_);
    fs::permissions(temporanea_, fs::perms::all | fs::perms::sticky_bit);
    fs::copy(*radice_ / "albergo", albergo_, fs::copy_options::recursive);
    setenv("TMPDIR", temporanea_.c_str(), 1);
  }
  void TearDown() override { unsetenv("TMPDIR"); }

  // vendrix-batch in the hotel folder, with the case's own shared temporary folder; `prima`
  // goes before it on the command line (strace).
  Esito Esegui(const std::vector<std::string>& argomenti, const std::string& prima = {}) {
    std::string comando = "TMPDIR=" + QuotaShell(temporanea_.string()) + " timeout 60 " + prima +
                          " " + QuotaShell(kBatch);
    for (const std::string& a : argomenti) comando += " " + QuotaShell(a);
    return prova::Shell(albergo_, comando);
  }

  // Starts `argomenti` and sends `segnale` once `pronto` holds; returns the wait status, or -1
  // when the run ended before.
  int Interrompi(const std::vector<std::string>& argomenti, int segnale,
                 const std::function<bool()>& pronto) {
    return prova::InterrompiQuando(prova::AvviaBatch(albergo_, argomenti), segnale, pronto);
  }

  // A run's private folder is there, made to the end: its owner's number is in its lock file (a
  // folder killed before that is left alone for minutes, as one still being made).
  bool CartellaPrivataPresente() const {
    for (const std::string& nome : Nomi(temporanea_)) {
      std::error_code e;
      if (nome.starts_with(kInizioCartellaTemporanea) &&
          fs::file_size(temporanea_ / nome / ".proprietario", e) > 0) {
        return true;
      }
    }
    return false;
  }

  bool StoreNuovoScritto() const {
    for (const auto& voce : fs::directory_iterator(albergo_)) {
      std::error_code e;
      if (voce.path().filename().string().starts_with("Vendrix.mdb.nuovo.") &&
          fs::file_size(voce.path(), e) > 0) {
        return true;
      }
    }
    return false;
  }

  // The bytes of the three workbooks ("" for one missing).
  std::vector<std::string> Insieme() const {
    std::vector<std::string> insieme;
    for (const char* file : kFileReport)
      insieme.push_back(prova::LeggiFile(albergo_ / "Excel" / file));
    return insieme;
  }

  // The period each workbook names.
  std::vector<std::string> Periodi() const {
    std::vector<std::string> periodi;
    for (const char* file : kFileReport) {
      periodi.push_back(prova::LeggiXlsx((albergo_ / "Excel" / file).string()).soggetto);
    }
    return periodi;
  }

  static fs::path* radice_;
  fs::path caso_, albergo_, temporanea_;
};

fs::path* AffidabilitaTest::radice_ = nullptr;

TEST_F(AffidabilitaTest, TheRunsTemporaryFolderIsPrivateAndTellsALiveOwnerFromADeadOne) {
  auto privata = std::make_unique<CartellaTemporanea>(albergo_);
  const fs::path percorso = privata->Percorso();
  EXPECT_EQ(percorso.parent_path(), temporanea_);
  struct stat info {};
  ASSERT_EQ(lstat(percorso.c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(info.st_mode & 07777, 0700u);

  // A live owner's folder is never taken for a leftover, in this process or another.
  RimuoviTemporaneiAbbandonati();
  EXPECT_TRUE(fs::is_directory(percorso));
  EXPECT_EQ(Esegui(kCalcolaMarzo).codice, 0);
  EXPECT_TRUE(fs::is_directory(percorso));

  // A dead owner's folder goes with the next run; what is not such a folder stays.
  const fs::path altrove = caso_ / "altrove";
  fs::create_directories(altrove / "dentro");
  fs::create_directory_symlink(altrove, temporanea_ / "vendrix-tmp-simbol");
  const pid_t figlio = fork();
  if (figlio == 0) {
    const CartellaTemporanea morta;
    std::ofstream(morta.Percorso() / "anno-precedente.mdb") << "dati";
    _exit(0);  // no destructor: the folder stays, its lock goes with the process
  }
  ASSERT_EQ(waitpid(figlio, nullptr, 0), figlio);
  EXPECT_EQ(Avanzi(temporanea_).size(), 3u);
  EXPECT_EQ(Esegui(kCalcolaMarzo).codice, 0);
  EXPECT_EQ(Avanzi(temporanea_),
            (std::set<std::string>{percorso.filename().string(), "vendrix-tmp-simbol"}));
  EXPECT_TRUE(fs::is_directory(altrove / "dentro"));

  privata.reset();
  EXPECT_FALSE(fs::exists(percorso));
}

TEST_F(AffidabilitaTest, FilesPlantedInTheSharedTemporaryFolderChangeNothing) {
  // Names another user could plant before the run: its old fixed prefixes, files and folders.
  const std::vector<std::string> piantati = {"vendrix-anno-precedente-AAAAAA.mdb",
                                             "vendrix-tmp-AAAAAA", "vendrix-tmp-BBBBBB"};
  std::ofstream(temporanea_ / piantati[0]) << "di un altro utente";
  fs::create_directory(temporanea_ / piantati[1]);
  std::ofstream(temporanea_ / piantati[2]) << "non una cartella";
  for (const std::string& nome : piantati) {
    ASSERT_EQ(lchown((temporanea_ / nome).c_str(), 65534, 65534), 0);
  }
  ASSERT_EQ(Esegui(kCalcolaMarzo).codice, 0);
  const Esito excel = Esegui(kExcelMarzo);
  ASSERT_EQ(excel.codice, 0) << excel.err;
  const prova::CartellaLetta data =
      prova::LeggiXlsx((albergo_ / "Excel" / kFileReport[0]).string());
  const prova::FoglioLetto& riepilogo = data.Foglio("Riepilogo");
  for (int riga = 1; riga <= riepilogo.UltimaRigaConValori(); ++riga) {
    EXPECT_EQ(riepilogo.Cella("A" + std::to_string(riga)).testo.find("non disponibile"),
              std::string::npos);
  }
  EXPECT_EQ(Nomi(temporanea_), std::set<std::string>(piantati.begin(), piantati.end()));
  EXPECT_EQ(prova::LeggiFile(temporanea_ / piantati[0]), "di un altro utente");
}

TEST_F(AffidabilitaTest, SigintAndSigtermEndARunCleanlyAndAKilledRunsLeftoversGoNextTime) {
  ASSERT_EQ(Esegui(kCalcolaMarzo).codice, 0);
  ASSERT_EQ(Esegui(kExcelMarzo).codice, 0);
  const std::string store = prova::LeggiFile(albergo_ / "Vendrix.mdb");
  const std::vector<std::string> insieme = Insieme();
  struct Caso {
    const char* perche;
    const std::vector<std::string>* argomenti;
    int segnale;
    int esito;  // exit code; -1: killed
  };
  const Caso casi[] = {
      {"workbooks, SIGTERM", &kExcelMarzo, SIGTERM, 143},
      {"workbooks, Ctrl-C", &kExcelMarzo, SIGINT, 130},
      {"calculation, SIGTERM", &kCalcolaGiugno, SIGTERM, 143},
      {"workbooks, kill -9", &kExcelMarzo, SIGKILL, -1},
      {"calculation, kill -9", &kCalcolaGiugno, SIGKILL, -1},
  };
  for (const Caso& c : casi) {
    SCOPED_TRACE(c.perche);
    const bool calcolo = c.argomenti == &kCalcolaGiugno;
    int stato = -1;
    for (int tentativo = 0; tentativo < 5 && stato == -1; ++tentativo) {
      // The workbooks before any of them is written beside the old ones: a replacement under
      // way is finished before the end, by design.
      stato = Interrompi(*c.argomenti, c.segnale, [&] {
        return calcolo ? StoreNuovoScritto()
                       : CartellaPrivataPresente() && Avanzi(albergo_ / "Excel").empty();
      });
    }
    ASSERT_NE(stato, -1) << "every run ended before it could be stopped";
    if (c.esito >= 0) {
      ASSERT_TRUE(WIFEXITED(stato));
      EXPECT_EQ(WEXITSTATUS(stato), c.esito);
      EXPECT_EQ(Avanzi(temporanea_), std::set<std::string>());
      EXPECT_EQ(Avanzi(albergo_), std::set<std::string>());
      EXPECT_EQ(Avanzi(albergo_ / "Excel"), std::set<std::string>());
    } else {
      EXPECT_TRUE(WIFSIGNALED(stato));
      EXPECT_NE(Avanzi(calcolo ? albergo_ : temporanea_), std::set<std::string>());
    }
    EXPECT_EQ(prova::LeggiFile(albergo_ / "Vendrix.mdb"), store);
    EXPECT_EQ(Insieme(), insieme);
  }
  // The next run of any kind removes what the killed runs left.
  ASSERT_EQ(Esegui(kCalcolaMarzo).codice, 0);
  EXPECT_EQ(Avanzi(temporanea_), std::set<std::string>());
  EXPECT_EQ(Avanzi(albergo_), std::set<std::string>());
}

// The renames of the main thread of `argomenti` that put a workbook in its place, by their number
// among all its renames (as strace counts them); empty when strace cannot trace here.
std::vector<int> RinominePerInsieme(const fs::path& registro,
                                    const std::function<Esito(const std::string&)>& esegui) {
  const Esito tracciato =
      esegui("strace -qq -e trace=rename,renameat,renameat2 -o " + QuotaShell(registro.string()));
  std::vector<int> numeri;
  if (tracciato.codice != 0) return numeri;
  std::ifstream righe(registro);
  int numero = 0;
  const std::regex verso_il_posto(R"(^rename\(".*\.nuovo", ".*/REPORT_[A-Z]+\.xlsx"\))");
  for (std::string riga; std::getline(righe, riga);) {
    if (!riga.starts_with("rename")) continue;
    ++numero;
    if (std::regex_search(riga, verso_il_posto)) numeri.push_back(numero);
  }
  return numeri;
}

TEST_F(AffidabilitaTest, TheThreeWorkbooksAreOneSetAfterAFailureOrAKill) {
  ASSERT_EQ(Esegui(kCalcolaMarzo).codice, 0);
  ASSERT_EQ(Esegui(kExcelMarzo).codice, 0);
  const std::vector<std::string> marzo = Periodi();
  ASSERT_EQ(Esegui(kCalcolaGiugno).codice, 0);
  const auto esegui = [&](const std::string& prima) { return Esegui(kExcelGiugno, prima); };
  const std::vector<int> rinomine = RinominePerInsieme(caso_ / "strace.log", esegui);
  if (rinomine.empty()) GTEST_SKIP() << "strace cannot trace here";
  ASSERT_EQ(rinomine.size(), 3u);
  const std::vector<std::string> giugno = Periodi();
  ASSERT_NE(giugno, marzo);

  // Back to March's set for each case.
  const std::vector<std::string> precedente = Insieme();
  const auto ripristina = [&] {
    for (size_t i = 0; i < 3; ++i) {
      std::ofstream(albergo_ / "Excel" / kFileReport[i], std::ios::binary) << precedente[i];
    }
  };

  // A failure when the third workbook is put in place: the previous set, untouched.
  const std::string terza = std::to_string(rinomine[2]);
  const Esito fallito = esegui("strace -qq -o /dev/null -e inject=rename:error=EIO:when=" + terza);
  EXPECT_EQ(fallito.codice, 1);
  EXPECT_NE(fallito.err.find("REPORT_AGENZIA.xlsx"), std::string::npos) << fallito.err;
  EXPECT_EQ(Insieme(), precedente);
  EXPECT_EQ(Avanzi(albergo_ / "Excel"), std::set<std::string>());

  // A folder in the way of the third: refused before anything is replaced.
  const std::string agenzia = precedente[2];
  fs::remove(albergo_ / "Excel" / kFileReport[2]);
  fs::create_directory(albergo_ / "Excel" / kFileReport[2]);
  const Esito cartella = esegui("");
  EXPECT_EQ(cartella.codice, 1);
  EXPECT_NE(cartella.err.find("REPORT_AGENZIA.xlsx"), std::string::npos) << cartella.err;
  EXPECT_EQ(prova::LeggiFile(albergo_ / "Excel" / kFileReport[0]), precedente[0]);
  EXPECT_EQ(prova::LeggiFile(albergo_ / "Excel" / kFileReport[1]), precedente[1]);
  fs::remove(albergo_ / "Excel" / kFileReport[2]);
  std::ofstream(albergo_ / "Excel" / kFileReport[2], std::ios::binary) << agenzia;

  // Killed after the first or second workbook is in place: whole after the next look at the
  // folder, as the window's "Apri cartella" looks.
  for (int ucciso_a : {rinomine[1], rinomine[2]}) {
    SCOPED_TRACE("killed at rename " + std::to_string(ucciso_a));
    ripristina();
    const Esito ucciso = esegui("strace -qq -o /dev/null -e inject=rename:signal=KILL:when=" +
                                std::to_string(ucciso_a));
    EXPECT_NE(ucciso.codice, 0);
    CompletaReportInterrotti(albergo_ / "Excel");
    const std::vector<std::string> periodi = Periodi();
    EXPECT_TRUE(periodi == giugno || periodi == marzo) << periodi[0] << periodi[1] << periodi[2];
    EXPECT_EQ(Avanzi(albergo_ / "Excel"), std::set<std::string>());
  }
}

TEST_F(AffidabilitaTest, SpecialFilesAndSymlinksAreRefusedNamingTheFile) {
  struct Caso {
    const char* perche;
    std::function<void(const fs::path&)> prepara;
    std::vector<std::string> argomenti;
    std::vector<std::string> parole;  // in the message
    const char* non_creato;           // a file the run must not create, or nullptr
  };
  const fs::path bersaglio = caso_ / "bersaglio";
  const Caso casi[] = {
      {"a FIFO for the guest cards",
       [](const fs::path& a) {
         fs::remove(a / "Scheda_Cliente.mdb");
         mkfifo((a / "Scheda_Cliente.mdb").c_str(), 0644);
       },
       kCalcolaMarzo,
       {"Scheda_Cliente.mdb", "non è un file normale"},
       nullptr},
      {"a symlink loop for the bookings",
       [](const fs::path& a) {
         fs::remove(a / "Camere_Prenotazione.mdb");
         fs::create_symlink("Camere_Prenotazione.mdb", a / "Camere_Prenotazione.mdb");
       },
       kCalcolaMarzo,
       {"Camere_Prenotazione.mdb", "collegamento simbolico"},
       nullptr},
      {"the lock file a dangling symlink",
       [&](const fs::path& a) { fs::create_symlink(bersaglio, a / "Vendrix.mdb.lock"); },
       kCalcolaMarzo,
       {"Vendrix.mdb.lock", "collegamento simbolico"},
       "bersaglio"},
      {"the workbooks' lock file a dangling symlink",
       [&](const fs::path& a) {
         fs::create_directories(a / "Excel");
         fs::create_symlink(bersaglio, a / "Excel" / ".REPORT.lock");
       },
       kExcelMarzo,
       {".REPORT.lock", "collegamento simbolico"},
       "bersaglio"},
  };
  for (const Caso& c : casi) {
    SCOPED_TRACE(c.perche);
    fs::remove_all(albergo_);
    fs::copy(*radice_ / "albergo", albergo_, fs::copy_options::recursive);
    if (c.argomenti == kExcelMarzo) {
      ASSERT_EQ(Esegui(kCalcolaMarzo).codice, 0);
    }
    c.prepara(albergo_);
    const Esito esito = Esegui(c.argomenti);
    EXPECT_EQ(esito.codice, 1) << esito.err;
    for (const std::string& parola : c.parole) {
      EXPECT_NE(esito.err.find(parola), std::string::npos) << esito.err;
    }
    if (c.non_creato) {
      EXPECT_FALSE(fs::exists(caso_ / c.non_creato));
    }
  }
  // Last year's pass meets the FIFO too: the workbooks are written, saying why there is no
  // comparison.
  fs::remove_all(albergo_);
  fs::copy(*radice_ / "albergo", albergo_, fs::copy_options::recursive);
  ASSERT_EQ(Esegui(kCalcolaMarzo).codice, 0);
  fs::remove(albergo_ / "Scheda_Cliente.mdb");
  mkfifo((albergo_ / "Scheda_Cliente.mdb").c_str(), 0644);
  const Esito excel = Esegui(kExcelMarzo);
  EXPECT_EQ(excel.codice, 0) << excel.err;
}

TEST_F(AffidabilitaTest, AFailureIsOneSentenceNamingTheFileNeverTheMachinery) {
  ASSERT_EQ(Esegui(kCalcolaMarzo).codice, 0);
  const std::string tipi = prova::LeggiFile(albergo_ / "TipiCamere.mdb");
  ASSERT_GE(tipi.size(), 8192u);
  struct Caso {
    const char* perche;
    size_t da, lunghezza;  // the bytes of TipiCamere.mdb overwritten
  };
  const Caso casi[] = {{"its table's page damaged", 4096, 4096},
                       {"its catalogue damaged", 100, 3000}};
  for (const Caso& c : casi) {
    SCOPED_TRACE(c.perche);
    std::string guasto = tipi;
    guasto.replace(c.da, c.lunghezza, std::string(c.lunghezza, '\xFF'));
    std::ofstream(albergo_ / "TipiCamere.mdb", std::ios::binary) << guasto;
    const Esito esito = Esegui({"excel", "01/01/2024", "31/03/2024", "--senza-confronto"});
    EXPECT_EQ(esito.codice, 1);
    EXPECT_EQ(esito.err,
              "vendrix-batch: Il database 'TipiCamere.mdb' è danneggiato o non è un database: "
              "ripararlo o sostituirlo con una copia integra, poi riprovare.\n");
  }
}

TEST_F(AffidabilitaTest, AFullWorkbookFolderIsNamedWithNoTemporaryNameNorLibraryLine) {
  ASSERT_EQ(Esegui(kCalcolaMarzo).codice, 0);
  const fs::path pieno = caso_ / "pieno";
  fs::create_directory(pieno);
  if (prova::Shell(caso_, "mount -t tmpfs -o size=64k tmpfs " + QuotaShell(pieno.string()))
          .codice != 0) {
    GTEST_SKIP() << "no small file system can be mounted here";
  }
  std::ofstream(pieno / "riempimento") << std::string(60 * 1024, 'x');
  const Esito esito = Esegui(
      {"excel", "01/01/2024", "31/03/2024", "--cartella", pieno.string(), "--senza-confronto"});
  prova::Shell(caso_, "umount " + QuotaShell(pieno.string()));
  EXPECT_EQ(esito.codice, 1);
  EXPECT_EQ(esito.err, "vendrix-batch: Salvataggio della cartella di lavoro '" +
                           (pieno / kFileReport[0]).string() +
                           "' non riuscito: spazio esaurito nella cartella " + pieno.string() +
                           ". Liberare spazio e riprovare\n");
}

TEST_F(AffidabilitaTest, ProgressGoesToATerminalOnlyAndNeverNamesAGuest) {
  // Run from cron or a timer, stderr is a log: only errors go there.
  for (const auto* argomenti : {&kCalcolaMarzo, &kExcelMarzo}) {
    const Esito esito = Esegui(*argomenti);
    EXPECT_EQ(esito.codice, 0);
    EXPECT_EQ(esito.err, "") << (*argomenti)[0];
  }
  // On a terminal: one line rewritten in place, stays named by number only.
  int terminale = -1;
  const pid_t pid = forkpty(&terminale, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (chdir(albergo_.c_str()) != 0) _exit(127);
    execl(kBatch.c_str(), kBatch.c_str(), "calcola", "01/01/2024", "31/03/2024", "--clienti",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  std::string schermo;
  char blocco[4096];
  for (ssize_t letti; (letti = read(terminale, blocco, sizeof blocco)) > 0;) {
    schermo.append(blocco, static_cast<size_t>(letti));
  }
  close(terminale);
  int stato = 0;
  ASSERT_EQ(waitpid(pid, &stato, 0), pid);
  EXPECT_EQ(WEXITSTATUS(stato), 0);
  EXPECT_NE(schermo.find("\rLettura scheda cliente n. "), std::string::npos) << schermo;
  EXPECT_NE(schermo.find("%)"), std::string::npos) << schermo;
  EXPECT_FALSE(std::regex_search(schermo, std::regex("n\\. [0-9]+ (?!di [0-9])[A-Za-z]")))
      << schermo;
  EXPECT_NE(schermo.find("Creazione dati completata!"), std::string::npos);
}

}  // namespace
}  // namespace vendrix
