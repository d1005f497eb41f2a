// vendrix-batch: the two runs of the window without the window, for scripts and scheduled jobs.
// It works in the current folder exactly as the window does.

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "app/crea_excel_confronto.h"
#include "app/crea_report_direzione.h"
#include "app/istantanea.h"
#include "calc/calcolo.h"
#include "calc/linea_stato.h"
#include "calc/vendrix_routine.h"
#include "comune/date.h"
#include "comune/errore_sistema.h"
#include "comune/fine_ordinata.h"
#include "comune/interfaccia.h"
#include "comune/nome_hotel.h"
#include "comune/richiesta.h"
#include "comune/versione.h"
#include "data/errore.h"
#include "reports/report.h"
#include "reports/report_pickup.h"

namespace vendrix {
namespace {

namespace fs = std::filesystem;

constexpr int kEsitoErrore = 1;
constexpr int kEsitoUso = 2;

const char* const kUso =
    "Uso:\n"
    "  vendrix-batch calcola DAL AL [--confermate] [--opzionate] [--clienti]\n"
    "  vendrix-batch excel DAL AL [--cartella CARTELLA] [--senza-confronto]\n"
    "  vendrix-batch direzione [GIORNO] [--cartella CARTELLA]\n"
    "  vendrix-batch istantanea [--al GIORNO [--da CARTELLA]]\n"
    "  vendrix-batch pickup [GIORNO] [--cartella CARTELLA]\n"
    "  vendrix-batch --hotel NOME\n"
    "  vendrix-batch --help | --version\n";

const char* const kAiuto =
    "Statistiche sulle vendite, senza finestra. Lavora sui file dell'hotel della cartella\n"
    "corrente, come il programma con la finestra.\n"
    "\n"
    "Comandi:\n"
    "  calcola DAL AL   ricrea Vendrix.mdb con le statistiche del periodo (come \"Calcola\").\n"
    "                   Soggiorni contati:\n"
    "                     --confermate  prenotazioni confermate\n"
    "                     --opzionate   prenotazioni opzionate\n"
    "                     --clienti     clienti in casa + storico (cartella dello storico:\n"
    "                                   variabile d'ambiente DIRSH, altrimenti la cartella\n"
    "                                   corrente)\n"
    "                   Senza opzioni: solo le prenotazioni confermate.\n"
    "  excel DAL AL     scrive REPORT_DATA.xlsx, REPORT_TIPOCAMERA.xlsx e REPORT_AGENZIA.xlsx\n"
    "                   dalle statistiche di Vendrix.mdb (come \"Crea Excel\") e stampa i file\n"
    "                   scritti. Le statistiche devono essere dello stesso periodo: altrimenti\n"
    "                   eseguire prima vendrix-batch calcola.\n"
    "                   Accanto a ogni cifra del riepilogo e dei mesi mette lo stesso periodo\n"
    "                   dell'anno precedente (il 29/02 diventa il 28/02), calcolato dai file\n"
    "                   dell'hotel con prenotazioni confermate e clienti in casa + storico,\n"
    "                   senza toccare Vendrix.mdb.\n"
    "                     --cartella CARTELLA  dove scriverli (predefinita: la cartella Excel\n"
    "                                          della cartella corrente, creata se manca)\n"
    "                     --senza-confronto    senza l'anno precedente\n"
    "  direzione [GIORNO]\n"
    "                   scrive REPORT_DIREZIONE_AAAAMMGG.xlsx, il report di direzione del\n"
    "                   GIORNO (predefinito: ieri): giorno, mese e anno ad oggi accanto\n"
    "                   all'anno precedente, prenotazioni dei prossimi giorni e segmenti\n"
    "                   (VendrixSegmenti.txt), dai file dell'hotel senza toccare\n"
    "                   Vendrix.mdb; stampa il file scritto.\n"
    "                     --cartella CARTELLA  dove scriverlo (come per excel)\n"
    "  istantanea       registra in VendrixLibri.db i libri di oggi (per ogni notte dei\n"
    "                   prossimi 365 giorni, tipo camera, segmento, confermate e opzionate:\n"
    "                   camere, ospiti, retta) e il consuntivo delle notti passate.\n"
    "                   \"Calcola\" e \"Crea Excel\" la registrano anche da soli.\n"
    "                     --al GIORNO  i libri come erano quel giorno: la cartella corrente\n"
    "                                  deve contenere i file dell'hotel di quel giorno\n"
    "                                  (una copia di sicurezza)\n"
    "                     --da CARTELLA  legge i file dell'hotel da CARTELLA (la copia di\n"
    "                                    sicurezza di quel giorno; lo storico: DIRSH,\n"
    "                                    altrimenti CARTELLA) e registra l'istantanea nella\n"
    "                                    cartella corrente\n"
    "  pickup [GIORNO]  scrive REPORT_PICKUP_AAAAMMGG.xlsx dalle istantanee (predefinito\n"
    "                   oggi, dopo averne registrata una) e stampa il file scritto.\n"
    "                     --cartella CARTELLA  come per excel\n"
    "\n"
    "Opzioni:\n"
    "  --hotel NOME  il nome dell'hotel della cartella corrente, mostrato dai fogli Excel\n"
    "                (tenuto in VendrixHotel.txt, lo stesso della finestra); \"\" torna al\n"
    "                nome della cartella. Da solo o con un comando.\n"
    "  --help     mostra questo aiuto ed esce\n"
    "  --version  mostra la versione ed esce\n"
    "\n"
    "Date: GG/MM/AAAA (anche G/M/AAAA, con / . o - come separatori), GGMMAAAA o GGMMAA\n"
    "(anni 00-49: 2000-2049; 50-99: 1950-1999). La data iniziale non può seguire la finale;\n"
    "il periodo è al massimo di %ANNI% anni, con date dal %PRIMO% al %ULTIMO%.\n"
    "L'avanzamento si vede sul terminale (standard error), senza nomi di clienti; altrove\n"
    "(cron, servizi) lo standard error riceve solo gli errori. Il messaggio finale va sullo\n"
    "standard output.\n"
    "Esito: 0 riuscito, 1 errore durante il lavoro (il precedente Vendrix.mdb resta com'era)\n"
    "o un altro calcolo in corso nella stessa cartella, 2 argomenti o date non validi,\n"
    "130 o 143 interrotto (Ctrl-C o SIGTERM: i file precedenti restano come erano).\n";

// The progress of a run as a terminal shows it: one line, rewritten in place. A progress text
// names the stay it is at by number ("Lettura scheda cliente n. 60951 ..."): what follows the
// number, a guest's name among others, is left out; where the text gives the total ("... n. 12
// di 40"), the share done is shown too. Nothing is shown when stderr is not a terminal: a job
// run by cron or a timer would send every text to the system's log.
class AvanzamentoSuTerminale : public Interfaccia {
 public:
  AvanzamentoSuTerminale() : terminale_(::isatty(STDERR_FILENO) == 1) {}

  void ImpostaStato(const std::string& testo) override {
    if (!terminale_) return;
    std::string riga = SenzaNomi(testo);
    struct winsize finestra {};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &finestra) == 0 && finestra.ws_col > 1) {
      // A line longer than the terminal would wrap, and the next one would not replace it.
      size_t colonne = 0, fine = 0;
      while (fine < riga.size() && colonne < finestra.ws_col - 1u) {
        ++fine;
        while (fine < riga.size() && (static_cast<unsigned char>(riga[fine]) & 0xC0) == 0x80) {
          ++fine;
        }
        ++colonne;
      }
      riga.resize(fine);
    }
    std::cerr << '\r' << riga << "\x1b[K" << std::flush;
    mostrata_ = true;
  }
  void MsgBox(const std::string&, const std::string&) override {}

  // Ends the progress line, if one is on show, so that what follows starts on a line of its own.
  void Chiudi() {
    if (mostrata_) std::cerr << "\r\x1b[K" << std::flush;
    mostrata_ = false;
  }

  // `testo` up to the number after its first "n. ", with the share done when " di <total>"
  // follows; other texts as they are.
  static std::string SenzaNomi(const std::string& testo) {
    const size_t n = testo.find("n. ");
    if (n == std::string::npos) return testo;
    size_t fine = n + 3;
    const auto cifre = [&](size_t da) {
      size_t a = da;
      while (a < testo.size() && testo[a] >= '0' && testo[a] <= '9') ++a;
      return a;
    };
    const size_t dopo_numero = cifre(fine);
    if (dopo_numero == fine) return testo.substr(0, n);
    std::string esito = testo.substr(0, dopo_numero);
    const std::string di = " di ";
    if (testo.compare(dopo_numero, di.size(), di) == 0) {
      const size_t dopo_totale = cifre(dopo_numero + di.size());
      const std::string totale =
          testo.substr(dopo_numero + di.size(), dopo_totale - dopo_numero - di.size());
      if (!totale.empty() && totale.size() < 18) {
        const long long fatti = std::stoll(testo.substr(fine, dopo_numero - fine));
        const long long tutti = std::stoll(totale);
        esito += di + totale;
        if (tutti > 0) esito += " (" + std::to_string(std::min(100LL, fatti * 100 / tutti)) + "%)";
      }
    }
    return esito;
  }

 private:
  bool terminale_;
  bool mostrata_ = false;
};

// The window's place taken by the command line: progress on the terminal (at most about 20
// texts a second, the last one always), messages on stdout.
class InterfacciaBatch : public Interfaccia {
 public:
  InterfacciaBatch() : linea_(avanzamento_) {}

  void ImpostaStato(const std::string& testo) override { linea_.Imposta(testo); }
  void MsgBox(const std::string& testo, const std::string& /*titolo*/) override {
    Fine();
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
  // Shows the last status text, if it is still waiting, then clears the progress line.
  void Fine() {
    linea_.Fine();
    avanzamento_.Chiudi();
  }

 private:
  AvanzamentoSuTerminale avanzamento_;
  LineaStato linea_;
};

int ErroreUso(const std::string& motivo) {
  std::cerr << "vendrix-batch: " << motivo << "\n" << kUso;
  return kEsitoUso;
}

// Runs `lavoro` with the command line in the window's place; returns the exit code.
template <typename Fn>
int Esegui(InterfacciaBatch& ui, Fn&& lavoro) {
  try {
    lavoro();
    ui.Fine();
  } catch (const StatisticheDaCalcolare& e) {
    ui.Fine();
    std::cerr << "vendrix-batch: " << e.TestoSenzaFinestra() << '\n';
    return kEsitoErrore;
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

// Today's snapshot of the books on the way of a run. A snapshot that fails does not fail the run,
// but its reason is an error the user must see: on stderr, terminal or not.
void IstantaneaDelComando(InterfacciaBatch& ui, const Richiesta& r,
                          BloccoIstantanea blocco = BloccoIstantanea::kProprio) {
  if (const std::optional<std::string> motivo = IstantaneaDiPassaggio(ui, r, blocco)) {
    ui.Fine();
    std::cerr << "vendrix-batch: istantanea dei libri non registrata: " << *motivo << '\n';
  }
}

// The current folder, or nullopt after saying why it cannot be read.
std::optional<fs::path> CartellaCorrente() {
  std::error_code errore;
  const fs::path corrente = fs::current_path(errore);
  if (errore) {
    std::cerr << "vendrix-batch: impossibile leggere la cartella corrente: "
              << TestoErroreSistema(errore) << ".\n";
    return std::nullopt;
  }
  return corrente;
}

// vendrix-batch direzione [GIORNO] [--cartella CARTELLA], in the current folder.
int Direzione(const std::vector<std::string>& argomenti) {
  std::optional<Giorno> giorno;
  std::optional<fs::path> cartella_excel;
  for (size_t i = 1; i < argomenti.size(); ++i) {
    const std::string& a = argomenti[i];
    if (a == "--cartella" && !cartella_excel) {
      if (i + 1 >= argomenti.size() || argomenti[i + 1].empty()) {
        return ErroreUso("--cartella vuole il nome di una cartella.");
      }
      cartella_excel = argomenti[++i];
    } else if (!giorno && !a.starts_with("--")) {
      giorno = LeggiData(a);
      if (!giorno) return ErroreUso("GIORNO: " + MessaggioDataNonValida(a));
    } else {
      return ErroreUso("argomento non valido: " + a + ".");
    }
  }
  const std::optional<fs::path> corrente = CartellaCorrente();
  if (!corrente) return kEsitoErrore;
  const Giorno g = giorno.value_or(IeriLocale());
  Richiesta r = NuovaRichiesta(g, g, *corrente);
  if (cartella_excel) r.cartella_excel = *corrente / *cartella_excel;
  InterfacciaBatch ui;
  return Esegui(ui, [&] { std::cout << CreaReportDirezione(ui, r, g) << '\n' << std::flush; });
}

// `istantanea [--al GIORNO]` and `pickup [GIORNO] [--cartella DIR]`.
int Libri(const std::vector<std::string>& argomenti) {
  const std::string& comando = argomenti[0];
  std::optional<Giorno> giorno;
  std::optional<fs::path> cartella_excel, origine;
  for (size_t i = 1; i < argomenti.size(); ++i) {
    const std::string& a = argomenti[i];
    const bool opzione_data = comando == "istantanea" && a == "--al";
    if (opzione_data || (comando == "pickup" && !a.starts_with("--"))) {
      if (giorno) return ErroreUso("un solo giorno, per favore: " + a + ".");
      if (opzione_data && i + 1 >= argomenti.size()) return ErroreUso("--al vuole un giorno.");
      const std::string& testo = opzione_data ? argomenti[++i] : a;
      giorno = LeggiData(testo);
      if (!giorno) return ErroreUso(MessaggioDataNonValida(testo));
    } else if (comando == "istantanea" && a == "--da" && !origine) {
      if (i + 1 >= argomenti.size() || argomenti[i + 1].empty()) {
        return ErroreUso("--da vuole il nome di una cartella.");
      }
      origine = argomenti[++i];
    } else if (comando == "pickup" && a == "--cartella" && !cartella_excel) {
      if (i + 1 >= argomenti.size() || argomenti[i + 1].empty()) {
        return ErroreUso("--cartella vuole il nome di una cartella.");
      }
      cartella_excel = argomenti[++i];
    } else {
      return ErroreUso("argomento non valido: " + a + ".");
    }
  }
  const std::optional<fs::path> corrente = CartellaCorrente();
  if (!corrente) return kEsitoErrore;
  const Giorno oggi = Oggi();
  if (origine && !giorno) return ErroreUso("--da vale solo con --al GIORNO.");
  if (comando == "istantanea" && giorno && *giorno > oggi) {
    return ErroreUso("il giorno dell'istantanea non può seguire oggi.");
  }
  Richiesta r = NuovaRichiesta(oggi, oggi, origine ? *corrente / *origine : *corrente);
  if (cartella_excel) r.cartella_excel = *corrente / *cartella_excel;
  InterfacciaBatch ui;
  return Esegui(ui, [&] {
    if (comando == "istantanea") {
      const EsitoIstantanea esito = PrendiIstantanea(r, giorno.value_or(oggi), *corrente);
      std::cout << "Istantanea dei libri del " << TestoData(esito.giorno) << " registrata in "
                << esito.percorso << " (" << esito.voci << " righe, consuntivo di "
                << esito.notti_consuntivo << " notti)\n";
    } else {
      // Today's workbook shows the books as they stand now.
      if (!giorno || *giorno == oggi) IstantaneaDelComando(ui, r);
      ui.Fine();
      std::cout << CreaReportPickup(r.cartella_hotel, r.cartella_excel, giorno.value_or(oggi))
                << '\n';
    }
  });
}

// The exit code of --help or --version when one of them is among the arguments: the text is
// printed and nothing else is done.
std::optional<int> AiutoOVersione(const std::vector<std::string>& argomenti) {
  for (const std::string& a : argomenti) {
    if (a == "--help" || a == "-h") {
      std::string aiuto = kAiuto;
      const std::pair<std::string, std::string> segnaposti[] = {
          {"%ANNI%", std::to_string(kMassimoAnniPeriodo)},
          {"%PRIMO%", TestoData(Giorno(kPrimoGiornoPeriodo))},
          {"%ULTIMO%", TestoData(Giorno(kUltimoGiornoPeriodo))}};
      for (const auto& [segnaposto, valore] : segnaposti) {
        aiuto.replace(aiuto.find(segnaposto), segnaposto.size(), valore);
      }
      std::cout << kUso << '\n' << aiuto;
      return 0;
    }
    if (a == "--version") {
      std::cout << "vendrix-batch " << kVersione << '\n';
      return 0;
    }
  }
  return std::nullopt;
}

// Takes "--hotel NOME" out of `argomenti` wherever it stands into `nome_hotel`. False when it
// stands twice or without its name.
bool TogliNomeHotel(std::vector<std::string>& argomenti, std::optional<std::string>& nome_hotel) {
  for (size_t i = 0; i < argomenti.size(); ++i) {
    if (argomenti[i] != "--hotel") continue;
    if (nome_hotel || i + 1 >= argomenti.size()) return false;
    nome_hotel = argomenti[i + 1];
    argomenti.erase(argomenti.begin() + static_cast<std::ptrdiff_t>(i),
                    argomenti.begin() + static_cast<std::ptrdiff_t>(i) + 2);
    --i;
  }
  return true;
}

// Gives the current folder's hotel the name `nome_hotel` when there is one and says so on
// stderr. False, with the reason on stderr, when the name cannot be set.
bool ImpostaNomeDato(const std::optional<std::string>& nome_hotel) {
  if (!nome_hotel) return true;
  std::error_code errore_cartella;
  const fs::path cartella = fs::current_path(errore_cartella);
  std::optional<std::string> errore;
  if (errore_cartella) {
    errore =
        "impossibile leggere la cartella corrente: " + TestoErroreSistema(errore_cartella) + ".";
  } else {
    errore = ImpostaNomeHotel(cartella, *nome_hotel);
  }
  if (errore) {
    std::cerr << "vendrix-batch: " << *errore << '\n';
    return false;
  }
  std::cerr << "Nome dell'hotel: " << NomeHotel(cartella) << '\n';
  return true;
}

// The options after DAL AL of calcola and excel.
struct OpzioniPeriodo {
  bool confermate = false, opzionate = false, clienti = false;
  std::optional<fs::path> cartella_excel;
  bool confronto = true;
};

// Reads the options of `comando` from argomenti[3] on. The usage error when one is not valid.
std::optional<std::string> LeggiOpzioniPeriodo(const std::vector<std::string>& argomenti,
                                               OpzioniPeriodo& o) {
  const std::string& comando = argomenti[0];
  for (size_t i = 3; i < argomenti.size(); ++i) {
    const std::string& a = argomenti[i];
    if (comando == "calcola" && a == "--confermate") {
      o.confermate = true;
    } else if (comando == "calcola" && a == "--opzionate") {
      o.opzionate = true;
    } else if (comando == "calcola" && a == "--clienti") {
      o.clienti = true;
    } else if (comando == "excel" && a == "--cartella" && !o.cartella_excel) {
      if (i + 1 >= argomenti.size() || argomenti[i + 1].empty()) {
        return "--cartella vuole il nome di una cartella.";
      }
      o.cartella_excel = argomenti[++i];
    } else if (comando == "excel" && a == "--senza-confronto") {
      o.confronto = false;
    } else {
      return "argomento non valido: " + a + ".";
    }
  }
  // Without options, the check boxes as the window starts: confirmed bookings only.
  if (!o.confermate && !o.opzionate && !o.clienti) o.confermate = true;
  return std::nullopt;
}

// calcola or excel DAL AL with their options: the exit code of the run.
int CalcolaOExcel(const std::vector<std::string>& argomenti,
                  const std::optional<std::string>& nome_hotel) {
  if (argomenti.size() < 3) return ErroreUso("mancano le date DAL e AL.");
  OpzioniPeriodo o;
  if (const std::optional<std::string> errore = LeggiOpzioniPeriodo(argomenti, o)) {
    return ErroreUso(*errore);
  }
  const std::optional<Giorno> dal = LeggiData(argomenti[1]);
  if (!dal) return ErroreUso("DAL: " + MessaggioDataNonValida(argomenti[1]));
  const std::optional<Giorno> al = LeggiData(argomenti[2]);
  if (!al) return ErroreUso("AL: " + MessaggioDataNonValida(argomenti[2]));
  if (const std::optional<std::string> rifiuto = RifiutoPeriodo(*dal, *al)) {
    return ErroreUso(*rifiuto);
  }

  const std::optional<fs::path> corrente = CartellaCorrente();
  if (!corrente) return kEsitoErrore;
  if (!ImpostaNomeDato(nome_hotel)) return kEsitoErrore;
  Richiesta r = NuovaRichiesta(*dal, *al, *corrente);
  r.confermate = o.confermate;
  r.opzionate = o.opzionate;
  r.clienti = o.clienti;
  // A folder given on the command line is taken from where the command was typed.
  if (o.cartella_excel) r.cartella_excel = *corrente / *o.cartella_excel;

  InterfacciaBatch ui;
  return Esegui(ui, [&] {
    if (argomenti[0] == "calcola") {
      CalcolaStatistiche(ui, r,
                         [&] { IstantaneaDelComando(ui, r, BloccoIstantanea::kDelCalcolo); });
    } else {
      const std::vector<std::string> percorsi =
          o.confronto ? CreaExcelConConfronto(ui, r) : CreaReportExcel(ui, r);
      IstantaneaDelComando(ui, r);
      for (const std::string& percorso : percorsi) {
        std::cout << percorso << '\n';
      }
      std::cout << std::flush;
    }
  });
}

int Principale(std::vector<std::string> argomenti) {
  if (const std::optional<int> esito = AiutoOVersione(argomenti)) return *esito;
  // The hotel's name, given once per folder: taken out of the arguments wherever it stands.
  std::optional<std::string> nome_hotel;
  if (!TogliNomeHotel(argomenti, nome_hotel)) {
    return ErroreUso("--hotel vuole il nome dell'hotel, una volta sola.");
  }
  if (argomenti.empty()) {
    if (nome_hotel) return ImpostaNomeDato(nome_hotel) ? 0 : kEsitoErrore;
    return ErroreUso("manca il comando.");
  }
  const std::string& comando = argomenti[0];
  if (comando == "istantanea" || comando == "pickup") return Libri(argomenti);
  if (comando == "direzione") {
    return ImpostaNomeDato(nome_hotel) ? Direzione(argomenti) : kEsitoErrore;
  }
  if (comando != "calcola" && comando != "excel") {
    return ErroreUso("comando sconosciuto: " + comando + ".");
  }
  return CalcolaOExcel(argomenti, nome_hotel);
}

}  // namespace
}  // namespace vendrix

int main(int argc, char** argv) {
  vendrix::InstallaFineOrdinata("vendrix-batch: interrotto; i file precedenti restano come erano.");
  vendrix::CaricaModulo();
  std::vector<std::string> argomenti(argv + 1, argv + argc);
  return vendrix::Principale(argomenti);
}
