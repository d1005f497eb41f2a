// The snapshot store: one snapshot a day replaced whole, finals kept by the latest day that saw
// them, thinning of old snapshots, a killed writer, and stores that are not ours left untouched.

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "data/cartella_temporanea.h"
#include "data/libri.h"

namespace vendrix {
namespace {

namespace fs = std::filesystem;
using std::chrono::days;

const Giorno kOggi = Giorno(std::chrono::year(2026) / 3 / 10);

class Libri : public ::testing::Test {
 protected:
  // A snapshot of `giorno` whose every figure is `k`, over `notti` nights and two room types.
  static Istantanea Piena(Giorno giorno, int64_t k, int notti) {
    Istantanea ist{.giorno = giorno, .camere_disponibili = 40};
    for (int n = 0; n < notti; ++n) {
      for (const char* tipo : {"DOP", "SIN"}) {
        ist.libri.push_back({giorno + days(n), tipo, "Diretto", n % 3 == 0, k, 2 * k,
                             Valuta::DaDecimillesimi(k * 10000)});
      }
    }
    return ist;
  }
  std::string Contenuto() const {
    std::ifstream f(cartella_ / kFileLibri, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }

  CartellaTemporanea temporanea_;
  const fs::path& cartella_ = temporanea_.Percorso();
};

TEST_F(Libri, UnaIstantaneaAlGiornoSostituitaIntera) {
  ArchivioLibri a(cartella_, true);
  a.Scrivi(Piena(kOggi, 3, 10));
  a.Scrivi(Piena(kOggi + days(1), 4, 10));
  a.Scrivi(Piena(kOggi, 5, 2));  // the same day again: replaces it, nights 2..9 gone
  EXPECT_EQ(a.Giorni(), (std::vector<Giorno>{kOggi, kOggi + days(1)}));
  const std::vector<VoceLibri> voci = a.Libri(kOggi, kOggi, kOggi + days(30));
  ASSERT_EQ(voci.size(), 4u);
  for (const VoceLibri& v : voci) EXPECT_EQ(v.camere, 5);
  const auto totali = a.Totali(kOggi, kOggi + days(9), kOggi, kOggi + days(1));
  // Tomorrow: confirmed in today's snapshot (two types of 5), optional in tomorrow's (of 4).
  EXPECT_EQ(totali.at(kOggi + days(1)).at(kOggi).camere, 10);
  EXPECT_EQ(totali.at(kOggi + days(1)).at(kOggi + days(1)).camere_opzionate, 8);
  EXPECT_EQ(totali.at(kOggi + days(1)).at(kOggi + days(1)).camere, 0);
  EXPECT_EQ(totali.at(kOggi).at(kOggi).camere_opzionate, 10);
  EXPECT_EQ(totali.at(kOggi).at(kOggi).retta_opzionata, Valuta::DaDecimillesimi(100000));
  // A night the replacing snapshot no longer holds counts 0 in it.
  EXPECT_EQ(totali.at(kOggi + days(5)).at(kOggi).camere, 0);
  EXPECT_EQ(totali.at(kOggi + days(5)).count(kOggi + days(1)), 1u);
  // A night outside the year a snapshot covers is refused, and nothing is written.
  Istantanea fuori = Piena(kOggi + days(2), 1, 1);
  fuori.libri.push_back(
      {kOggi + days(2 + kNottiIstantanea + 1), "DOP", "Diretto", false, 1, 1, {}});
  EXPECT_THROW(a.Scrivi(fuori), Errore);
  EXPECT_FALSE(a.HaIstantanea(kOggi + days(2)));
}

TEST_F(Libri, ConsuntiviDelGiornoPiuRecente) {
  ArchivioLibri a(cartella_, true);
  const Giorno notte = kOggi - days(1);
  auto con_finale = [&](Giorno giorno, int64_t camere) {
    Istantanea ist{.giorno = giorno, .consuntivi_dal = notte - days(1), .consuntivi_al = notte};
    ist.consuntivi.push_back({notte, "DOP", "Diretto", camere, camere, Valuta::DaDecimillesimi(1)});
    ist.consuntivi.push_back({notte, "DOP", "Diretto", 1, 0, {}});  // added to the one above
    return ist;
  };
  a.Scrivi(con_finale(kOggi + days(1), 7));
  a.Scrivi(con_finale(kOggi, 9));  // an older backup snapshotted later: does not win
  EXPECT_EQ(a.Consuntivi(notte, notte).at(notte).camere, 8);
  a.Scrivi(con_finale(kOggi + days(2), 11));
  const auto finali = a.Consuntivi(notte - days(1), notte);
  EXPECT_EQ(finali.at(notte).camere, 12);
  EXPECT_EQ(finali.at(notte).ospiti, 11);
  EXPECT_EQ(finali.at(notte - days(1)).camere, 0);  // in the range, nothing sold: a final of 0
  EXPECT_EQ(a.NumeroConsuntivi(), 2);
  Istantanea futuro{.giorno = kOggi, .consuntivi_dal = kOggi, .consuntivi_al = kOggi};
  EXPECT_THROW(a.Scrivi(futuro), Errore);
}

TEST_F(Libri, SfoltimentoUnaAllaSettimanaOltre400Giorni) {
  const int totale = kGiorniTutteIstantanee + 60;
  {
    ArchivioLibri a(cartella_, true);
    for (int i = totale - 1; i >= 0; --i) {
      Istantanea ist = Piena(kOggi - days(i), 1, 1);
      ist.consuntivi_dal = ist.consuntivi_al = kOggi - days(i + 1);
      a.Scrivi(ist);
    }
  }
  ArchivioLibri a(cartella_, false);
  const std::vector<Giorno> giorni = a.Giorni();
  const Giorno limite = kOggi - days(kGiorniTutteIstantanee);
  std::set<int64_t> settimane;
  int vecchie = 0;
  for (Giorno g : giorni) {
    if (g >= limite) continue;
    ++vecchie;
    const std::chrono::weekday wd(g);
    // The first of each Monday week: a Monday, or the first day written of the oldest week.
    EXPECT_TRUE(wd == std::chrono::Monday || g == kOggi - days(totale - 1)) << TestoData(g);
    const Giorno lunedi = g - days(wd.iso_encoding() - 1);
    EXPECT_TRUE(settimane.insert(lunedi.time_since_epoch().count()).second);
  }
  EXPECT_EQ(static_cast<int>(giorni.size()) - vecchie, kGiorniTutteIstantanee + 1);
  EXPECT_GE(vecchie, 60 / 7);
  EXPECT_LE(vecchie, 60 / 7 + 2);
  EXPECT_EQ(a.NumeroConsuntivi(), totale);  // finals are never thinned
  EXPECT_EQ(a.Libri(kOggi - days(totale - 1), kOggi - days(totale), kOggi).size(), 2u);
}

TEST_F(Libri, IstantaneaUccisaLasciaArchivioComEra) {
  { ArchivioLibri(cartella_, true).Scrivi(Piena(kOggi, 1, 300)); }
  bool uccisa_a_meta = false;
  for (int prova = 0; prova < 20 && !uccisa_a_meta; ++prova) {
    int tubo[2];
    ASSERT_EQ(pipe(tubo), 0);
    const pid_t figlio = fork();
    ASSERT_GE(figlio, 0);
    if (figlio == 0) {
      close(tubo[0]);
      ArchivioLibri a(cartella_, true);
      for (int64_t k = 2;; ++k) {
        if (k == 3) (void)!write(tubo[1], "x", 1);
        a.Scrivi(Piena(kOggi, k, 300));
      }
    }
    close(tubo[1]);
    char c;
    ASSERT_EQ(read(tubo[0], &c, 1), 1);
    close(tubo[0]);
    std::this_thread::sleep_for(std::chrono::milliseconds(1 + prova * 3));
    kill(figlio, SIGKILL);
    int stato = 0;
    waitpid(figlio, &stato, 0);
    uccisa_a_meta = fs::exists(cartella_ / (std::string(kFileLibri) + "-journal"));

    ArchivioLibri a(cartella_, false);
    const std::vector<VoceLibri> voci = a.Libri(kOggi, kOggi, kOggi + days(400));
    ASSERT_EQ(voci.size(), 600u);
    for (const VoceLibri& v : voci) ASSERT_EQ(v.camere, voci[0].camere);  // one snapshot whole
    EXPECT_GE(voci[0].camere, 2);
    EXPECT_EQ(a.Giorni(), std::vector<Giorno>{kOggi});
  }
  EXPECT_TRUE(uccisa_a_meta) << "no write was caught half-way";
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((cartella_ / kFileLibri).c_str(), &db), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "ok");
  sqlite3_finalize(st);
  sqlite3_close(db);
}

TEST_F(Libri, ArchivioEstraneoODanneggiatoRifiutatoEIntatto) {
  auto sql = [&](const char* testo) {
    sqlite3* db = nullptr;
    sqlite3_open((cartella_ / kFileLibri).c_str(), &db);
    sqlite3_exec(db, testo, nullptr, nullptr, nullptr);
    sqlite3_close(db);
  };
  struct Caso {
    const char* nome;
    std::function<void()> prepara;
    const char* parola;
  };
  const std::vector<Caso> casi = {
      {"un altro database SQLite", [&] { sql("CREATE TABLE Clienti(Nome TEXT)"); },
       "non è un archivio"},
      {"testo qualsiasi", [&] { std::ofstream(cartella_ / kFileLibri) << std::string(5000, 'z'); },
       "danneggiato"},
      {"versione successiva",
       [&] {
         ArchivioLibri(cartella_, true).Scrivi(Piena(kOggi, 1, 1));
         sql("PRAGMA user_version=2");
       },
       "più recente"},
      {"tabella mancante",
       [&] {
         ArchivioLibri(cartella_, true);
         sql("DROP TABLE Consuntivi");
       },
       "manca la tabella Consuntivi"},
  };
  for (const Caso& caso : casi) {
    SCOPED_TRACE(caso.nome);
    fs::remove(cartella_ / kFileLibri);
    caso.prepara();
    const std::string prima = Contenuto();
    for (bool crea : {true, false}) {
      try {
        ArchivioLibri a(cartella_, crea);
        a.Scrivi(Piena(kOggi, 1, 1));
        ADD_FAILURE() << "accettato";
      } catch (const LibriNonValidi& e) {
        EXPECT_NE(std::string(e.what()).find(caso.parola), std::string::npos) << e.what();
      }
      EXPECT_EQ(Contenuto(), prima);
    }
  }
  // Read without `crea`, a missing store is empty and not created.
  fs::remove(cartella_ / kFileLibri);
  EXPECT_TRUE(ArchivioLibri(cartella_, false).Giorni().empty());
  EXPECT_FALSE(fs::exists(cartella_ / kFileLibri));
}

}  // namespace
}  // namespace vendrix
