// vendrix-batch: the two runs of the window without the window, for scripts and scheduled jobs.
// It works in the current folder exactly as the window does.

#include <array>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "calc/calcolo.h"
#include "calc/interfaccia.h"
#include "calc/linea_stato.h"
#include "calc/vendrix_routine.h"
#include "data/errore.h"
#include "reports/report.h"

namespace vendrix {
namespace {

constexpr int kEsitoErrore = 1;
constexpr int kEsitoUso = 2;

const char* const kUso =
    "Uso:\n"
    "  vendrix-batch calcola DAL AL [--confermate] [--opzionate] [--clienti]\n"
    "  vendrix-batch excel DAL AL [--cartella CARTELLA]\n"
    "  vendrix-batch --help\n";

const char* const kAiuto =
    "Statistiche sulle vendite, senza finestra. Lavora sui file dell'albergo della cartella\n"
    "corrente, come il programma con la finestra.\n"
    "\n"
    "  calcola DAL AL   ricrea Vendrix.mdb con le statistiche del periodo (come \"&Calcola\").\n"
    "                   Soggiorni contati:\n"
    "                     --confermate  prenotazioni confermate\n"
    "                     --opzionate   prenotazioni opzionate\n"
    "                     --clienti     clienti in casa + storico (cartella dello storico:\n"
    "                                   variabile d'ambiente DIRSH)\n"
    "                   Senza opzioni: solo le prenotazioni confermate.\n"
    "  excel DAL AL     scrive REPORT_DATA.XLS, REPORT_TIPOCAMERA.XLS e REPORT_AGENZIA.XLS dalle\n"
    "                   statistiche di Vendrix.mdb (come \"C&rea Excel\") e stampa i file "
    "scritti.\n"
    "                     --cartella CARTELLA  dove scriverli (di solito la cartella Excel\n"
    "                                          del programma)\n"
    "\n"
    "Date: GG/MM/AAAA, oppure GGMMAA o GGMMAAAA. La data iniziale non puo' seguire la finale.\n"
    "L'avanzamento va sullo standard error, il messaggio finale sullo standard output.\n"
    "Esito: 0 riuscito, 1 errore durante il lavoro (il precedente Vendrix.mdb resta com'era),\n"
    "2 argomenti o date non validi.\n";

// Writes status texts to stderr, one a line.
class StatoSuStderr : public Interfaccia {
 public:
  int Chk(int) const override { return 0; }
  std::string Text1(int) const override { return {}; }
  void ImpostaStato(const std::string& testo) override { std::cerr << testo << '\n' << std::flush; }
  void MsgBox(const std::string&, const std::string&) override {}
};

// The window's place taken by the command line: check boxes from the options, date boxes from
// the arguments, status line on stderr (at most about 20 texts a second, the last one always),
// messages on stdout.
class InterfacciaBatch : public Interfaccia {
 public:
  InterfacciaBatch(std::array<int, 3> chk, std::string dal, std::string al)
      : chk_(chk), date_{std::move(dal), std::move(al)}, linea_(stderr_) {}

  int Chk(int indice) const override { return indice >= 0 && indice < 3 ? chk_[indice] : 0; }
  std::string Text1(int indice) const override {
    return indice >= 0 && indice < 2 ? date_[indice] : std::string();
  }
  void ImpostaStato(const std::string& testo) override { linea_.Imposta(testo); }
  void MsgBox(const std::string& testo, const std::string& /*titolo*/) override {
    linea_.Fine();
    std::string righe;
    for (size_t i = 0; i < testo.size(); ++i) {
      if (testo[i] == '\r') {
        righe.push_back('\n');
        if (i + 1 < testo.size() && testo[i + 1] == '\n') ++i;
      } else {
        righe.push_back(testo[i]);
      }
    }
    std::cout << righe << '\n' << std::flush;
  }
  // Shows the last status text, if it is still waiting.
  void Fine() { linea_.Fine(); }

 private:
  std::array<int, 3> chk_;
  std::array<std::string, 2> date_;
  StatoSuStderr stderr_;
  LineaStato linea_;
};

int ErroreUso(const std::string& motivo) {
  std::cerr << "vendrix-batch: " << motivo << "\n" << kUso;
  return kEsitoUso;
}

// The date as the window's date box accepts it on Enter (cleaned, expanded, checked), written
// back as DD/MM/YYYY. Positions count characters, as the date routines do.
bool LeggiData(std::string_view testo, std::string& data) {
  const std::string pulita = EspandiData(FiltraTesto(testo));
  if (ControllaData(pulita) != 1) return false;
  std::vector<size_t> inizi;  // where each character of the date starts
  const size_t primo = pulita.find_first_not_of(' ');
  for (size_t i = primo; i < pulita.size(); ++i) {
    if ((static_cast<unsigned char>(pulita[i]) & 0xC0) != 0x80) inizi.push_back(i);
  }
  inizi.push_back(pulita.size());
  if (inizi.size() < 11) return false;
  const auto pezzo = [&](size_t da, size_t n) {
    return ValoreNumerico(std::string_view(pulita).substr(inizi[da], inizi[da + n] - inizi[da]));
  };
  char testo_data[32];
  std::snprintf(testo_data, sizeof testo_data, "%02d/%02d/%04d", static_cast<int>(pezzo(0, 2)),
                static_cast<int>(pezzo(3, 2)), static_cast<int>(pezzo(6, 4)));
  data = testo_data;
  return true;
}

int Principale(const std::vector<std::string>& argomenti) {
  for (const std::string& a : argomenti) {
    if (a == "--help" || a == "-h") {
      std::cout << kUso << '\n' << kAiuto;
      return 0;
    }
  }
  if (argomenti.empty()) return ErroreUso("manca il comando.");
  const std::string& comando = argomenti[0];
  if (comando != "calcola" && comando != "excel") {
    return ErroreUso("comando sconosciuto: " + comando + ".");
  }
  if (argomenti.size() < 3) return ErroreUso("mancano le date DAL e AL.");

  std::array<int, 3> chk = {0, 0, 0};
  bool opzioni_chk = false;
  std::string cartella;
  bool con_cartella = false;
  for (size_t i = 3; i < argomenti.size(); ++i) {
    const std::string& a = argomenti[i];
    if (comando == "calcola" && a == "--confermate") {
      chk[0] = 1;
      opzioni_chk = true;
    } else if (comando == "calcola" && a == "--opzionate") {
      chk[1] = 1;
      opzioni_chk = true;
    } else if (comando == "calcola" && a == "--clienti") {
      chk[2] = 1;
      opzioni_chk = true;
    } else if (comando == "excel" && a == "--cartella" && !con_cartella) {
      if (i + 1 >= argomenti.size()) return ErroreUso("--cartella vuole il nome di una cartella.");
      cartella = argomenti[++i];
      con_cartella = true;
    } else {
      return ErroreUso("argomento non valido: " + a + ".");
    }
  }
  // Without options, the check boxes as the window starts: confirmed bookings only.
  if (!opzioni_chk) chk = {1, 0, 0};

  std::string dal, al;
  if (!LeggiData(argomenti[1], dal)) return ErroreUso("data DAL non valida: " + argomenti[1] + ".");
  if (!LeggiData(argomenti[2], al)) return ErroreUso("data AL non valida: " + argomenti[2] + ".");
  if (ControllaPeriodo(dal, al) != 1) {
    return ErroreUso("la data DAL (" + dal + ") segue la data AL (" + al + ").");
  }

  InterfacciaBatch ui(chk, dal, al);
  try {
    if (comando == "calcola") {
      CalcolaStatistiche(ui, dal, al);
    } else {
      if (!con_cartella) cartella = CartellaExcelPredefinita();
      for (const std::string& percorso : CreaReportExcel(ui, cartella)) {
        std::cout << percorso << '\n';
      }
      std::cout << std::flush;
    }
    ui.Fine();
  } catch (const Errore& e) {
    ui.Fine();
    std::cerr << "vendrix-batch: " << e.what() << '\n';
    return kEsitoErrore;
  } catch (const std::exception& e) {
    ui.Fine();
    std::cerr << "vendrix-batch: errore imprevisto: " << e.what() << '\n';
    return kEsitoErrore;
  }
  return 0;
}

}  // namespace
}  // namespace vendrix

int main(int argc, char** argv) {
  vendrix::CaricaModulo();
  std::vector<std::string> argomenti(argv + 1, argv + argc);
  return vendrix::Principale(argomenti);
}
