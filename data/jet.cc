// Reading the hotel suite's Access files. The file is read by the program vendrix-lettore-jet
// that sends its tables through a pipe; this side checks what arrives and copies it into SQLite.
// Whatever the child does on a damaged file (crash, endless loop, nonsense), the program gets an
// Errore naming the file and the schema stays empty.

#include "data/jet.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "comune/testo.h"
#include "data/errore.h"
#include "data/file_normale.h"
#include "data/jet_figlio.h"
#include "data/jet_lettore.h"
#include "data/sql_dialetto.h"

namespace vendrix::jet {
namespace {

using namespace detail;
using figlio::Figlio;
using figlio::LetturaFallita;

// Memory the reading process may take: libmdb's own structures are small, the largest value is
// smaller than the file, and the margin covers the allocator.
size_t MemoriaLettura(size_t dimensione_file) { return (size_t{512} << 20) + 4 * dimensione_file; }

std::string Danneggiato(const std::string& percorso, const std::string& dettaglio) {
  return "Il file '" + percorso + "' è danneggiato o non è un database Access leggibile (" +
         dettaglio + "). Ripararlo con Access (Compatta e ripristina) o usarne una copia integra.";
}

// Reads the first bytes of the file at `percorso` into `testa`, and its size; returns how many
// were read, -1 when the file cannot be opened.
ssize_t LeggiTesta(const std::string& percorso, unsigned char (&testa)[0x20], size_t* dimensione) {
  int fd = ApriFileNormale(percorso);
  if (fd < 0) return -1;
  struct stat st {};
  ssize_t letti =
      fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? pread(fd, testa, sizeof testa, 0) : 0;
  close(fd);
  *dimensione = static_cast<size_t>(st.st_size);
  return letti;
}

// True when the first 20 bytes are those of an Access database (Jet 3, Jet 4 or ACE).
bool TestaJet(const unsigned char* testa) {
  return std::memcmp(testa, "\x00\x01\x00\x00", 4) == 0 &&
         (std::memcmp(testa + 4, "Standard Jet DB", 16) == 0 ||
          std::memcmp(testa + 4, "Standard ACE DB", 16) == 0);
}

// Page size of the file's format, from its header. Jet 3 uses 2 KB pages, Jet 4 and ACE 4 KB.
size_t ControllaFile(const std::string& percorso, size_t* dimensione) {
  unsigned char testa[0x20] = {};
  const ssize_t letti = LeggiTesta(percorso, testa, dimensione);
  if (letti < 0) {
    const TipoFile tipo = TipoDiFile(percorso);
    throw Errore("Impossibile aprire il file '" + percorso + "': " +
                 (tipo != TipoFile::kNormale ? MotivoFileNonLeggibile(tipo)
                                             : std::string("il file non si può leggere")));
  }
  if (letti != static_cast<ssize_t>(sizeof testa) || !TestaJet(testa)) {
    throw Errore("Il file '" + percorso + "' non è un database Access");
  }
  const unsigned versione = testa[0x14];
  if (versione > 6) {
    throw Errore("Il file '" + percorso +
                 "' è in un formato Access più recente di quelli che il programma sa leggere. "
                 "Salvarlo con Access nel formato 2000-2003 (.mdb).");
  }
  const size_t pagina = versione == 0 ? 2048 : 4096;
  // The catalog of tables lies on page 2; a file is always a whole number of pages.
  if (*dimensione < 3 * pagina || *dimensione % pagina != 0) {
    throw Errore(Danneggiato(percorso, "il file è troncato"));
  }
  return pagina;
}

// The stream as the child sends it, read with every length and tag checked: a child whose
// memory libmdb has spoilt may send anything.
class Flusso {
 public:
  Flusso(Figlio* figlio, size_t max_valore) : figlio_(figlio), max_valore_(max_valore) {}

  // The next value of type T, as the child wrote its bytes.
  template <typename T>
  T Leggi() {
    T v;
    Byte(&v, sizeof v);
    return v;
  }
  // A text or byte string of at most `massimo` bytes, into `out`.
  void Str(std::string* out, size_t massimo) {
    const uint32_t n = Leggi<uint32_t>();
    if (n > massimo) throw Incoerente();
    out->clear();
    // Grown as the bytes arrive, so a false length cannot make us reserve memory for nothing.
    while (out->size() < n) {
      size_t parte = std::min<size_t>(n - out->size(), 1 << 20);
      size_t prima = out->size();
      out->resize(prima + parte);
      Byte(out->data() + prima, parte);
    }
  }
  void Valore(std::string* out) { Str(out, max_valore_); }

  // True when the stream has ended exactly here.
  bool AllaFine() {
    if (pos_ < buffer_.size()) return false;
    return Riempi() == 0;
  }

  struct Incoerente {};
  struct Interrotto {};

 private:
  void Byte(void* dst, size_t n) {
    char* p = static_cast<char*>(dst);
    while (n > 0) {
      if (pos_ == buffer_.size() && Riempi() == 0) throw Interrotto();
      size_t parte = std::min(n, buffer_.size() - pos_);
      std::memcpy(p, buffer_.data() + pos_, parte);
      pos_ += parte;
      p += parte;
      n -= parte;
    }
  }

  size_t Riempi() {
    buffer_.resize(1 << 16);
    size_t letti = figlio_->Leggi(buffer_.data(), buffer_.size());
    buffer_.resize(letti);
    pos_ = 0;
    return letti;
  }

  Figlio* figlio_;
  size_t max_valore_;
  std::vector<char> buffer_;
  size_t pos_ = 0;
};

bool NomeValido(const std::string& nome) { return NomeAccettabile(nome) && Utf8Valido(nome); }

// Currency as the engine stores it: the REAL nearest to the exact four-decimal amount.
double ValutaReale(int64_t decimillesimi) {
  constexpr int64_t kEsatto = int64_t{1} << 53;
  if (decimillesimi > -kEsatto && decimillesimi < kEsatto) {
    return static_cast<double>(decimillesimi) / 10000.0;  // one correctly rounded division
  }
  // Beyond 2^53 the integer itself would round first: let strtod round the decimal text once.
  const bool negativo = decimillesimi < 0;
  uint64_t assoluto =
      negativo ? 0 - static_cast<uint64_t>(decimillesimi) : static_cast<uint64_t>(decimillesimi);
  char testo[32];
  std::snprintf(testo, sizeof testo, "%s%llu.%04llu", negativo ? "-" : "",
                static_cast<unsigned long long>(assoluto / 10000),
                static_cast<unsigned long long>(assoluto % 10000));
  return std::strtod(testo, nullptr);
}

// The declared type of a column of kind `genere`, which the engine reads back as that kind.
std::string TipoDichiarato(Genere genere, uint32_t dimensione) {
  static constexpr const char* kTipi[] = {"",       "BOOLEAN",  "SMALLINT", "INTEGER", "CURRENCY",
                                          "DOUBLE", "DATETIME", "VARCHAR",  "TEXT",    "BLOB"};
  if (genere == kTesto) return "VARCHAR(" + std::to_string(dimensione) + ")";
  return kTipi[genere];
}

// The SQLite side: one table at a time, each row through one prepared INSERT.
class Destinazione {
 public:
  Destinazione(sqlite3* db, const std::string& schema, const std::string& percorso)
      : db_(db), schema_(engine_detail::QuotaNome(schema)), percorso_(percorso) {}
  ~Destinazione() { sqlite3_finalize(inserisci_); }
  Destinazione(const Destinazione&) = delete;
  Destinazione& operator=(const Destinazione&) = delete;

  void Esegui(const std::string& sql) {
    char* errore = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &errore) != SQLITE_OK) {
      std::string testo = errore ? errore : sqlite3_errmsg(db_);
      sqlite3_free(errore);
      throw Errore(Messaggio(testo));
    }
  }

  // Undoes everything copied so far; used while another error is on its way, so it reports none.
  void Annulla() {
    sqlite3_finalize(inserisci_);
    inserisci_ = nullptr;
    sqlite3_exec(db_, "ROLLBACK TO vendrix_jet", nullptr, nullptr, nullptr);
    sqlite3_exec(db_, "RELEASE vendrix_jet", nullptr, nullptr, nullptr);
  }

  void NuovaTabella(const std::string& nome, const std::vector<std::string>& colonne,
                    const std::vector<Genere>& generi, const std::vector<uint32_t>& dimensioni) {
    sqlite3_finalize(inserisci_);
    inserisci_ = nullptr;
    tabella_ = nome;
    std::string crea = "CREATE TABLE " + schema_ + "." + engine_detail::QuotaNome(nome) + " (";
    std::string inserisci =
        "INSERT INTO " + schema_ + "." + engine_detail::QuotaNome(nome) + " VALUES (";
    for (size_t i = 0; i < colonne.size(); ++i) {
      crea += (i ? ", " : "") + engine_detail::QuotaNome(colonne[i]) + " " +
              TipoDichiarato(generi[i], dimensioni[i]);
      inserisci += i ? ", ?" : "?";
    }
    Esegui(crea + ")");
    if (sqlite3_prepare_v2(db_, (inserisci + ")").c_str(), -1, &inserisci_, nullptr) != SQLITE_OK) {
      throw Errore(Messaggio(sqlite3_errmsg(db_)));
    }
  }

  sqlite3_stmt* Istruzione() { return inserisci_; }

  void Inserisci() {
    int esito = sqlite3_step(inserisci_);
    sqlite3_reset(inserisci_);
    if (esito != SQLITE_DONE) throw Errore(Messaggio(sqlite3_errmsg(db_)));
  }

 private:
  std::string Messaggio(const std::string& causa) const {
    return "Impossibile copiare il database Access '" + percorso_ + "'" +
           (tabella_.empty() ? std::string() : " (tabella '" + tabella_ + "')") + ": " + causa;
  }

  sqlite3* db_;
  std::string schema_;
  std::string percorso_;
  std::string tabella_;
  sqlite3_stmt* inserisci_ = nullptr;
};

// The columns of the table the stream is sending, and a buffer for each value.
struct Colonne {
  std::vector<std::string> nomi;
  std::vector<Genere> generi;
  std::vector<uint32_t> dimensioni;
  std::vector<std::string> valori;
};

// Reads a table's heading (its name and columns) and creates the table in `dest`.
void LeggiTabella(Flusso* flusso, Destinazione* dest, Colonne* colonne) {
  std::string nome;
  flusso->Str(&nome, kMaxNome);
  const uint32_t n = flusso->Leggi<uint32_t>();
  if (!NomeValido(nome) || n == 0 || n > kMaxColonne) throw Flusso::Incoerente();
  colonne->nomi.assign(n, std::string());
  colonne->generi.assign(n, kBinario);
  colonne->dimensioni.assign(n, 0);
  colonne->valori.resize(n);
  for (uint32_t i = 0; i < n; ++i) {
    flusso->Str(&colonne->nomi[i], kMaxNome);
    const uint8_t genere = flusso->Leggi<uint8_t>();
    colonne->dimensioni[i] = flusso->Leggi<uint32_t>();
    if (!NomeValido(colonne->nomi[i]) || genere < kBooleano || genere > kBinario ||
        colonne->dimensioni[i] > 65535 || (genere == kTesto && colonne->dimensioni[i] == 0)) {
      throw Flusso::Incoerente();
    }
    colonne->generi[i] = static_cast<Genere>(genere);
  }
  dest->NuovaTabella(nome, colonne->nomi, colonne->generi, colonne->dimensioni);
}

// Reads one value of a column of kind `genere` and binds it as parameter `p` of `ins`; a text or
// bytes stay in `valore`, which must outlive the insert.
void LeggiValore(Flusso* flusso, sqlite3_stmt* ins, int p, Genere genere, std::string* valore,
                 size_t max_testo, size_t dimensione_file) {
  switch (flusso->Leggi<uint8_t>()) {
    case kNullo:
      sqlite3_bind_null(ins, p);
      return;
    case kNumeroIntero: {
      const int64_t v = flusso->Leggi<int64_t>();
      const bool adatto = (genere == kBooleano && (v == 0 || v == 1)) ||
                          (genere == kIntero16 && v >= INT16_MIN && v <= INT16_MAX) ||
                          (genere == kIntero32 && v >= INT32_MIN && v <= INT32_MAX);
      if (!adatto) throw Flusso::Incoerente();
      sqlite3_bind_int64(ins, p, v);
      return;
    }
    case kNumeroReale: {
      const double v = flusso->Leggi<double>();
      if (genere != kDoppio && genere != kData) throw Flusso::Incoerente();
      sqlite3_bind_double(ins, p, v);  // NaN, which Access never stores, becomes Null
      return;
    }
    case kDecimillesimi: {
      const int64_t v = flusso->Leggi<int64_t>();
      if (genere != kValuta) throw Flusso::Incoerente();
      sqlite3_bind_double(ins, p, ValutaReale(v));
      return;
    }
    case kStringa:
      if (genere != kTesto && genere != kMemo) throw Flusso::Incoerente();
      flusso->Str(valore, max_testo);
      if (!Utf8Valido(*valore)) throw Flusso::Incoerente();
      sqlite3_bind_text(ins, p, valore->data(), static_cast<int>(valore->size()), SQLITE_STATIC);
      return;
    case kByte:
      if (genere != kBinario) throw Flusso::Incoerente();
      flusso->Valore(valore);
      if (valore->size() > dimensione_file) throw Flusso::Incoerente();
      if (valore->empty()) {
        sqlite3_bind_zeroblob(ins, p, 0);
      } else {
        sqlite3_bind_blob(ins, p, valore->data(), static_cast<int>(valore->size()), SQLITE_STATIC);
      }
      return;
    default:
      throw Flusso::Incoerente();
  }
}

// Copies what the stream carries into `dest`, checking it as it goes. Returns normally only
// after the stream's end message; throws LetturaFallita with the child's own detail when the
// child found the file damaged.
void Copia(Flusso* flusso, Destinazione* dest, size_t dimensione_file) {
  const size_t max_testo = std::min<size_t>(kMaxValore, 3 * dimensione_file + 64);
  Colonne colonne;
  uint32_t tabelle = 0;
  bool in_tabella = false;
  uint64_t righe = 0;
  for (;;) {
    switch (flusso->Leggi<uint8_t>()) {
      case kErrore: {
        std::string dettaglio;
        flusso->Str(&dettaglio, kMaxNome * 4);
        if (!Utf8Valido(dettaglio)) throw Flusso::Incoerente();
        throw LetturaFallita{dettaglio};
      }
      case kTabella:
        if (in_tabella || ++tabelle > kMaxTabelle) throw Flusso::Incoerente();
        LeggiTabella(flusso, dest, &colonne);
        in_tabella = true;
        righe = 0;
        break;
      case kRiga: {
        if (!in_tabella) throw Flusso::Incoerente();
        sqlite3_stmt* ins = dest->Istruzione();
        for (size_t i = 0; i < colonne.nomi.size(); ++i) {
          LeggiValore(flusso, ins, static_cast<int>(i) + 1, colonne.generi[i], &colonne.valori[i],
                      max_testo, dimensione_file);
        }
        dest->Inserisci();
        ++righe;
        break;
      }
      case kAvanzamento:
        break;
      case kFineTabella:
        if (!in_tabella || flusso->Leggi<uint64_t>() != righe) throw Flusso::Incoerente();
        in_tabella = false;
        break;
      case kFine:
        if (in_tabella || flusso->Leggi<uint32_t>() != tabelle) throw Flusso::Incoerente();
        return;
      default:
        throw Flusso::Incoerente();
    }
  }
}

}  // namespace

bool EFileJet(const std::string& percorso) {
  unsigned char testa[0x20] = {};
  size_t dimensione = 0;
  return LeggiTesta(percorso, testa, &dimensione) >= 20 && TestaJet(testa);
}

void Importa(sqlite3* db, const std::string& schema, const std::string& percorso,
             const Limiti& limiti) {
  size_t dimensione = 0;
  ControllaFile(percorso, &dimensione);

  Destinazione dest(db, schema, percorso);
  dest.Esegui("SAVEPOINT vendrix_jet");
  try {
    Figlio figlio(percorso, MemoriaLettura(dimensione), limiti.secondi_senza_dati);
    try {
      Flusso flusso(&figlio, std::min<size_t>(kMaxValore, dimensione));
      Copia(&flusso, &dest, dimensione);
      if (!flusso.AllaFine()) throw Flusso::Incoerente();
      std::string fine = figlio.Fine();
      if (!fine.empty()) throw LetturaFallita{fine};
      // Pages past the end were read as empty: the tables are whole, but the file is not.
      if (figlio.OltreLaFine()) {
        throw LetturaFallita{"il file è troncato: mancano pagine a cui il file rimanda"};
      }
    } catch (const Flusso::Interrotto&) {
      std::string fine = figlio.Fine();
      std::string diagnostica = figlio.Diagnostica();
      throw LetturaFallita{(fine.empty() ? "la lettura si è fermata prima della fine" : fine) +
                           (diagnostica.empty() ? "" : "; libmdb: " + diagnostica)};
    } catch (const Flusso::Incoerente&) {
      throw LetturaFallita{"la libreria di lettura ha prodotto dati incoerenti"};
    }
    dest.Esegui("RELEASE vendrix_jet");
  } catch (const LetturaFallita& f) {
    dest.Annulla();
    throw Errore(Danneggiato(percorso, f.dettaglio));
  } catch (...) {
    dest.Annulla();
    throw;
  }
}

}  // namespace vendrix::jet
