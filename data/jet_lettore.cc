// The child side of the Access reader: the only code that calls libmdb. Everything here runs in
// a process of its own (see jet_lettore.h), so a crash of libmdb on a damaged page costs only that
// process. Values are taken from the raw bytes of each row, not from libmdb's text forms, so that
// Currency stays exact, doubles keep every bit and Null stays apart from an empty text.

#include "data/jet_lettore.h"

#include <errno.h>
#include <iconv.h>
#include <sqlite3.h>
// mdbtools.h includes glib.h inside extern "C", where glib's C++ parts cannot compile: glib.h
// comes first so that its include guard makes that inner include empty.
#include <glib.h>
#include <mdbtools.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "comune/testo.h"

namespace vendrix::jet::detail {
namespace {

// Offsets of a row inside its page: the two high bits are flags.
constexpr int kMascheraPosizione = 0x1fff;
constexpr int kRigaCancellata = 0x4000;
// Header of a memo or OLE value kept in a row: length and flags, then where the data lie.
constexpr int kTestaLval = 12;

uint16_t Leggi16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Leggi32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint64_t Leggi64(const unsigned char* p) {
  return static_cast<uint64_t>(Leggi32(p)) | static_cast<uint64_t>(Leggi32(p + 4)) << 32;
}

// The file cannot be read; the message says why, in the user's words.
struct Guasto {
  std::string dettaglio;
};

// The copy cannot be written (its disk is full, say): not the Access file's fault.
struct CopiaFallita {
  std::string dettaglio;
};

// What the parent hears: a byte a page read, so that it sees the reading move, then the end. A
// failed write means the parent has gone: the child ends.
void Avvisa(int fd, std::string_view messaggio) {
  while (!messaggio.empty()) {
    ssize_t fatti = write(fd, messaggio.data(), messaggio.size());
    if (fatti < 0 && errno == EINTR) continue;
    if (fatti <= 0) _exit(2);
    messaggio.remove_prefix(static_cast<size_t>(fatti));
  }
}

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

// The SQLite copy, written in one transaction that commits only when the whole file is read;
// each table's rows through one prepared INSERT.
class ScritturaCopia {
 public:
  explicit ScritturaCopia(const char* percorso) {
    if (sqlite3_open_v2(percorso, &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
      Fallita();
    }
    Esegui("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; BEGIN");
  }
  ~ScritturaCopia() {
    sqlite3_finalize(inserisci_);
    sqlite3_close_v2(db_);
  }
  ScritturaCopia(const ScritturaCopia&) = delete;
  ScritturaCopia& operator=(const ScritturaCopia&) = delete;

  // Creates the table `nome` of columns `nomi` with the declared types `tipi`.
  void NuovaTabella(const std::string& nome, const std::vector<std::string>& nomi,
                    const std::vector<std::string>& tipi) {
    sqlite3_finalize(inserisci_);
    inserisci_ = nullptr;
    std::string crea = "CREATE TABLE " + QuotaNome(nome) + " (";
    std::string inserisci = "INSERT INTO " + QuotaNome(nome) + " VALUES (";
    for (size_t i = 0; i < nomi.size(); ++i) {
      crea += (i ? ", " : "") + QuotaNome(nomi[i]) + " " + tipi[i];
      inserisci += i ? ", ?" : "?";
    }
    Esegui((crea + ")").c_str());
    if (sqlite3_prepare_v2(db_, (inserisci + ")").c_str(), -1, &inserisci_, nullptr) != SQLITE_OK) {
      Fallita();
    }
  }
  // The INSERT of the current table, whose parameters the caller binds before Inserisci.
  sqlite3_stmt* Riga() { return inserisci_; }
  void Inserisci() {
    const int esito = sqlite3_step(inserisci_);
    sqlite3_reset(inserisci_);
    if (esito != SQLITE_DONE) Fallita();
  }
  void Concludi() { Esegui("COMMIT"); }

 private:
  void Esegui(const char* sql) {
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fallita();
  }
  [[noreturn]] void Fallita() {
    throw CopiaFallita{db_ ? sqlite3_errmsg(db_) : "memoria esaurita"};
  }

  sqlite3* db_ = nullptr;
  sqlite3_stmt* inserisci_ = nullptr;
};

constexpr uint32_t kSostituto = 0xFFFD;

// Texts of the file to UTF-8. Jet 3 keeps texts in the code page named in the file's header
// (1252 for western files); Jet 4 and ACE keep UTF-16, optionally "compressed" (see Jet4()).
class Testi {
 public:
  explicit Testi(MdbHandle* mdb) : jet3_(IS_JET3(mdb)) {
    if (!jet3_) return;
    da_codepage_ = iconv_open("UTF-8", NomeCodePage(mdb->f->code_page).c_str());
    if (da_codepage_ == reinterpret_cast<iconv_t>(-1)) da_codepage_ = iconv_open("UTF-8", "CP1252");
    if (da_codepage_ == reinterpret_cast<iconv_t>(-1)) {
      throw Guasto{"la conversione dei testi dalla code page 1252 non è disponibile"};
    }
  }
  ~Testi() {
    if (da_codepage_ != reinterpret_cast<iconv_t>(-1)) iconv_close(da_codepage_);
  }
  Testi(const Testi&) = delete;
  Testi& operator=(const Testi&) = delete;

  // The code page libmdb should use for names too (it converts them itself).
  static std::string NomeCodePage(unsigned code_page) {
    static constexpr unsigned kNote[] = {874,  932,  936,  949,  950,  1250, 1251,
                                         1252, 1253, 1254, 1255, 1256, 1257, 1258};
    for (unsigned nota : kNote) {
      if (nota == code_page) return "CP" + std::to_string(code_page);
    }
    return "CP1252";
  }

  std::string Converti(const unsigned char* p, size_t n) const {
    return jet3_ ? CodePage(p, n) : Jet4(p, n);
  }

 private:
  std::string CodePage(const unsigned char* p, size_t n) const {
    std::string out;
    size_t i = 0;
    while (i < n && p[i] < 0x80) ++i;
    if (i == n) return std::string(reinterpret_cast<const char*>(p), n);
    out.reserve(n * 2);
    iconv(da_codepage_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(reinterpret_cast<const char*>(p));
    size_t resto = n;
    char blocco[1024];
    while (resto > 0) {
      char* dst = blocco;
      size_t spazio = sizeof blocco;
      size_t esito = iconv(da_codepage_, &in, &resto, &dst, &spazio);
      out.append(blocco, static_cast<size_t>(dst - blocco));
      if (esito != static_cast<size_t>(-1) || errno == E2BIG) continue;
      // A byte the code page does not define (or a cut double-byte character).
      AggiungiUtf8(out, kSostituto);
      ++in;
      --resto;
      iconv(da_codepage_, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
  }

  // UTF-16LE. A text that starts with FF FE is compressed: from there, each byte is a character
  // of the range 1..255 until a zero byte switches to plain two-byte characters, and the next
  // zero byte switches back (libmdb reads it the same way).
  static std::string Jet4(const unsigned char* p, size_t n) {
    std::vector<uint16_t> unita;
    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
      unita.reserve(n);
      bool compresso = true;
      size_t i = 2;
      while (i < n) {
        if (p[i] == 0) {
          compresso = !compresso;
          ++i;
        } else if (compresso) {
          unita.push_back(p[i++]);
        } else if (i + 1 < n) {
          unita.push_back(Leggi16(p + i));
          i += 2;
        } else {
          break;
        }
      }
    } else {
      unita.reserve(n / 2);
      for (size_t i = 0; i + 1 < n; i += 2) unita.push_back(Leggi16(p + i));
    }
    std::string out;
    out.reserve(unita.size());
    for (size_t i = 0; i < unita.size(); ++i) {
      uint32_t c = unita[i];
      if (c >= 0xD800 && c < 0xDC00 && i + 1 < unita.size() && unita[i + 1] >= 0xDC00 &&
          unita[i + 1] < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (unita[i + 1] - 0xDC00);
        ++i;
      } else if (c >= 0xD800 && c < 0xE000) {
        c = kSostituto;
      }
      AggiungiUtf8(out, c);
    }
    return out;
  }

  bool jet3_;
  iconv_t da_codepage_ = reinterpret_cast<iconv_t>(-1);
};

// Makes libmdb convert names (of tables and columns) the way Testi converts values, whatever the
// environment variables libmdb looks at say.
void ImpostaCodificaNomi(MdbHandle* mdb) {
  const std::string origine =
      IS_JET3(mdb) ? Testi::NomeCodePage(mdb->f->code_page) : std::string("UTF-16LE");
  iconv_t in = iconv_open("UTF-8", origine.c_str());
  iconv_t out = iconv_open(origine.c_str(), "UTF-8");
  if (in == reinterpret_cast<iconv_t>(-1) || out == reinterpret_cast<iconv_t>(-1)) {
    throw Guasto{"la conversione dei nomi in UTF-8 non è disponibile"};
  }
  mdb_iconv_close(mdb);
  mdb->iconv_in = in;
  mdb->iconv_out = out;
}

// Everything the reader needs of one open file.
struct File {
  MdbHandle* mdb = nullptr;
  size_t dimensione = 0;  // bytes of the file
};

// Reads the data of a memo or OLE value whose 12-byte header is at `testa` (`lunghezza` bytes
// of the row). The data lie in the row itself, in one row of a long-value page, or in a chain of
// such rows; each piece is checked against the length the header declares.
std::string LeggiLval(const File& file, const unsigned char* testa, size_t lunghezza,
                      const std::string& dove) {
  if (lunghezza == 0) return std::string();
  if (lunghezza < kTestaLval) throw Guasto{"il valore del campo " + dove + " è troncato"};
  const uint32_t intestazione = Leggi32(testa);
  const size_t dichiarata = intestazione & 0x3FFFFFFF;
  if (dichiarata > file.dimensione) {
    throw Guasto{"il campo " + dove + " dichiara una lunghezza impossibile"};
  }
  std::string dati;
  if (intestazione & 0x80000000) {
    if (lunghezza - kTestaLval != dichiarata) {
      throw Guasto{"il valore del campo " + dove + " non ha la lunghezza dichiarata"};
    }
    dati.assign(reinterpret_cast<const char*>(testa + kTestaLval), dichiarata);
    return dati;
  }
  const uint32_t flag = intestazione & 0xC0000000;
  int pagina_riga = static_cast<int>(Leggi32(testa + 4));
  void* pagina = nullptr;
  int inizio = 0;
  size_t lungo = 0;
  if (flag == 0x40000000) {
    if (mdb_find_pg_row(file.mdb, pagina_riga, &pagina, &inizio, &lungo) != 0 ||
        lungo != dichiarata) {
      throw Guasto{"il valore del campo " + dove + " non si trova dove il file dice"};
    }
    dati.assign(static_cast<const char*>(pagina) + inizio, lungo);
    return dati;
  }
  if (flag != 0) throw Guasto{"il campo " + dove + " ha un formato sconosciuto"};
  // A chain: each row starts with the page and row of the next piece (0 at the end).
  dati.reserve(dichiarata);
  while (pagina_riga != 0) {
    if (mdb_find_pg_row(file.mdb, pagina_riga, &pagina, &inizio, &lungo) != 0 || lungo <= 4) {
      throw Guasto{"un pezzo del campo " + dove + " non si trova dove il file dice"};
    }
    const unsigned char* pezzo = static_cast<const unsigned char*>(pagina) + inizio;
    if (dati.size() + (lungo - 4) > dichiarata) {
      throw Guasto{"il valore del campo " + dove + " supera la lunghezza dichiarata"};
    }
    dati.append(reinterpret_cast<const char*>(pezzo + 4), lungo - 4);
    pagina_riga = static_cast<int>(Leggi32(pezzo));
  }
  if (dati.size() != dichiarata) {
    throw Guasto{"il valore del campo " + dove + " è incompleto"};
  }
  return dati;
}

// A Jet 4 Decimal: a sign byte, then a 128-bit magnitude kept as four 32-bit words, the most
// significant first, each little-endian. `scala` digits are decimals.
double Decimale(const unsigned char* p, int scala) {
  unsigned __int128 v = 0;
  for (int parola = 0; parola < 4; ++parola) v = v << 32 | Leggi32(p + 1 + 4 * parola);
  std::string cifre;
  do {
    cifre.insert(cifre.begin(), static_cast<char>('0' + static_cast<int>(v % 10)));
    v /= 10;
  } while (v != 0);
  while (static_cast<int>(cifre.size()) <= scala) cifre.insert(cifre.begin(), '0');
  if (scala > 0) cifre.insert(cifre.end() - scala, '.');
  if (p[0] & 0x80) cifre.insert(cifre.begin(), '-');
  return std::strtod(cifre.c_str(), nullptr);
}

// A replication id as Access shows it: {01234567-89AB-CDEF-0123-456789ABCDEF}.
std::string Guid(const unsigned char* p) {
  char testo[40];
  std::snprintf(testo, sizeof testo,
                "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", p[3],
                p[2], p[1], p[0], p[5], p[4], p[7], p[6], p[8], p[9], p[10], p[11], p[12], p[13],
                p[14], p[15]);
  return testo;
}

struct Colonna {
  MdbColumn* mdb;
  Genere genere;
  uint32_t dimensione;  // characters of a text column
  int byte_fissi;       // bytes a value takes, 0 for variable-length kinds
  std::string dove;     // "'Colonna' della tabella 'Tabella'", for messages
};

// Kind and fixed size (0: variable) of each Jet column type; OLE, binary and any type libmdb does
// not know are kept as bytes.
struct TipoJet {
  int tipo;
  Genere genere;
  int byte_fissi;
};
constexpr TipoJet kTipiJet[] = {
    {MDB_BOOL, kBooleano, 0},    {MDB_BYTE, kIntero16, 1},    {MDB_INT, kIntero16, 2},
    {MDB_LONGINT, kIntero32, 4}, {MDB_COMPLEX, kIntero32, 4}, {MDB_MONEY, kValuta, 8},
    {MDB_FLOAT, kDoppio, 4},     {MDB_DOUBLE, kDoppio, 8},    {MDB_NUMERIC, kDoppio, 17},
    {MDB_DATETIME, kData, 8},    {MDB_REPID, kTesto, 16},     {MDB_TEXT, kTesto, 0},
    {MDB_MEMO, kMemo, 0},
};

Colonna Descrivi(MdbColumn* col, bool jet3, const std::string& tabella) {
  Colonna c{col, kBinario, 0, 0,
            "'" + std::string(col->name) + "' della tabella '" + tabella + "'"};
  for (const TipoJet& t : kTipiJet) {
    if (t.tipo != col->col_type) continue;
    c.genere = t.genere;
    c.byte_fissi = t.byte_fissi;
  }
  if (col->col_type == MDB_REPID) c.dimensione = 38;  // as {8-4-4-4-12}
  if (col->col_type == MDB_TEXT) {
    // Jet 3 keeps one byte a character, Jet 4 two (before compression).
    int caratteri = jet3 ? col->col_size : col->col_size / 2;
    c.dimensione = caratteri > 0 ? static_cast<uint32_t>(caratteri) : 255;
  }
  return c;
}

// The bytes at `p` as a T, in the machine's order (the file's, for the floating kinds).
template <typename T>
T Come(const unsigned char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Binds one value of column `c` of a row as parameter `k` of `riga`; a text or bytes are kept in
// `testo`, which must outlive the insert.
void LegaValore(const File& file, const Colonna& c, const MdbField& campo, const Testi& testi,
                sqlite3_stmt* riga, int k, std::string& testo) {
  const unsigned char* p = static_cast<const unsigned char*>(campo.value);
  if (c.genere == kBooleano) {  // kept in the null mask: a set bit is true
    sqlite3_bind_int(riga, k, campo.is_null ? 0 : 1);
    return;
  }
  if (campo.is_null) {
    sqlite3_bind_null(riga, k);
    return;
  }
  const size_t n = static_cast<size_t>(campo.siz);
  if (c.byte_fissi > 0 && n < static_cast<size_t>(c.byte_fissi)) {
    throw Guasto{"un valore del campo " + c.dove + " è troncato"};
  }
  switch (c.mdb->col_type) {
    case MDB_BYTE:
      sqlite3_bind_int(riga, k, p[0]);
      return;
    case MDB_INT:
      sqlite3_bind_int(riga, k, static_cast<int16_t>(Leggi16(p)));
      return;
    case MDB_LONGINT:
    case MDB_COMPLEX:
      sqlite3_bind_int(riga, k, static_cast<int32_t>(Leggi32(p)));
      return;
    case MDB_MONEY:
      sqlite3_bind_double(riga, k, ValutaReale(static_cast<int64_t>(Leggi64(p))));
      return;
    case MDB_FLOAT:
      sqlite3_bind_double(riga, k, double{Come<float>(p)});
      return;
    case MDB_DOUBLE:
    case MDB_DATETIME:
      sqlite3_bind_double(riga, k, Come<double>(p));  // NaN, which Access never stores, is Null
      return;
    case MDB_NUMERIC:
      // libmdb keeps a Decimal's scale in col_prec.
      if (c.mdb->col_prec < 0 || c.mdb->col_prec > 28) {
        throw Guasto{"il campo " + c.dove + " ha una scala impossibile"};
      }
      sqlite3_bind_double(riga, k, Decimale(p, c.mdb->col_prec));
      return;
    case MDB_REPID:
      testo = Guid(p);
      break;
    case MDB_TEXT:
      testo = testi.Converti(p, n);
      break;
    case MDB_MEMO: {
      const std::string dati = LeggiLval(file, p, n, c.dove);
      testo = testi.Converti(reinterpret_cast<const unsigned char*>(dati.data()), dati.size());
      break;
    }
    case MDB_OLE:
      testo = LeggiLval(file, p, n, c.dove);
      break;
    default:
      testo.assign(reinterpret_cast<const char*>(p), n);
      break;
  }
  if (c.genere != kBinario) {
    sqlite3_bind_text(riga, k, testo.data(), static_cast<int>(testo.size()), SQLITE_STATIC);
  } else if (testo.empty()) {
    sqlite3_bind_zeroblob(riga, k, 0);
  } else {
    sqlite3_bind_blob(riga, k, testo.data(), static_cast<int>(testo.size()), SQLITE_STATIC);
  }
}

// Notes the name among `chiavi`; false when a name differing at most in case is there already
// (names are unique regardless of case, in Access as in SQLite).
bool NomeNuovo(std::vector<std::string>& chiavi, const char* nome) {
  std::string chiave = InMinuscolo(nome);
  if (std::find(chiavi.begin(), chiavi.end(), chiave) != chiavi.end()) return false;
  chiavi.push_back(std::move(chiave));
  return true;
}

// The columns of `tabella` (named `nome`), each checked.
std::vector<Colonna> LeggiColonne(MdbHandle* mdb, MdbTableDef* tabella, const std::string& nome) {
  GPtrArray* colonne_mdb = mdb_read_columns(tabella);
  if (colonne_mdb == nullptr || tabella->num_cols == 0 || tabella->num_cols > kMaxColonne ||
      colonne_mdb->len != tabella->num_cols) {
    throw Guasto{"le colonne della tabella '" + nome + "' non si leggono"};
  }
  std::vector<Colonna> colonne;
  std::vector<std::string> chiavi;
  for (unsigned i = 0; i < tabella->num_cols; ++i) {
    auto* col = static_cast<MdbColumn*>(g_ptr_array_index(colonne_mdb, i));
    if (!NomeAccettabile(col->name)) {
      throw Guasto{"una colonna della tabella '" + nome + "' ha un nome illeggibile"};
    }
    if (!NomeNuovo(chiavi, col->name)) {
      throw Guasto{"la tabella '" + nome + "' elenca due volte la colonna '" + col->name + "'"};
    }
    colonne.push_back(Descrivi(col, IS_JET3(mdb), nome));
  }
  return colonne;
}

// The fields of the row just cracked into `campi`, by column (none for a column the row lacks),
// each checked to lie in the page read.
void CampiDellaRiga(MdbHandle* mdb, const std::vector<Colonna>& colonne,
                    const std::vector<MdbField>& campi, const std::string& nome,
                    std::vector<const MdbField*>& per_colonna) {
  const auto pagina = static_cast<size_t>(mdb->fmt->pg_size);
  std::fill(per_colonna.begin(), per_colonna.end(), nullptr);
  for (const MdbField& f : campi) {
    if (f.colnum < 0 || static_cast<size_t>(f.colnum) >= colonne.size()) {
      throw Guasto{"una riga della tabella '" + nome + "' è illeggibile"};
    }
    const auto* valore = static_cast<const unsigned char*>(f.value);
    const bool nullo = f.is_null || colonne[static_cast<size_t>(f.colnum)].genere == kBooleano;
    if (!nullo && (f.siz < 0 || valore < mdb->pg_buf || valore + f.siz > mdb->pg_buf + pagina)) {
      throw Guasto{"una riga della tabella '" + nome + "' esce dalla sua pagina"};
    }
    per_colonna[static_cast<size_t>(f.colnum)] = &f;
  }
}

// The reading as a whole: the open file, its texts, the copy and the parent's descriptor.
struct Lettura {
  const File& file;
  const Testi& testi;
  ScritturaCopia& copia;
  int fd;
};

// Copies every row of `tabella` that is not deleted, and returns how many. The same walk as
// mdb_fetch_row, keeping each row's raw fields: every data page of the table in the order of its
// usage map, every row of the page.
uint64_t CopiaRighe(Lettura& l, MdbTableDef* tabella, const std::vector<Colonna>& colonne,
                    const std::string& nome) {
  MdbHandle* mdb = l.file.mdb;
  std::vector<MdbField> campi(colonne.size());
  std::vector<const MdbField*> per_colonna(colonne.size());
  std::vector<std::string> testi(colonne.size());
  uint64_t righe = 0;
  mdb_rewind_table(tabella);
  while (mdb_read_next_dpg(tabella)) {
    Avvisa(l.fd, std::string(1, kAvanzamento));
    const int quante = mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset);
    for (int r = 0; r < quante; ++r) {
      int inizio = 0;
      size_t lunghezza = 0;
      if (mdb_find_row(mdb, r, &inizio, &lunghezza) != 0 || lunghezza == 0) continue;
      if (inizio & kRigaCancellata) continue;
      inizio &= kMascheraPosizione;
      if (mdb_crack_row(tabella, inizio, lunghezza, campi.data()) < 0) continue;  // counted later
      CampiDellaRiga(mdb, colonne, campi, nome, per_colonna);
      for (size_t i = 0; i < colonne.size(); ++i) {
        if (!per_colonna[i]) throw Guasto{"una riga della tabella '" + nome + "' è illeggibile"};
        LegaValore(l.file, colonne[i], *per_colonna[i], l.testi, l.copia.Riga(),
                   static_cast<int>(i) + 1, testi[i]);
      }
      l.copia.Inserisci();
      ++righe;
    }
  }
  return righe;
}

void CopiaTabella(Lettura& l, MdbCatalogEntry* voce) {
  const std::string nome = voce->object_name;
  MdbTableDef* tabella = mdb_read_table(voce);
  if (tabella == nullptr) throw Guasto{"la definizione della tabella '" + nome + "' non si legge"};
  const std::vector<Colonna> colonne = LeggiColonne(l.file.mdb, tabella, nome);
  std::vector<std::string> nomi, tipi;
  for (const Colonna& c : colonne) {
    nomi.emplace_back(c.mdb->name);
    tipi.push_back(TipoDichiarato(c.genere, c.dimensione));
  }
  l.copia.NuovaTabella(nome, nomi, tipi);
  const uint64_t righe = CopiaRighe(l, tabella, colonne, nome);
  // The table definition keeps the count of rows: fewer rows read means pages lost or unreadable.
  if (righe != tabella->num_rows) {
    throw Guasto{"la tabella '" + nome + "' dovrebbe avere " + std::to_string(tabella->num_rows) +
                 " righe, se ne leggono " + std::to_string(righe)};
  }
  mdb_free_tabledef(tabella);
}

// The user tables of the catalog, each checked.
std::vector<MdbCatalogEntry*> TabelleUtente(MdbHandle* mdb) {
  // The catalog lists every object; the system table it comes from keeps their count.
  MdbCatalogEntry sistema;
  std::memset(&sistema, 0, sizeof sistema);
  sistema.mdb = mdb;
  sistema.object_type = MDB_TABLE;
  sistema.table_pg = 2;
  std::strcpy(sistema.object_name, "MSysObjects");
  MdbTableDef* oggetti = mdb_read_table(&sistema);
  if (oggetti == nullptr) throw Guasto{"il catalogo delle tabelle non si legge"};
  const unsigned attesi = oggetti->num_rows;
  mdb_free_tabledef(oggetti);
  GPtrArray* catalogo = mdb_read_catalog(mdb, MDB_ANY);
  if (catalogo == nullptr || mdb->num_catalog != attesi || catalogo->len != attesi) {
    throw Guasto{"il catalogo delle tabelle è incompleto"};
  }
  std::vector<MdbCatalogEntry*> utente;
  std::vector<std::string> chiavi;
  for (unsigned i = 0; i < catalogo->len; ++i) {
    auto* voce = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalogo, i));
    if (!mdb_is_user_table(voce)) continue;
    if (!NomeAccettabile(voce->object_name)) {
      throw Guasto{"il catalogo contiene una tabella dal nome illeggibile"};
    }
    if (!NomeNuovo(chiavi, voce->object_name)) {
      throw Guasto{"il catalogo elenca due volte la tabella '" + std::string(voce->object_name) +
                   "'"};
    }
    if (utente.size() == kMaxTabelle) throw Guasto{"il catalogo elenca troppe tabelle"};
    utente.push_back(voce);
  }
  return utente;
}

void CopiaTutto(const char* percorso, const char* copia, int fd) {
  struct stat st;
  if (stat(percorso, &st) != 0) throw Guasto{"il file non si legge"};
  File file;
  file.dimensione = static_cast<size_t>(st.st_size);
  file.mdb = mdb_open(percorso, MDB_NOFLAGS);
  if (file.mdb == nullptr) throw Guasto{"l'intestazione non è quella di un database Access"};
  ImpostaCodificaNomi(file.mdb);
  Testi testi(file.mdb);
  ScritturaCopia destinazione(copia);
  Lettura lettura{file, testi, destinazione, fd};
  for (MdbCatalogEntry* voce : TabelleUtente(file.mdb)) CopiaTabella(lettura, voce);
  destinazione.Concludi();
}

}  // namespace

int CopiaDatabase(const char* percorso, const char* copia, int fd) noexcept {
  try {
    try {
      CopiaTutto(percorso, copia, fd);
      Avvisa(fd, std::string(1, kFine));
    } catch (const Guasto& g) {
      Avvisa(fd, std::string(1, kErrore) + g.dettaglio);
    } catch (const CopiaFallita& c) {
      Avvisa(fd, std::string(1, kErroreCopia) + c.dettaglio);
    }
    return 0;
  } catch (...) {
    return 3;  // out of memory: the parent hears no end
  }
}

void LimitaMemoria(size_t byte) noexcept {
  // VmData is what RLIMIT_DATA counts: private writable memory, the sanitizers' shadow included.
  size_t attuale_kb = 0;
  if (FILE* stato = std::fopen("/proc/self/status", "r")) {
    char riga[256];
    while (std::fgets(riga, sizeof riga, stato)) {
      unsigned long long kb;
      if (std::sscanf(riga, "VmData: %llu kB", &kb) == 1) attuale_kb = kb;
    }
    std::fclose(stato);
  }
  if (attuale_kb == 0) return;
  rlimit limite;
  if (getrlimit(RLIMIT_DATA, &limite) != 0) return;
  const rlim_t voluto = static_cast<rlim_t>(attuale_kb) * 1024 + byte;
  if (limite.rlim_max != RLIM_INFINITY && voluto > limite.rlim_max) return;
  limite.rlim_cur = voluto;
  setrlimit(RLIMIT_DATA, &limite);
}

}  // namespace vendrix::jet::detail
