// Workbook::SaveAs: the in-memory workbook written as an xlsx file with libxlsxwriter.

#include <unistd.h>
#include <xlsxwriter.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "comune/errore_sistema.h"
#include "reports/cartella_lavoro.h"

namespace vendrix::excel {

namespace {

// The longest text a cell may hold, in bytes as the library counts it.
constexpr size_t kMassimoTesto = 32767;

// Texts reach the file as UTF-8; a byte that does not belong to a well-formed sequence (a text
// read from a file in another code page) would make the whole file unreadable, so it is shown as
// the replacement character instead.
std::string Utf8Valido(const std::string& testo) {
  std::string esito;
  esito.reserve(testo.size());
  const auto* s = reinterpret_cast<const unsigned char*>(testo.data());
  const size_t n = testo.size();
  size_t i = 0;
  while (i < n) {
    unsigned char c = s[i];
    size_t lunghezza = 0;
    uint32_t minimo = 0;
    if (c < 0x80) {
      lunghezza = 1;
    } else if ((c & 0xE0) == 0xC0) {
      lunghezza = 2;
      minimo = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      lunghezza = 3;
      minimo = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      lunghezza = 4;
      minimo = 0x10000;
    }
    bool valido = lunghezza > 0 && i + lunghezza <= n;
    uint32_t codice = lunghezza == 1 ? c : c & (0x7F >> lunghezza);
    for (size_t k = 1; valido && k < lunghezza; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) valido = false;
      codice = (codice << 6) | (s[i + k] & 0x3F);
    }
    if (valido && lunghezza > 1 &&
        (codice < minimo || codice > 0x10FFFF || (codice >= 0xD800 && codice <= 0xDFFF))) {
      valido = false;
    }
    if (valido) {
      esito.append(testo, i, lunghezza);
      i += lunghezza;
    } else {
      esito += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return esito;
}

std::string Posizione(const std::pair<int, int>& cella) {
  return "riga " + std::to_string(cella.first) + ", colonna " + std::to_string(cella.second);
}

// Owns the library's workbook until it is closed (which writes the file) or dropped.
class ScritturaXlsx {
 public:
  // Writes into `file`; messages name `percorso`, the file the user asked for.
  ScritturaXlsx(const std::string& file, const std::string& percorso) : percorso_(percorso) {
    // Rows are written in order and flushed one by one: a sheet of a million rows is not held
    // a second time in the library's memory.
    lxw_workbook_options opzioni = {};
    opzioni.constant_memory = LXW_TRUE;
    cartella_ = workbook_new_opt(file.c_str(), &opzioni);
    if (cartella_ == nullptr) Fallito("impossibile preparare la cartella di lavoro");
  }
  ~ScritturaXlsx() {
    // Dropped after a failure: the library can only release a workbook by closing it, which
    // writes the file; the caller removes that file again.
    if (cartella_ != nullptr) workbook_close(cartella_);
  }
  ScritturaXlsx(const ScritturaXlsx&) = delete;
  ScritturaXlsx& operator=(const ScritturaXlsx&) = delete;

  void Foglio(const Worksheet& foglio) {
    lxw_worksheet* ws = workbook_add_worksheet(cartella_, foglio.Name().c_str());
    if (ws == nullptr) Fallito("impossibile aggiungere il foglio \"" + foglio.Name() + "\"");
    for (const auto& [colonna, larghezza] : foglio.LarghezzeColonne()) {
      Controlla(worksheet_set_column(ws, colonna - 1, colonna - 1, larghezza, nullptr),
                "larghezza della colonna " + std::to_string(colonna));
    }
    for (const auto& [riga, altezza] : foglio.AltezzeRighe()) {
      Controlla(worksheet_set_row(ws, riga - 1, altezza, nullptr),
                "altezza della riga " + std::to_string(riga));
    }
    std::vector<lxw_format*> formati;
    for (const std::string& codice : foglio.Formati()) formati.push_back(Formato(codice));
    const auto& righe = foglio.Righe();
    for (size_t i = 0; i < righe.size(); ++i) {
      for (size_t j = 0; j < righe[i].size(); ++j) {
        const Cella& cella = righe[i][j];
        const std::pair<int, int> posizione(static_cast<int>(i) + 1, static_cast<int>(j) + 1);
        const lxw_row_t r = static_cast<lxw_row_t>(i);
        const lxw_col_t c = static_cast<lxw_col_t>(j);
        lxw_format* formato = formati.at(cella.formato);
        const ValoreCella& v = cella.valore;
        switch (v.Tipo()) {
          case TipoCella::kVuota:
            if (formato != nullptr) {
              Controlla(worksheet_write_blank(ws, r, c, formato), Posizione(posizione));
            }
            break;
          case TipoCella::kTesto: {
            std::string testo = Utf8Valido(v.Testo());
            if (testo.size() > kMassimoTesto) {
              Fallito("testo troppo lungo per una cella (" + Posizione(posizione) + ")");
            }
            Controlla(worksheet_write_string(ws, r, c, testo.c_str(), formato),
                      Posizione(posizione));
            break;
          }
          case TipoCella::kIntero:
          case TipoCella::kNumero:
          case TipoCella::kValuta: {
            double x = v.Numero();
            if (!std::isfinite(x)) Fallito("numero non valido (" + Posizione(posizione) + ")");
            Controlla(worksheet_write_number(ws, r, c, x, formato), Posizione(posizione));
            break;
          }
        }
      }
    }
  }

  void Chiudi() {
    errno = 0;
    lxw_error esito = workbook_close(cartella_);
    cartella_ = nullptr;
    if (esito != LXW_NO_ERROR) {
      // The system's reason, when there is one, says more to the user than the library's.
      Fallito(errno != 0 ? TestoErroreSistema(errno) : std::string(lxw_strerror(esito)));
    }
  }

 private:
  lxw_format* Formato(const std::string& codice) {
    if (codice.empty()) return nullptr;
    auto [it, nuovo] = formati_.try_emplace(codice, nullptr);
    if (nuovo) {
      it->second = workbook_add_format(cartella_);
      if (it->second == nullptr) Fallito("memoria insufficiente");
      format_set_num_format(it->second, codice.c_str());
    }
    return it->second;
  }

  void Controlla(lxw_error esito, const std::string& dove) {
    if (esito != LXW_NO_ERROR) Fallito(std::string(lxw_strerror(esito)) + " (" + dove + ")");
  }

  [[noreturn]] void Fallito(const std::string& motivo) {
    throw Errore("Salvataggio della cartella di lavoro '" + percorso_ +
                 "' non riuscito: " + motivo);
  }

  std::string percorso_;
  lxw_workbook* cartella_ = nullptr;
  std::map<std::string, lxw_format*> formati_;
};

}  // namespace

void Workbook::SaveAs(const std::string& percorso) const {
  // Written under a temporary name beside the final one and renamed at the end, so that a
  // failure leaves neither a half-written file nor a damaged previous one under `percorso`.
  const std::string provvisorio = percorso + "." + std::to_string(::getpid()) + ".tmp";
  try {
    {
      ScritturaXlsx scrittura(provvisorio, percorso);
      scrittura.Foglio(foglio_);
      scrittura.Chiudi();
    }
    std::error_code errore;
    std::filesystem::rename(provvisorio, percorso, errore);
    if (errore) {
      throw Errore("Salvataggio della cartella di lavoro '" + percorso +
                   "' non riuscito: " + TestoErroreSistema(errore));
    }
  } catch (...) {
    std::error_code ignorato;
    std::filesystem::remove(provvisorio, ignorato);
    throw;
  }
}

}  // namespace vendrix::excel
