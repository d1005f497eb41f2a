// The window's entry for the manager's report: an action of the window (its context menu and
// Alt+D), kept apart from the controls so that the fixed layout stays as it is.

#include <QAction>
#include <QLineEdit>
#include <filesystem>

#include "comune/date.h"
#include "ui/controlli.h"
#include "ui/vendrix_dt.h"

namespace vendrix {

void VendrixDT::PreparaReportDirezione() {
  if (!elaborazioni_.report_direzione) return;
  auto* voce = new QAction("Report di &direzione", this);
  voce->setObjectName("ReportDirezione");
  voce->setShortcut(QKeySequence(Qt::ALT | Qt::Key_D));
  connect(voce, &QAction::triggered, this, &VendrixDT::CreaReportDirezione);
  addAction(voce);
  setContextMenuPolicy(Qt::ActionsContextMenu);
}

void VendrixDT::CreaReportDirezione() {
  if (!HotelPresente()) return;
  // The day in the "to" box when it holds one, else yesterday; the box is left as it is.
  const Giorno giorno = LeggiData(Text1(1)).value_or(IeriLocale());
  const Richiesta r = NuovaRichiesta(giorno, giorno, elaborazioni_.cartella_hotel);
  const std::string del = "Report di direzione del " + TestoData(giorno);
  ImpostaStato("Creazione del report di direzione del " + TestoData(giorno));
  std::filesystem::path percorso;
  if (!Esegui([&] { percorso = elaborazioni_.report_direzione(*this, r, giorno); })) {
    ImpostaStato("Creazione del report di direzione non riuscita");
    return;
  }
  const std::filesystem::path cartella = percorso.parent_path();
  StatoConCartella(del + " creato in ", cartella, "");
  const std::string testo =
      del + " creato nella cartella " + cartella.string() + ":\r\n" + percorso.filename().string();
  if (presentatore_(this, QString::fromStdString(testo), "Statistiche", "Apri cartella") &&
      !elaborazioni_.apri_cartella(cartella)) {
    MsgBox(
        "Impossibile aprire la cartella " + cartella.string() + ": aprirla dal gestore dei file.",
        "Statistiche");
  }
}

}  // namespace vendrix
