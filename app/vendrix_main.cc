// vendrix: the window. Opens VendrixDT on the hotel files of the current folder, or, when it
// holds none (started from the application menu), of the folder the user chooses; closing it
// ends the program. --help and --version print and exit.

#include <QApplication>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "app/crea_excel_confronto.h"
#include "app/crea_report_direzione.h"
#include "app/istantanea.h"
#include "calc/calcolo.h"
#include "comune/fine_ordinata.h"
#include "comune/versione.h"
#include "reports/report_pickup.h"
#include "ui/traduzioni.h"
#include "ui/vendrix_dt.h"

namespace {

const char kUso[] = "Uso: vendrix [--help] [--version]\n";

const char kAiuto[] =
    "Statistiche sulle vendite di un hotel: apre la finestra che le calcola dai file\n"
    "dell'hotel della cartella corrente e ne scrive i fogli Excel nella sua cartella Excel.\n"
    "Se la cartella corrente non contiene l'hotel (manca TipiCamere.mdb), la finestra usa la\n"
    "cartella scelta l'ultima volta o la chiede; \"Cartella hotel…\" (Alt+H, o il menu del\n"
    "tasto destro) la cambia, \"Nome hotel…\" (nello stesso menu) ne imposta il nome.\n"
    "\n"
    "Opzioni:\n"
    "  --help     mostra questo aiuto ed esce\n"
    "  --version  mostra la versione ed esce\n"
    "\n"
    "Per lavorare senza finestra: vendrix-batch --help.\n";

}  // namespace

int main(int argc, char** argv) {
  // Answered before Qt starts: no display is needed to read them.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::cout << kUso << '\n' << kAiuto;
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::cout << "vendrix " << vendrix::kVersione << '\n';
      return 0;
    }
  }

  // A run stopped by Ctrl-C or a logout leaves nothing behind and the previous files intact.
  vendrix::InstallaFineOrdinata();
  QApplication applicazione(argc, argv);
  applicazione.setApplicationName("Vendrix");
  applicazione.setApplicationVersion(vendrix::kVersione);
  // Without them Qt's own dialogs speak English; the window works all the same.
  vendrix::CaricaTraduzioniQt(applicazione);

  vendrix::Elaborazioni elaborazioni;
  std::error_code errore;
  elaborazioni.cartella_hotel = std::filesystem::current_path(errore);
  elaborazioni.calcola = [](vendrix::Interfaccia& ui, const vendrix::Richiesta& r) {
    // The snapshot under the calculation's lock: another run finds one calculation at work.
    vendrix::CalcolaStatistiche(ui, r, [&] {
      vendrix::IstantaneaDiPassaggio(ui, r, vendrix::BloccoIstantanea::kDelCalcolo);
    });
  };
  elaborazioni.crea_excel = [](vendrix::Interfaccia& ui, const vendrix::Richiesta& r) {
    std::string senza_confronto;
    std::vector<std::string> percorsi = vendrix::CreaExcelConConfronto(ui, r, &senza_confronto);
    vendrix::IstantaneaDiPassaggio(ui, r);
    return vendrix::FogliCreati(std::move(percorsi), std::move(senza_confronto));
  };
  elaborazioni.report_direzione = [](vendrix::Interfaccia& ui, const vendrix::Richiesta& r,
                                     vendrix::Giorno giorno) {
    std::string percorso = vendrix::CreaReportDirezione(ui, r, giorno);
    // Beside it, the pickup of the books from the snapshots (today's was taken on the way).
    try {
      vendrix::CreaReportPickup(r.cartella_hotel, r.cartella_excel, vendrix::Oggi());
    } catch (const vendrix::Errore& e) {
      ui.ImpostaStato(e.what());
    }
    return percorso;
  };
  elaborazioni.scegli_cartella = vendrix::ScegliCartellaConDialogo;

  vendrix::VendrixDT finestra(elaborazioni);
  finestra.show();
  return applicazione.exec();
}
