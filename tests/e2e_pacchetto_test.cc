// The Debian package as a user receives it: unpacked into a temporary root, its commands run
// from there on a hotel in a folder elsewhere, its menu entry and manual pages checked with the
// system's own tools. CTest builds the package first (fixture "pacchetto"); without dpkg-deb or
// without the package the suite is skipped.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "comune/versione.h"
#include "tests/support/cartella_prova.h"
#include "tests/support/comando.h"
#include "tests/support/lettore_xlsx.h"

namespace vendrix {
namespace {

namespace fs = std::filesystem;

using prova::Esito;
using prova::QuotaShell;
using prova::Shell;

const char* const kComandi[] = {"vendrix", "vendrix-batch", "vendrix-demo"};

class PacchettoTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    base_ = new fs::path(prova::NuovaCartella("vendrix_pacchetto"));
    const fs::path pacchetto =
        fs::path(VENDRIX_PACCHETTO_DIR) / ("vendrix_" + std::string(kVersione) + "_amd64.deb");
    if (Shell("/", "command -v dpkg-deb").codice != 0 || !fs::exists(pacchetto)) return;
    const Esito e = Shell(*base_, "dpkg-deb -x " + QuotaShell(pacchetto.string()) + " radice");
    ASSERT_EQ(e.codice, 0) << e.err;
    estratto_ = true;
  }
  static void TearDownTestSuite() { prova::RimuoviCartella(base_); }
  void SetUp() override {
    if (!estratto_) GTEST_SKIP() << "dpkg-deb o il pacchetto mancante";
    unsetenv("DIRSH");
  }

  static fs::path Radice() { return *base_ / "radice"; }
  static std::string Comando(const std::string& nome) {
    return QuotaShell((Radice() / "usr/bin" / nome).string());
  }

  static inline fs::path* base_ = nullptr;
  static inline bool estratto_ = false;
};

TEST_F(PacchettoTest, EveryCommandIsInstalledWithItsVersionAndAManualPageThatRenders) {
  for (const char* c : kComandi) {
    SCOPED_TRACE(c);
    Esito e = Shell(*base_, "QT_QPA_PLATFORM=offscreen timeout 30 " + Comando(c) + " --version");
    EXPECT_EQ(e.codice, 0) << e.err;
    EXPECT_NE(e.out.find(kVersione), std::string::npos) << e.out;

    const fs::path pagina = Radice() / "usr/share/man/man1" / (std::string(c) + ".1.gz");
    e = Shell(*base_, "MANWIDTH=80 man --warnings -l -P cat " + QuotaShell(pagina.string()));
    EXPECT_EQ(e.codice, 0) << e.err;
    EXPECT_EQ(e.err, "");
    EXPECT_NE(e.out.find(kVersione), std::string::npos) << e.out;
    EXPECT_EQ(e.out.find("??"), std::string::npos) << "lettere perse: " << e.out;
  }
  for (const char* doc : {"README.md", "copyright"}) {
    EXPECT_TRUE(fs::is_regular_file(Radice() / "usr/share/doc/vendrix" / doc)) << doc;
  }
}

// The installed program lives in a folder the user cannot write: a hotel's statistics and
// workbooks must go to the hotel's own folder.
TEST_F(PacchettoTest, WorkbooksLandInTheExcelFolderOfTheHotelFolder) {
  const fs::path albergo = *base_ / "albergo";
  Esito e = Shell(*base_, Comando("vendrix-demo") + " albergo --camere 8 --giorni 20 --storico 5");
  ASSERT_EQ(e.codice, 0) << e.err;
  e = Shell(albergo, Comando("vendrix-batch") + " calcola 01/01/2024 20/01/2024 --clienti");
  ASSERT_EQ(e.codice, 0) << e.err;
  e = Shell(albergo, Comando("vendrix-batch") + " excel 01/01/2024 20/01/2024");
  ASSERT_EQ(e.codice, 0) << e.err;
  ASSERT_TRUE(fs::is_directory(albergo / "Excel")) << e.out;
  int scritti = 0;
  for (const auto& voce : fs::directory_iterator(albergo / "Excel")) {
    if (voce.path().filename() == ".REPORT.lock") continue;  // the folder's lock, kept
    ++scritti;
    EXPECT_EQ(voce.path().filename().string().rfind("REPORT_", 0), 0u) << voce.path();
    EXPECT_TRUE(prova::EFileZip(voce.path().string())) << voce.path();
  }
  EXPECT_EQ(scritti, 3);
  EXPECT_FALSE(fs::exists(Radice() / "usr/bin/Excel"));
}

TEST_F(PacchettoTest, MenuEntryIsValidAndStartsTheInstalledWindowWithItsIcon) {
  const fs::path voce = Radice() / "usr/share/applications/vendrix.desktop";
  const Esito e = Shell(*base_, "desktop-file-validate " + QuotaShell(voce.string()));
  EXPECT_EQ(e.codice, 0) << e.out << e.err;
  EXPECT_EQ(e.out + e.err, "");
  const std::string testo = prova::LeggiFile(voce);
  EXPECT_NE(testo.find("\nExec=vendrix\n"), std::string::npos) << testo;
  EXPECT_NE(testo.find("\nIcon=vendrix\n"), std::string::npos) << testo;
  EXPECT_TRUE(fs::is_regular_file(Radice() / "usr/bin/vendrix"));
  // The engine looks for the Access reader beside the running program; it has a page too.
  EXPECT_TRUE(fs::is_regular_file(Radice() / "usr/bin/vendrix-lettore-jet"));
  const fs::path pagina = Radice() / "usr/share/man/man1/vendrix-lettore-jet.1.gz";
  const Esito lettore =
      Shell(*base_, "MANWIDTH=80 man --warnings -l -P cat " + QuotaShell(pagina.string()));
  EXPECT_EQ(lettore.codice, 0) << lettore.err;
  EXPECT_EQ(lettore.err, "");
  EXPECT_NE(lettore.out.find("Programma interno di Vendrix"), std::string::npos) << lettore.out;
  EXPECT_TRUE(fs::is_regular_file(Radice() / "usr/share/icons/hicolor/scalable/apps/vendrix.svg"));
  // The daily snapshot of the books: user units, for one hotel folder each.
  for (const char* unita : {"vendrix-istantanea@.service", "vendrix-istantanea@.timer"}) {
    const std::string testo = prova::LeggiFile(Radice() / "usr/lib/systemd/user" / unita);
    EXPECT_NE(testo.find("%f"), std::string::npos) << unita;
  }
}

}  // namespace
}  // namespace vendrix
