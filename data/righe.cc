#include "data/righe.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>

#include "comune/testo.h"
#include "data/errore.h"
#include "data/numeri.h"

namespace vendrix::engine_detail {

namespace {

constexpr uint64_t kLunghezzaMax = 0xFFFFFF;  // 24 bits; longer texts carry their length inline

uint64_t Mescola(uint64_t x) {
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

}  // namespace

DefinizioneCampo TipoDaDichiarato(std::string nome, const char* dichiarato) {
  DefinizioneCampo d;
  d.nome = std::move(nome);
  std::string t = InMaiuscolo(dichiarato ? dichiarato : "");
  std::string base = t.substr(0, t.find('('));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  int dimensione = 0;
  if (auto p = t.find('('); p != std::string::npos) dimensione = std::atoi(t.c_str() + p + 1);
  if (base == "SMALLINT" || base == "TINYINT" || base == "BYTE" || base == "SHORT") {
    d.tipo = TipoCampo::kIntero;
  } else if (base == "INTEGER" || base == "INT" || base == "LONG" || base == "BIGINT" ||
             base == "COUNTER" || base == "AUTOINCREMENT") {
    d.tipo = TipoCampo::kLungo;
  } else if (base == "CURRENCY" || base == "MONEY") {
    d.tipo = TipoCampo::kValuta;
  } else if (base == "DOUBLE" || base == "REAL" || base == "FLOAT" || base == "SINGLE" ||
             base == "NUMERIC" || base == "DECIMAL" || base == "DOUBLE PRECISION") {
    d.tipo = TipoCampo::kDoppio;
  } else if (base == "VARCHAR" || base == "CHAR" || base == "NVARCHAR" || base == "NCHAR" ||
             base == "TEXT" || base == "MEMO" || base == "LONGTEXT" || base == "CLOB" ||
             base == "CHARACTER" || base == "VARYING CHARACTER") {
    d.tipo = TipoCampo::kTesto;
    d.dimensione = dimensione > 0 ? dimensione : 0;
  } else if (base == "BOOLEAN" || base == "BIT" || base == "YESNO" || base == "LOGICAL") {
    d.tipo = TipoCampo::kBooleano;
  } else if (base == "DATETIME" || base == "DATE" || base == "TIMESTAMP") {
    d.tipo = TipoCampo::kData;
  } else {
    d.tipo = TipoCampo::kDinamico;
  }
  return d;
}

void Colonna::Svuota() {
  std::vector<uint8_t>().swap(etichette_);
  std::vector<uint64_t>().swap(dati_);
  std::string().swap(arena_);
}

std::pair<uint8_t, uint64_t> Colonna::Codifica(std::string_view s) {
  if (s.size() <= 8) {
    uint64_t dato = 0;
    std::memcpy(&dato, s.data(), s.size());
    return {static_cast<uint8_t>(kCellaCorta + s.size()), dato};
  }
  uint64_t offset = arena_.size();
  uint64_t lunghezza = s.size();
  if (lunghezza >= kLunghezzaMax) {
    arena_.append(reinterpret_cast<const char*>(&lunghezza), sizeof lunghezza);
    lunghezza = kLunghezzaMax;
  }
  arena_.append(s);
  return {kCellaArena, (offset << 24) | lunghezza};
}

std::pair<uint8_t, uint64_t> Colonna::CodificaValore(const Valore& v) {
  switch (v.Tipo()) {
    case TipoValore::kNull:
      return {kCellaNull, 0};
    case TipoValore::kTesto:
      return Codifica(v.ComeTesto());
    case TipoValore::kIntero:
    case TipoValore::kLungo:
      return {kCellaIntero, static_cast<uint64_t>(v.Intero())};
    case TipoValore::kDoppio:
      return {kCellaReale, std::bit_cast<uint64_t>(v.Numero())};
    case TipoValore::kValuta:
      return {kCellaValuta, static_cast<uint64_t>(v.ComeValuta().Decimillesimi())};
    case TipoValore::kBooleano:
      return {kCellaBool, v.Intero() != 0 ? 1u : 0u};
    case TipoValore::kData:
      return {kCellaData, std::bit_cast<uint64_t>(v.Numero())};
  }
  return {kCellaNull, 0};
}

void Colonna::AggiungiValore(const Valore& v) { Aggiungi(CodificaValore(v)); }

void Colonna::Sostituisci(size_t r, const Valore& v) {
  auto [tag, dato] = CodificaValore(v);
  etichette_[r] = tag;
  dati_[r] = dato;
}

void Colonna::AggiungiDaSqlite(sqlite3_stmt* st, int i, TipoCampo tipo) {
  switch (sqlite3_column_type(st, i)) {
    case SQLITE_NULL:
      AggiungiNull();
      return;
    case SQLITE_INTEGER:
      AggiungiInteroSqlite(sqlite3_column_int64(st, i), tipo);
      return;
    case SQLITE_FLOAT:
      AggiungiRealeSqlite(sqlite3_column_double(st, i), tipo);
      return;
    default: {
      const char* p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
      AggiungiTestoSqlite(
          std::string_view(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(st, i))), tipo);
      return;
    }
  }
}

Valore Colonna::ValoreDaSqlite(sqlite3_stmt* st, int i, TipoCampo tipo) {
  Colonna cella;
  cella.AggiungiDaSqlite(st, i, tipo);
  return cella.Leggi(0, tipo);
}

void Colonna::AggiungiInteroSqlite(int64_t n, TipoCampo tipo) {
  int64_t dec;
  if (tipo == TipoCampo::kValuta && !__builtin_mul_overflow(n, int64_t{10000}, &dec)) {
    Aggiungi(kCellaValuta, static_cast<uint64_t>(dec));
  } else if (tipo == TipoCampo::kBooleano) {
    Aggiungi(kCellaBool, n != 0);
  } else if (tipo == TipoCampo::kData) {
    AggiungiNumero(kCellaData, static_cast<double>(n));
  } else {
    Aggiungi(kCellaIntero, static_cast<uint64_t>(n));
  }
}

void Colonna::AggiungiRealeSqlite(double x, TipoCampo tipo) {
  if (tipo == TipoCampo::kValuta) {
    try {
      Aggiungi(kCellaValuta, static_cast<uint64_t>(Valuta::DaDouble(x).Decimillesimi()));
      return;
    } catch (const Errore&) {
      // Out of the Currency range: kept as the number it is.
    }
  }
  if (tipo == TipoCampo::kBooleano) {
    Aggiungi(kCellaBool, x != 0);
  } else {
    AggiungiNumero(tipo == TipoCampo::kData ? kCellaData : kCellaReale, x);
  }
}

void Colonna::AggiungiTestoSqlite(std::string_view s, TipoCampo tipo) {
  if (tipo == TipoCampo::kValuta) {
    try {
      Aggiungi(kCellaValuta, static_cast<uint64_t>(Valuta::DaTesto(s).Decimillesimi()));
      return;
    } catch (const Errore&) {
      // Not a number: kept as the text it is.
    }
  }
  Aggiungi(Codifica(s));
}

double Colonna::Reale(size_t r) const { return std::bit_cast<double>(dati_[r]); }

std::string_view Colonna::Testo(size_t r) const {
  uint8_t tag = etichette_[r];
  if (tag >= kCellaCorta) {
    return std::string_view(reinterpret_cast<const char*>(&dati_[r]), tag - kCellaCorta);
  }
  uint64_t offset = dati_[r] >> 24;
  uint64_t lunghezza = dati_[r] & kLunghezzaMax;
  if (lunghezza == kLunghezzaMax) {
    std::memcpy(&lunghezza, arena_.data() + offset, sizeof lunghezza);
    offset += sizeof lunghezza;
  }
  return std::string_view(arena_.data() + offset, lunghezza);
}

double Colonna::Numero(size_t r) const {
  switch (etichette_[r]) {
    case kCellaIntero:
      return static_cast<double>(Intero(r));
    case kCellaValuta:
      return static_cast<double>(Intero(r)) / 10000.0;
    case kCellaBool:
      return dati_[r] ? -1.0 : 0.0;
    case kCellaReale:
    case kCellaData:
      return Reale(r);
    default:
      return 0;
  }
}

Valore Colonna::Leggi(size_t r, TipoCampo tipo) const {
  switch (etichette_[r]) {
    case kCellaNull:
      return Valore();
    case kCellaIntero: {
      int64_t n = Intero(r);
      switch (tipo) {
        case TipoCampo::kIntero:
          if (n >= INT16_MIN && n <= INT16_MAX) return Valore(static_cast<int16_t>(n));
          break;
        case TipoCampo::kDoppio:
          return Valore(static_cast<double>(n));
        case TipoCampo::kValuta:
          return Valore(Valuta::DaDecimillesimi(n * 10000));
        default:
          break;
      }
      if (n >= INT32_MIN && n <= INT32_MAX) return Valore(static_cast<int32_t>(n));
      return Valore(static_cast<double>(n));
    }
    case kCellaReale:
      return Valore(Reale(r));
    case kCellaValuta:
      return Valore(Valuta::DaDecimillesimi(Intero(r)));
    case kCellaBool:
      return Valore(dati_[r] != 0);
    case kCellaData:
      return Valore(DataOra{Reale(r)});
    default:
      return Valore(std::string(Testo(r)));
  }
}

uint64_t ChiaveNumero(double x) {
  if (x == 0) x = 0;  // -0 and +0 are the same key
  return Mescola(std::bit_cast<uint64_t>(x) ^ 0x5555555555555555ULL);
}

uint64_t ChiaveTesto(std::string_view s) { return Mescola(std::hash<std::string_view>{}(s)); }

void Indice::Gruppi::Costruisci(std::vector<std::pair<uint64_t, uint32_t>>& voci) {
  // Often already in order: a column that holds one value (NumeroHotel), or ascending codes.
  if (!std::is_sorted(voci.begin(), voci.end())) std::sort(voci.begin(), voci.end());
  posizioni.resize(voci.size());
  size_t distinti = 0;
  for (size_t i = 0; i < voci.size(); ++i) {
    posizioni[i] = voci[i].second;
    if (i == 0 || voci[i].first != voci[i - 1].first) ++distinti;
  }
  size_t capacita = 16;
  while (capacita < distinti * 2) capacita *= 2;
  slot.assign(capacita, Slot{});
  for (size_t i = 0; i < voci.size();) {
    size_t j = i;
    while (j < voci.size() && voci[j].first == voci[i].first) ++j;
    size_t h = voci[i].first & (capacita - 1);
    while (slot[h].conta != 0) h = (h + 1) & (capacita - 1);
    slot[h] = Slot{voci[i].first, static_cast<uint32_t>(i), static_cast<uint32_t>(j - i)};
    i = j;
  }
}

std::span<const uint32_t> Indice::Gruppi::Cerca(uint64_t chiave) const {
  if (slot.empty()) return {};
  size_t maschera = slot.size() - 1;
  for (size_t h = chiave & maschera;; h = (h + 1) & maschera) {
    const Slot& s = slot[h];
    if (s.conta == 0) return {};
    if (s.chiave == chiave) return std::span<const uint32_t>(posizioni.data() + s.inizio, s.conta);
  }
}

Indice::Indice(const Colonna& colonna) : righe_costruzione_(colonna.Righe()) {
  std::vector<std::pair<uint64_t, uint32_t>> voci;
  voci.reserve(colonna.Righe());
  for (size_t r = 0; r < colonna.Righe(); ++r) {
    uint8_t tag = colonna.Tag(r);
    if (tag == kCellaNull) continue;  // Null never matches
    uint64_t chiave =
        colonna.ETesto(r) ? ChiaveTesto(colonna.Testo(r)) : ChiaveNumero(colonna.Numero(r));
    voci.emplace_back(chiave, static_cast<uint32_t>(r));
  }
  principale_.Costruisci(voci);
}

void Indice::CandidatiNumero(const Colonna& colonna, double x,
                             std::vector<std::span<const uint32_t>>& out) {
  uint64_t chiave = ChiaveNumero(x);
  out.push_back(principale_.Cerca(chiave));
  if (!testi_numerici_pronti_) {
    std::vector<std::pair<uint64_t, uint32_t>> voci;
    for (size_t r = 0; r < righe_costruzione_; ++r) {
      double n;
      if (colonna.ETesto(r) && numeri::LeggiNumero(colonna.Testo(r), n)) {
        voci.emplace_back(ChiaveNumero(n), static_cast<uint32_t>(r));
      }
    }
    testi_numerici_.Costruisci(voci);
    testi_numerici_pronti_ = true;
  }
  out.push_back(testi_numerici_.Cerca(chiave));
  out.push_back(segnate_);
}

void Indice::CandidatiTesto(std::string_view s, bool numerico, double x,
                            std::vector<std::span<const uint32_t>>& out) {
  out.push_back(principale_.Cerca(ChiaveTesto(s)));
  if (numerico) out.push_back(principale_.Cerca(ChiaveNumero(x)));
  out.push_back(segnate_);
}

bool Indice::Segna(uint32_t riga) {
  auto it = std::lower_bound(segnate_.begin(), segnate_.end(), riga);
  if (it == segnate_.end() || *it != riga) segnate_.insert(it, riga);
  return segnate_.size() <= std::max<size_t>(1024, righe_costruzione_ / 8);
}

}  // namespace vendrix::engine_detail
