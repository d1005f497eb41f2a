// The Debian package as a user receives it: unpacked into a temporary root, its commands run
// from there on a hotel in a folder elsewhere, its menu entry and manual pages checked with the
// system's own tools. CTest builds the package first (fixture "pacchetto"); without dpkg-deb or
// without the package the suite is skipped.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "comune/versione.h"
#include "tests/support/comando.h"
#include "tests/support/lettore_xlsx.h"

namespace vendrix {
namespace {

namespace fs = std::filesystem;

using prova::Esito;
using prova::QuotaShell;
using prova::Shell;

const char* const kComandi[] = {"vendrix", "vendrix-batch", "vendrix-demo"};

bool Disponibile(const std::string& programma) {
  return Shell("/", "command -v " + programma).codice == 0;
}

class PacchettoTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    pacchetto_ = new fs::path(fs::path(VENDRIX_PACCHETTO_DIR) /
                              ("vendrix_" + std::string(kVersione) + "_amd64.deb"));
    char modello[] = "/tmp/vendrix_pacchetto_XXXXXX";
    ASSERT_NE(mkdtemp(modello), nullptr);
    base_ = new fs::path(modello);
    if (!Disponibile("dpkg-deb") || !fs::exists(*pacchetto_)) return;
    const Esito e = Shell(*base_, "dpkg-deb -x " + QuotaShell(pacchetto_->string()) + " radice");
    ASSERT_EQ(e.codice, 0) << e.err;
    estratto_ = true;
  }
  static void TearDownTestSuite() {
    std::error_code e;
    fs::remove_all(*base_, e);
    delete base_;
    delete pacchetto_;
  }
  void SetUp() override {
    if (!estratto_) GTEST_SKIP() << "dpkg-deb o " << pacchetto_->string() << " mancante";
    unsetenv("DIRSH");
  }

  static fs::path Radice() { return *base_ / "radice"; }
  static std::string Comando(const std::string& nome) {
    return QuotaShell((Radice() / "usr/bin" / nome).string());
  }

  static fs::path* pacchetto_;
  static fs::path* base_;
  static bool estratto_;
};

fs::path* PacchettoTest::pacchetto_ = nullptr;
fs::path* PacchettoTest::base_ = nullptr;
bool PacchettoTest::estratto_ = false;

TEST_F(PacchettoTest, InstallsCommandsMenuEntryIconManualPagesAndDocumentation) {
  std::vector<std::string> attesi = {"usr/share/applications/vendrix.desktop",
                                     "usr/share/icons/hicolor/scalable/apps/vendrix.svg",
                                     "usr/share/doc/vendrix/README.md",
                                     "usr/share/doc/vendrix/copyright"};
  for (const char* c : kComandi) {
    attesi.push_back(std::string("usr/bin/") + c);
    attesi.push_back(std::string("usr/share/man/man1/") + c + ".1.gz");
  }
  for (const std::string& a : attesi) EXPECT_TRUE(fs::is_regular_file(Radice() / a)) << a;
  for (const char* c : kComandi) {
    const auto permessi = fs::status(Radice() / "usr/bin" / c).permissions();
    EXPECT_NE(permessi & fs::perms::others_exec, fs::perms::none) << c;
  }
}

TEST_F(PacchettoTest, EveryCommandPrintsThePackageVersion) {
  const Esito campo = Shell(*base_, "dpkg-deb -f " + QuotaShell(pacchetto_->string()) + " Version");
  EXPECT_EQ(campo.out, std::string(kVersione) + "\n");
  for (const char* c : kComandi) {
    const Esito e = Shell(*base_, "QT_QPA_PLATFORM=offscreen timeout 30 " + Comando(c) + " --version");
    EXPECT_EQ(e.codice, 0) << c << ": " << e.err;
    EXPECT_NE(e.out.find(kVersione), std::string::npos) << c << ": " << e.out;
  }
}

// The installed program lives in a folder the user cannot write: a hotel's statistics and
// workbooks must go to the hotel's own folder.
TEST_F(PacchettoTest, WorkbooksLandInTheExcelFolderOfTheHotelFolder) {
  const fs::path albergo = *base_ / "albergo";
  fs::create_directory(albergo);
  Esito e = Shell(*base_, Comando("vendrix-demo") + " albergo --camere 8 --giorni 20 --storico 5");
  ASSERT_EQ(e.codice, 0) << e.err;
  e = Shell(albergo, Comando("vendrix-batch") + " calcola 01/01/2024 20/01/2024 --clienti");
  ASSERT_EQ(e.codice, 0) << e.err;
  EXPECT_TRUE(fs::is_regular_file(albergo / "Vendrix.mdb"));
  e = Shell(albergo, Comando("vendrix-batch") + " excel 01/01/2024 20/01/2024");
  ASSERT_EQ(e.codice, 0) << e.err;

  ASSERT_TRUE(fs::is_directory(albergo / "Excel")) << e.out;
  std::vector<std::string> scritti;
  for (const auto& voce : fs::directory_iterator(albergo / "Excel")) {
    scritti.push_back(voce.path().filename().string());
    EXPECT_TRUE(prova::EFileZip(voce.path().string())) << voce.path();
  }
  EXPECT_EQ(scritti.size(), 3u);
  for (const std::string& nome : scritti) {
    EXPECT_EQ(nome.rfind("REPORT_", 0), 0u) << nome;
    EXPECT_NE(e.out.find(nome), std::string::npos) << "non citato: " << nome << "\n" << e.out;
  }
  EXPECT_FALSE(fs::exists(Radice() / "usr/bin/Excel"));
}

TEST_F(PacchettoTest, MenuEntryIsValidAndStartsTheInstalledWindow) {
  const fs::path voce = Radice() / "usr/share/applications/vendrix.desktop";
  if (Disponibile("desktop-file-validate")) {
    const Esito e = Shell(*base_, "desktop-file-validate " + QuotaShell(voce.string()));
    EXPECT_EQ(e.codice, 0) << e.out << e.err;
    EXPECT_EQ(e.out + e.err, "");
  }
  std::istringstream righe(prova::LeggiFile(voce));
  std::string riga, exec, icona;
  while (std::getline(righe, riga)) {
    if (riga.rfind("Exec=", 0) == 0) exec = riga.substr(5, riga.find(' ') - 5);
    if (riga.rfind("Icon=", 0) == 0) icona = riga.substr(5);
  }
  EXPECT_EQ(exec, "vendrix");
  EXPECT_TRUE(fs::is_regular_file(Radice() / "usr/share/icons/hicolor/scalable/apps" /
                                  (icona + ".svg")))
      << icona;
}

TEST_F(PacchettoTest, ManualPagesRenderWithoutWarnings) {
  if (!Disponibile("man")) GTEST_SKIP() << "man mancante";
  for (const char* c : kComandi) {
    const fs::path pagina = Radice() / "usr/share/man/man1" / (std::string(c) + ".1.gz");
    const Esito e = Shell(*base_, "MANWIDTH=80 man --warnings -l -P cat " +
                                      QuotaShell(pagina.string()));
    EXPECT_EQ(e.codice, 0) << c << ": " << e.err;
    EXPECT_EQ(e.err, "") << c;
    EXPECT_NE(e.out.find(c), std::string::npos) << e.out;
    EXPECT_EQ(e.out.find("??"), std::string::npos) << "lettere perse: " << e.out;
    EXPECT_NE(e.out.find(kVersione), std::string::npos) << e.out;
  }
}

}  // namespace
}  // namespace vendrix
