#ifndef VENDRIX_DATA_LIBRI_H_
#define VENDRIX_DATA_LIBRI_H_

// The snapshot store: the books of the hotel as Vendrix saw them day by day, and the final
// actual of the nights that have passed. The hotel files keep neither booking dates nor
// cancellations, so this file is the hotel's only history of its books. It is never rebuilt,
// truncated or removed by any run: every change is one SQLite transaction, a store that is not
// ours or is damaged is refused and left exactly as it is, and the writers of a folder are
// serialised by a lock of their own.
//
// Schema (version kVersioneLibri, PRAGMA user_version; PRAGMA application_id kIdLibri):
//   Istantanee(Giorno, PresaIl, Versione, CamereDisponibili)  one row per day with a snapshot
//   Libri(Giorno, Notte, Tipo, Segmento, Opzionale, Camere, Ospiti, Retta)
//   TotaliLibri(Notte, Giorno, Camere, Retta, CamereOpzionate, RettaOpzionata)  per night, by day
//   NottiConsuntivo(Notte, Giorno, Camere, Ospiti, Retta)  nights whose final is known
//   Consuntivi(Notte, Tipo, Segmento, Camere, Ospiti, Retta)
//   Nomi(Id, Nome)  the room types and segments the other tables refer to by number
// Days and nights are date keys as whole numbers (20261209), Retta ten-thousandths of a euro.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "comune/date.h"
#include "data/errore.h"
#include "data/valore.h"

struct sqlite3;

namespace vendrix {

inline constexpr char kFileLibri[] = "VendrixLibri.db";
inline constexpr char kFileBloccoLibri[] = "VendrixLibri.db.lock";
inline constexpr int kVersioneLibri = 1;
inline constexpr int32_t kIdLibri = 0x56445842;  // "VDXB"

// How far ahead a snapshot holds the books: the nights giorno .. giorno + kNottiIstantanea.
inline constexpr int kNottiIstantanea = 365;
// Every snapshot of the last kGiorniTutteIstantanee days is kept; older ones one a week.
inline constexpr int kGiorniTutteIstantanee = 400;

inline constexpr char kIstantaneaInCorso[] =
    "Un'istantanea dei libri è già in corso in questa cartella: riprovare al termine";

// The refusal of a store that is damaged, not a snapshot store, or of a later version.
class LibriNonValidi : public Errore {
 public:
  using Errore::Errore;
};

// Rooms, guests and room revenue of one night, room type, segment and kind on the books.
struct VoceLibri {
  Giorno notte;
  std::string tipo_camera, segmento;
  bool opzionale = false;
  int64_t camere = 0, ospiti = 0;
  Valuta retta;
  friend bool operator==(const VoceLibri&, const VoceLibri&) = default;
};

// The final actual of one night, room type and segment.
struct VoceConsuntivo {
  Giorno notte;
  std::string tipo_camera, segmento;
  int64_t camere = 0, ospiti = 0;
  Valuta retta;
  friend bool operator==(const VoceConsuntivo&, const VoceConsuntivo&) = default;
};

// What one day's snapshot records.
struct Istantanea {
  Giorno giorno;
  int64_t camere_disponibili = 0;  // rooms of the counted types on that day
  // The books of the nights giorno .. giorno + kNottiIstantanea (other nights are refused).
  std::vector<VoceLibri> libri{};
  // The final actual of every night consuntivi_dal .. consuntivi_al (all before giorno): each of
  // those nights is recorded as final, with no rows meaning nothing sold. Empty range: none.
  std::optional<Giorno> consuntivi_dal{}, consuntivi_al{};
  std::vector<VoceConsuntivo> consuntivi{};
};

// A night's totals in one snapshot: confirmed (without the optional bookings) and optional.
struct TotaleNotte {
  int64_t camere = 0;
  Valuta retta;
  int64_t camere_opzionate = 0;
  Valuta retta_opzionata;
};

// A night's final totals.
struct TotaleConsuntivo {
  int64_t camere = 0, ospiti = 0;
  Valuta retta;
};

class ArchivioLibri {
 public:
  // Opens the store of `cartella_hotel`. With `crea`, a missing store is created (schema in one
  // transaction); without, a missing store is read as an empty one and never created. Throws
  // LibriNonValidi for a file that is not a snapshot store of a version this program reads, or
  // is damaged; the file is then left untouched. Throws Errore when it cannot be opened.
  ArchivioLibri(const std::filesystem::path& cartella_hotel, bool crea);
  ~ArchivioLibri();
  ArchivioLibri(const ArchivioLibri&) = delete;
  ArchivioLibri& operator=(const ArchivioLibri&) = delete;

  // Records `istantanea` in one transaction: the books of its day replace that day's earlier
  // snapshot; each of its finals replaces the one recorded before unless that one came from a
  // later day's snapshot; then old snapshots are thinned (Sfoltisci, up to its day). Takes the
  // store's writer lock for the time of the write: throws CartellaOccupata
  // (kIstantaneaInCorso) when another writer holds it. On any failure the store is as before.
  void Scrivi(const Istantanea& istantanea);

  // The days with a snapshot, in order.
  std::vector<Giorno> Giorni() const;
  bool HaIstantanea(Giorno giorno) const;
  int64_t CamereDisponibili(Giorno giorno) const;
  // The books of snapshot `giorno` for the nights dal..al, room type and segment by room type
  // and segment (empty when there is no such snapshot).
  std::vector<VoceLibri> Libri(Giorno giorno, Giorno dal, Giorno al) const;
  // The totals of the nights dal..al in every snapshot taken from `giorni_dal` to `giorni_al`,
  // by night, then by snapshot day; a night absent from a snapshot that exists is 0 there.
  std::map<Giorno, std::map<Giorno, TotaleNotte>> Totali(Giorno dal, Giorno al, Giorno giorni_dal,
                                                         Giorno giorni_al) const;
  // The finals of the nights dal..al that are recorded, by night.
  std::map<Giorno, TotaleConsuntivo> Consuntivi(Giorno dal, Giorno al) const;
  // The finals by room type and segment of the nights dal..al.
  std::vector<VoceConsuntivo> ConsuntiviDettaglio(Giorno dal, Giorno al) const;
  int64_t NumeroConsuntivi() const;
  // The latest night whose final is recorded; nullopt when none is.
  std::optional<Giorno> UltimoConsuntivo() const;

  const std::filesystem::path& Percorso() const { return percorso_; }

 private:
  class Comando;
  // Opens the file (read-only when it cannot be written and `crea` is false); throws Errore.
  void Apri(bool crea);
  // False for a new (empty) file; throws LibriNonValidi for one that is not a store we read.
  bool Riconosci() const;
  void Chiudi();
  // Runs `passi` in one transaction: on any failure nothing of it stays written.
  void Transazione(const std::function<void()>& passi);
  // The steps of Scrivi: the day's books, then the finals.
  void ScriviLibri(const Istantanea& istantanea);
  void ScriviConsuntivi(const Istantanea& istantanea);
  // Removes the snapshots older than kGiorniTutteIstantanee days before `oggi` except the first
  // of each week (weeks from Monday). Finals are never removed.
  void Sfoltisci(Giorno oggi);
  // Removes the snapshot of `giorno` (its finals stay).
  void TogliIstantanea(Giorno giorno);
  void Esegui(const char* sql) const;
  // The one number a query yields (0 without a row).
  int64_t Numero(const char* sql) const;
  int64_t IdNome(const std::string& nome);
  // Throws for the failed `operazione`: LibriNonValidi for a damaged file, else Errore.
  [[noreturn]] void Fallito(const std::string& operazione) const;

  std::filesystem::path cartella_, percorso_;
  sqlite3* db_ = nullptr;  // nullptr: no store (opened without `crea`), read as empty
  std::map<std::string, int64_t> id_nomi_;
};

}  // namespace vendrix

#endif  // VENDRIX_DATA_LIBRI_H_
