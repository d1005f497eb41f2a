// vendrix-demo: writes a sample hotel (every hotel file, the history files and the agency filter
// file) into a folder, for trying the program and for measuring it.

#include <charconv>
#include <cstdint>
#include <iostream>
#include <string>
#include <string_view>

#include "app/demo/hotel_demo.h"
#include "comune/versione.h"
#include "data/errore.h"

namespace {

constexpr const char* kUso =
    "Uso: vendrix-demo CARTELLA [--camere N] [--giorni N] [--dal GG/MM/AAAA] [--storico N] "
    "[--seme N]\n"
    "                    [--al-giorno GG/MM/AAAA]\n"
    "     vendrix-demo --help | --version\n";

constexpr const char* kAiuto =
    "Scrive nella CARTELLA un hotel di prova: i file dell'hotel (tipi e numeri di camere,\n"
    "prenotazioni, schede clienti, ditte, addebiti, voci di fattura, arrangiamenti), i tre file\n"
    "dello storico clienti e il file VendrixFiltro.txt. I file già presenti vengono sostituiti.\n"
    "\n"
    "  --camere N        camere dell'hotel (predefinito 30)\n"
    "  --giorni N        giorni di dati a partire dalla data di inizio (predefinito 60): le\n"
    "                    schede clienti fino a metà periodo, poi le prenotazioni\n"
    "  --dal GG/MM/AAAA  data di inizio (predefinita 01/01/2024)\n"
    "  --storico N       giorni di schede archiviate prima della data di inizio (predefinito 60)\n"
    "  --seme N          seme dei dati casuali: stesso seme, stesso hotel (predefinito 1)\n"
    "  --al-giorno GG/MM/AAAA\n"
    "                    l'hotel come era la mattina di quel giorno: prenotazioni fatte con\n"
    "                    anticipo, alcune disdette, opzioni confermate o lasciate cadere, schede\n"
    "                    clienti dopo l'arrivo e storico dopo la partenza. Giorni successivi\n"
    "                    mostrano lo stesso hotel che vive (per le istantanee dei libri)\n"
    "  --help            mostra questo aiuto ed esce\n"
    "  --version         mostra la versione ed esce\n"
    "\n"
    "Esempio: vendrix-demo ~/hotel-demo --camere 300 --giorni 365 --dal 01/01/2024\n";

template <typename N>
bool LeggiNumero(std::string_view testo, N& numero) {
  auto [fine, errore] = std::from_chars(testo.data(), testo.data() + testo.size(), numero);
  return errore == std::errc() && fine == testo.data() + testo.size();
}

int Uso(const std::string& motivo) {
  std::cerr << "vendrix-demo: " << motivo << "\n" << kUso << "Per l'aiuto: vendrix-demo --help\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using vendrix::demo::OpzioniDemo;
  OpzioniDemo opzioni;
  std::string cartella;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUso << "\n" << kAiuto;
      return 0;
    }
    if (arg == "--version") {
      std::cout << "vendrix-demo " << vendrix::kVersione << "\n";
      return 0;
    }
    if (arg.starts_with("--")) {
      if (i + 1 >= argc) return Uso("manca il valore di " + std::string(arg));
      std::string_view valore = argv[++i];
      bool ok = true;
      if (arg == "--camere") {
        ok = LeggiNumero(valore, opzioni.camere);
      } else if (arg == "--giorni") {
        ok = LeggiNumero(valore, opzioni.giorni);
      } else if (arg == "--storico") {
        ok = LeggiNumero(valore, opzioni.giorni_storico);
      } else if (arg == "--seme") {
        ok = LeggiNumero(valore, opzioni.seme);
      } else if (arg == "--dal") {
        opzioni.dal = std::string(valore);
      } else if (arg == "--al-giorno") {
        opzioni.al_giorno = std::string(valore);
      } else {
        return Uso("opzione sconosciuta " + std::string(arg));
      }
      if (!ok) return Uso("valore non valido per " + std::string(arg) + ": " + std::string(valore));
    } else if (cartella.empty()) {
      cartella = std::string(arg);
    } else {
      return Uso("una sola cartella, per favore: " + std::string(arg));
    }
  }
  if (cartella.empty()) return Uso("manca la cartella");
  if (std::string motivo = vendrix::demo::ControllaOpzioni(opzioni); !motivo.empty()) {
    return Uso(motivo);
  }

  try {
    vendrix::demo::RiepilogoDemo r = vendrix::demo::ScriviHotelDemo(cartella, opzioni);
    const double occupazione =
        r.camere_letto > 0 ? 100.0 * r.notti_vendute / (double(r.camere_letto) * opzioni.giorni)
                           : 0;
    std::cout << "Hotel di prova in " << cartella << ": " << r.tipi_camere << " tipi di camera, "
              << r.camere << " camere (" << r.camere_letto << " da letto), " << r.prenotazioni
              << " prenotazioni con " << r.righe_camere << " righe, " << r.schede_clienti
              << " schede clienti, " << r.schede_storico << " schede storico, " << r.ditte << "+"
              << r.ditte_storico << " ditte, " << r.addebiti << "+" << r.addebiti_storico
              << " addebiti; occupazione " << static_cast<int>(occupazione + 0.5) << "%\n";
    return 0;
  } catch (const vendrix::Errore& e) {
    std::cerr << "vendrix-demo: " << e.what() << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "vendrix-demo: errore imprevisto: " << e.what() << "\n";
    return 1;
  }
}
