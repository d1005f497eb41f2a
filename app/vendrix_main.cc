// vendrix: the window. Opens VendrixDT; closing it ends the program. Takes no arguments.

#include <QApplication>
#include <string>

#include "calc/calcolo.h"
#include "reports/report.h"
#include "ui/vendrix_dt.h"

int main(int argc, char** argv) {
  QApplication applicazione(argc, argv);
  applicazione.setApplicationName("Vendrix");

  vendrix::Elaborazioni elaborazioni;
  elaborazioni.calcola = [](vendrix::Interfaccia& ui, const std::string& dal,
                            const std::string& al) { vendrix::CalcolaStatistiche(ui, dal, al); };
  elaborazioni.crea_excel = [](vendrix::Interfaccia& ui) {
    vendrix::CreaReportExcel(ui, vendrix::CartellaExcelPredefinita());
  };

  vendrix::VendrixDT finestra(elaborazioni);
  finestra.show();
  return applicazione.exec();
}
