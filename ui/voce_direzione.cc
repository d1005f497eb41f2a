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
  // The day in the "to" box when it holds one, else yesterday; the box is left as it is.
  const Giorno giorno = LeggiData(Text1(1)).value_or(IeriLocale());
  const Richiesta r = NuovaRichiesta(giorno, giorno, elaborazioni_.cartella_hotel);
  Esegui([&] {
    const std::filesystem::path percorso = elaborazioni_.report_direzione(*this, r, giorno);
    const std::string testo = "Report di direzione del " + TestoData(giorno) +
                              " creato nella cartella " + percorso.parent_path().string() +
                              ":\r\n" + percorso.filename().string();
    if (presentatore_(this, QString::fromStdString(testo), "Statistiche", "Apri cartella")) {
      elaborazioni_.apri_cartella(percorso.parent_path());
    }
  });
}

}  // namespace vendrix
