// The window's entry for the manager's report, driven by its access key as a user drives it.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <memory>

#include "comune/date.h"
#include "data/errore.h"
#include "tests/support/ambiente_qt.h"
#include "ui/vendrix_dt.h"

namespace vendrix {
namespace {

::testing::Environment* const kAmbiente =
    ::testing::AddGlobalTestEnvironment(new prova::AmbienteQt("ui_voce_direzione_test"));

TEST(VoceDirezioneTest, AltDFaIlReportDelGiornoNellaCasellaAlOppureDiIeri) {
  const struct {
    const char* caso;
    QString al;          // what the "to" box holds
    std::string giorno;  // the day asked for
    bool errore;
  } kCasi[] = {
      {"casella vuota: ieri", "", TestoData(IeriLocale()), false},
      {"una data valida, anche abbreviata", "150625", "15/06/2025", false},
      {"non una data: ieri", "31/02/2025", TestoData(IeriLocale()), false},
      {"un errore del report si mostra", "15/06/2025", "15/06/2025", true},
  };
  for (const auto& caso : kCasi) {
    SCOPED_TRACE(caso.caso);
    std::vector<std::string> giorni, messaggi;
    std::vector<std::filesystem::path> aperte;
    Elaborazioni e;
    e.cartella_hotel = "/srv/albergo";
    e.calcola = [](Interfaccia&, const Richiesta&) { FAIL() << "no calculation"; };
    e.crea_excel = [](Interfaccia&, const Richiesta&) -> FogliCreati {
      ADD_FAILURE() << "no workbooks";
      return {};
    };
    e.report_direzione = [&](Interfaccia&, const Richiesta& r, Giorno g) -> std::string {
      EXPECT_EQ(r.cartella_hotel, "/srv/albergo");
      giorni.push_back(TestoData(g));
      if (caso.errore) throw Errore("File mancante");
      return "/srv/albergo/Excel/REPORT_DIREZIONE_" + ChiaveData(g) + ".xlsx";
    };
    e.apri_cartella = [&](const std::filesystem::path& c) {
      aperte.push_back(c);
      return true;
    };
    VendrixDT finestra(
        e, [&](QWidget*, const QString& testo, const QString&, const QString& altro) {
          messaggi.push_back(testo.toStdString() +
                             (altro.isEmpty() ? "" : " [" + altro.toStdString() + "]"));
          return true;
        });
    finestra.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&finestra));
    finestra.findChild<QLineEdit*>("Text1_1")->setText(caso.al);

    // The window's context menu offers it, under its access key.
    bool nel_menu = false;
    for (QAction* a : finestra.actions()) nel_menu |= a->text() == "Report di &direzione";
    EXPECT_TRUE(nel_menu);
    EXPECT_EQ(finestra.contextMenuPolicy(), Qt::ActionsContextMenu);

    QTest::keyClick(&finestra, Qt::Key_D, Qt::AltModifier);
    ASSERT_EQ(giorni, std::vector<std::string>{caso.giorno});
    ASSERT_EQ(messaggi.size(), 1u);
    if (caso.errore) {
      EXPECT_EQ(messaggi[0], "File mancante");
      EXPECT_TRUE(aperte.empty());
    } else {
      EXPECT_NE(messaggi[0].find("REPORT_DIREZIONE_"), std::string::npos) << messaggi[0];
      EXPECT_NE(messaggi[0].find("[Apri cartella]"), std::string::npos) << messaggi[0];
      EXPECT_EQ(aperte, std::vector<std::filesystem::path>{"/srv/albergo/Excel"});
    }
    // The box is left as the user typed it.
    EXPECT_EQ(finestra.findChild<QLineEdit*>("Text1_1")->text(), caso.al);
  }
}

TEST(VoceDirezioneTest, SenzaIlReportLaFinestraNonLoOffre) {
  Elaborazioni e;
  VendrixDT finestra(
      e, [](QWidget*, const QString&, const QString&, const QString&) { return false; });
  for (QAction* a : finestra.actions()) EXPECT_NE(a->objectName(), "ReportDirezione");
}

}  // namespace
}  // namespace vendrix
